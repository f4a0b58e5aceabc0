#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/shared_block.h"

// A long text that many clients receive alike (every "$MyINFO" of the list,
// the "$NickList"), held as a chain of shared blocks. Each use walks the
// entries as they are now; the chain checks them against its blocks and
// makes new blocks only from where the text changed, until it meets the old
// blocks again, so blocks already queued by clients stay valid and a join
// costs one block. Owns its blocks' references, not the blocks queued
// elsewhere. Main thread only.
class TSharedChain {
 public:
  // `blockSize`: the size a block is filled to; a block may hold up to
  // twice that before it is split.
  explicit TSharedChain(std::size_t blockSize) : blockSize_(blockSize) {}

  struct TPlace {
    int block = -1;  // -1: not marked in the last walk
    int offset = 0;
    int length = 0;
  };

  void Begin();
  // The next entry, `first` + `second`, of the owner `id` (0: none);
  // `mark` remembers its place for the caller. `version` (0: none) changes
  // whenever the owner's text does: an entry met again with the same one
  // is known unchanged without comparing its bytes.
  void Add(std::uint64_t id, std::string_view first, std::string_view second = {}, bool mark = false,
           std::uint64_t version = 0);
  void Finish();

  const std::vector<std::shared_ptr<const TSharedBlock>>& Blocks() const { return blocks_; }
  const TPlace& Marked() const { return marked_; }
  // Blocks made since construction (tests and the benchmark's notes).
  std::uint64_t BlocksMade() const { return made_; }

 private:
  struct TBoundary {
    std::uint64_t id = 0;  // owner of the block's last entry
    int size = 0;          // that entry's length
  };

  bool Matches(std::uint64_t id, std::uint64_t version, std::string_view first, std::string_view second) const;
  void IndexBlocks();
  void StartRebuild();
  void Seal(std::uint64_t lastId, int lastSize);
  void TryResync(std::uint64_t id, int size);
  void SplitInHalves();

  struct TEntryKey {
    std::uint64_t id = 0;
    std::uint64_t version = 0;
    std::size_t size = 0;
  };

  struct TEntryEnd {
    std::size_t end = 0;  // in building_
    std::uint64_t id = 0;
    int size = 0;
  };

  std::size_t blockSize_;
  std::vector<std::shared_ptr<const TSharedBlock>> blocks_;
  std::vector<TBoundary> boundaries_;

  // The walk: the previous chain, and where the entries stand in it.
  std::vector<std::shared_ptr<const TSharedBlock>> old_;
  std::vector<TBoundary> oldBoundaries_;
  std::unordered_map<std::uint64_t, std::size_t> oldByLastId_;
  std::size_t oldIndex_ = 0;
  std::size_t oldOffset_ = 0;
  bool inSync_ = true;
  // Every entry of the chain in order, and the index of each block's first.
  std::vector<TEntryKey> entries_;
  std::vector<std::size_t> blockFirst_;
  std::vector<TEntryKey> oldEntries_;
  std::vector<std::size_t> oldBlockFirst_;
  std::size_t oldEntry_ = 0;     // the old entry that starts at entryOffset_
  std::size_t entryOffset_ = 0;  // in old_[oldIndex_]; differs from oldOffset_ when lost
  std::string building_;
  std::vector<TEntryEnd> ends_;  // the entries added to building_ one by one
  TPlace marked_;
  std::uint64_t made_ = 0;
};
