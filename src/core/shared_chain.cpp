#include "core/shared_chain.h"


void TSharedChain::Begin() {
  old_.swap(blocks_);
  oldBoundaries_.swap(boundaries_);
  oldEntries_.swap(entries_);
  oldBlockFirst_.swap(blockFirst_);
  blocks_.clear();
  boundaries_.clear();
  entries_.clear();
  blockFirst_.clear();
  oldEntry_ = 0;
  entryOffset_ = 0;
  oldByLastId_.clear();
  oldIndex_ = 0;
  oldOffset_ = 0;
  inSync_ = true;
  building_.clear();
  ends_.clear();
  marked_ = TPlace{};
}

bool TSharedChain::Matches(std::uint64_t id, std::uint64_t version, std::string_view first,
                           std::string_view second) const {
  if (oldIndex_ >= old_.size()) return false;
  const std::string_view text = old_[oldIndex_]->Text();
  if (oldOffset_ + first.size() + second.size() > text.size()) return false;
  if (version != 0 && entryOffset_ == oldOffset_ && oldEntry_ < oldEntries_.size()) {
    const TEntryKey& old = oldEntries_[oldEntry_];
    if (old.id == id && old.version == version && old.size == first.size() + second.size()) return true;
  }
  const char* at = text.data() + oldOffset_;
  return std::string_view(at, first.size()) == first &&
         std::string_view(at + first.size(), second.size()) == second;
}

void TSharedChain::StartRebuild() {
  inSync_ = false;
  building_.clear();
  ends_.clear();
  building_.reserve(2 * blockSize_ + 1024);
  // A small block just behind joins the new one, or entries arriving one by
  // one at the end of the list would each make a block of their own.
  if (!blocks_.empty() && blocks_.back()->Text().size() + oldOffset_ < blockSize_) {
    building_.assign(blocks_.back()->Text());
    if (marked_.block == static_cast<int>(blocks_.size())) {
      --marked_.block;
      marked_.offset += static_cast<int>(building_.size());
    }
    blocks_.pop_back();
    boundaries_.pop_back();
  }
  // The entries of the current old block that still hold start the new one.
  if (oldIndex_ < old_.size()) building_.append(old_[oldIndex_]->Text().substr(0, oldOffset_));
  if (oldByLastId_.empty()) {
    for (std::size_t i = 0; i < oldBoundaries_.size(); ++i) oldByLastId_[oldBoundaries_[i].id] = i;
  }
}

void TSharedChain::Seal(std::uint64_t lastId, int lastSize) {
  ends_.clear();
  if (building_.empty()) return;
  // A copy: the block holds only its bytes, and the walk keeps its reserve.
  blocks_.push_back(std::make_shared<const TSharedBlock>(std::string(building_)));
  boundaries_.push_back({lastId, lastSize});
  building_.clear();
  ++made_;
}

void TSharedChain::TryResync(std::uint64_t id, int size) {
  if (id == 0) return;
  const auto found = oldByLastId_.find(id);
  if (found == oldByLastId_.end() || found->second < oldIndex_) return;
  const std::size_t index = found->second;
  const std::string_view tail = old_[index]->Text();
  if (oldBoundaries_[index].size != size ||
      tail.substr(tail.size() - static_cast<std::size_t>(size)) !=
          std::string_view(building_).substr(building_.size() - static_cast<std::size_t>(size))) {
    return;
  }
  // Tiny blocks are not worth a boundary: run on into the next one.
  if (building_.size() < blockSize_ / 4 && index + 1 < old_.size()) return;
  Seal(id, size);
  oldIndex_ = index + 1;
  oldOffset_ = 0;
  oldEntry_ = oldIndex_ < oldBlockFirst_.size() ? oldBlockFirst_[oldIndex_] : oldEntries_.size();
  entryOffset_ = 0;
  inSync_ = true;
}

