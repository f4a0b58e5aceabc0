#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// An immutable run of complete protocol messages that many write buffers
// queue at once (the nick list's parts), shared by reference count: the
// last buffer to send it frees it. Owns its text and, once a ZPipe client
// asked for it, the deflated form. Main thread only: the deflated form is
// made lazily on a const object.
//
// A growing block (MakeGrowing) has a fixed room that later broadcasts fill
// one after another: bytes once written never move or change, so buffers
// may queue a part while more is appended behind it.
class TSharedBlock {
 public:
  explicit TSharedBlock(std::string text);
  TSharedBlock(const TSharedBlock&) = delete;
  TSharedBlock& operator=(const TSharedBlock&) = delete;

  // An empty growing block with room for `room` bytes.
  struct TGrowing {};
  TSharedBlock(TGrowing, std::size_t room) : text_(room, '\0'), growing_(true) {}

  std::string_view Text() const { return {text_.data(), size_}; }
  int Size() const { return static_cast<int>(size_); }
  bool Growing() const { return growing_; }
  std::size_t Room() const { return growing_ ? text_.size() - size_ : 0; }
  // Appends within Room(); the written bytes stay where they are. A
  // growing block takes whole messages only.
  void Append(std::string_view text);

  // Heap bytes the block holds: its text and its deflated form.
  std::size_t Footprint() const { return text_.capacity() + packed_.capacity(); }

  // "$ZOn|" and one complete zlib stream of Text(), deflated on the first
  // call; empty when the text is too short or deflate does not pay. Not for
  // a growing block, whose text is not final.
  std::string_view Packed() const;

  // A growing block is deflated in frames: ranges between cuts made every
  // kFrameSize bytes as it grows and wherever a piece asked for ends. The
  // clients that queued a block at different points then share the
  // deflated frames; only a piece's head before its first cut is deflated
  // for that piece alone.
  static constexpr std::size_t kFrameSize = 8192;
  struct TFramePart {
    int offset = 0;
    int length = 0;
    std::shared_ptr<const TSharedBlock> packed;  // "$ZOn|" and a stream; null: goes plain
  };
  // [offset, offset + length), complete messages written already, cut at
  // the frames, in order.
  std::vector<TFramePart> PackFrames(int offset, int length) const;

 private:
  struct TFrame {
    int start = 0;
    std::shared_ptr<const TSharedBlock> packed;
    bool tried = false;
  };
  int CutAt(int position) const;  // index of the frame starting there

  std::string text_;
  std::size_t size_ = 0;
  bool growing_ = false;
  mutable std::string packed_;
  mutable bool packTried_ = false;
  mutable std::vector<TFrame> frames_;  // by start; the first starts at 0
};

// Deflates `text` into "$ZOn|" and one zlib stream; empty when the text is
// shorter than is worth trying or deflate gains too little. `fast`: the
// fastest level, for the large blocks of a login storm.
std::string PackMessages(std::string_view text, bool fast = true);