void TSharedChain::Add(std::uint64_t id, std::string_view first, std::string_view second, bool mark,
                       std::uint64_t version) {
  const std::size_t size = first.size() + second.size();
  entries_.push_back({id, version, size});
  if (inSync_) {
    if (Matches(id, version, first, second)) {
      if (mark) marked_ = {static_cast<int>(blocks_.size()), static_cast<int>(oldOffset_), static_cast<int>(size)};
      // The old entries' keys follow the walk while entries match one for one.
      if (entryOffset_ == oldOffset_ && oldEntry_ < oldEntries_.size() && oldEntries_[oldEntry_].size == size) {
        ++oldEntry_;
        entryOffset_ += size;
      }
      oldOffset_ += size;
      if (oldOffset_ == old_[oldIndex_]->Text().size()) {
        blocks_.push_back(old_[oldIndex_]);
        boundaries_.push_back(oldBoundaries_[oldIndex_]);
        ++oldIndex_;
        oldOffset_ = 0;
        // Blocks end where entries do: a cursor that kept up starts the next one.
        const bool aligned = entryOffset_ == old_[oldIndex_ - 1]->Text().size();
        oldEntry_ = oldIndex_ < oldBlockFirst_.size() ? oldBlockFirst_[oldIndex_] : oldEntries_.size();
        entryOffset_ = aligned ? 0 : static_cast<std::size_t>(-1);
      }
      return;
    }
    StartRebuild();
  }
  if (mark) marked_ = {static_cast<int>(blocks_.size()), static_cast<int>(building_.size()), static_cast<int>(size)};
  building_.append(first);
  building_.append(second);
  ends_.push_back({building_.size(), id, static_cast<int>(size)});
  if (oldIndex_ >= old_.size() && building_.size() >= blockSize_) {
    Seal(id, static_cast<int>(size));
    return;
  }
  if (building_.size() >= 2 * blockSize_) {
    SplitInHalves();
    return;
  }
  TryResync(id, static_cast<int>(size));
}

void TSharedChain::SplitInHalves() {
  // Cut at the first entry end past the middle, so both halves are full
  // blocks and the next old boundary is met with a block worth keeping.
  const std::size_t middle = building_.size() / 2;
  std::size_t at = 0;
  while (at < ends_.size() && ends_[at].end < middle) ++at;
  if (at >= ends_.size() || ends_[at].end >= building_.size()) {
    Seal(ends_.back().id, ends_.back().size);
    return;
  }
  const TEntryEnd cut = ends_[at];
  std::string rest = building_.substr(cut.end);
  building_.resize(cut.end);
  const int index = static_cast<int>(blocks_.size());
  std::vector<TEntryEnd> later(ends_.begin() + static_cast<std::ptrdiff_t>(at) + 1, ends_.end());
  Seal(cut.id, cut.size);
  building_ = std::move(rest);
  for (TEntryEnd& e : later) e.end -= cut.end;
  ends_ = std::move(later);
  if (marked_.block == index && marked_.offset >= static_cast<int>(cut.end)) {
    ++marked_.block;
    marked_.offset -= static_cast<int>(cut.end);
  }
}

void TSharedChain::Finish() {
  if (inSync_ && oldOffset_ > 0) {
    // The walk ended inside an old block: its head is the new last block.
    building_.assign(old_[oldIndex_]->Text().substr(0, oldOffset_));
    Seal(0, 0);
  } else if (!inSync_) {
    Seal(0, 0);
  }
  old_.clear();
  oldBoundaries_.clear();
  oldByLastId_.clear();
  IndexBlocks();
}

void TSharedChain::IndexBlocks() {
  blockFirst_.clear();
  std::size_t entry = 0;
  for (const auto& block : blocks_) {
    blockFirst_.push_back(entry);
    std::size_t bytes = 0;
    while (bytes < block->Text().size() && entry < entries_.size()) bytes += entries_[entry++].size;
    // Entries always end where blocks do; if not, no key is trusted.
    if (bytes != block->Text().size()) {
      entries_.clear();
      blockFirst_.assign(blocks_.size(), 0);
      return;
    }
  }
}
