#include "core/shared_chain.h"

#include <cstring>

void TSharedChain::Begin() {
  old_.swap(blocks_);
  oldBoundaries_.swap(boundaries_);
  blocks_.clear();
  boundaries_.clear();
  oldByLastId_.clear();
  oldIndex_ = 0;
  oldOffset_ = 0;
  inSync_ = true;
  building_.clear();
  marked_ = TPlace{};
}

bool TSharedChain::Matches(std::string_view first, std::string_view second) const {
  if (oldIndex_ >= old_.size()) return false;
  const std::string_view text = old_[oldIndex_]->Text();
  if (oldOffset_ + first.size() + second.size() > text.size()) return false;
  const char* at = text.data() + oldOffset_;
  return std::memcmp(at, first.data(), first.size()) == 0 &&
         std::memcmp(at + first.size(), second.data(), second.size()) == 0;
}

void TSharedChain::StartRebuild() {
  inSync_ = false;
  // The entries of the current old block that still hold start the new one.
  if (oldIndex_ < old_.size()) building_.assign(old_[oldIndex_]->Text().substr(0, oldOffset_));
  if (blockSize_ != 0 && oldByLastId_.empty()) {
    for (std::size_t i = 0; i < oldBoundaries_.size(); ++i) oldByLastId_[oldBoundaries_[i].id] = i;
  }
}

void TSharedChain::Seal(std::uint64_t lastId, int lastSize) {
  if (building_.empty()) return;
  blocks_.push_back(std::make_shared<const TSharedBlock>(std::move(building_)));
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
  inSync_ = true;
}

void TSharedChain::Add(std::uint64_t id, std::string_view first, std::string_view second, bool mark) {
  const std::size_t size = first.size() + second.size();
  if (inSync_) {
    if (Matches(first, second)) {
      if (mark) marked_ = {static_cast<int>(blocks_.size()), static_cast<int>(oldOffset_), static_cast<int>(size)};
      oldOffset_ += size;
      if (oldOffset_ == old_[oldIndex_]->Text().size()) {
        blocks_.push_back(old_[oldIndex_]);
        boundaries_.push_back(oldBoundaries_[oldIndex_]);
        ++oldIndex_;
        oldOffset_ = 0;
      }
      return;
    }
    StartRebuild();
  }
  if (mark) marked_ = {static_cast<int>(blocks_.size()), static_cast<int>(building_.size()), static_cast<int>(size)};
  building_.append(first);
  building_.append(second);
  if (blockSize_ == 0) return;
  if (building_.size() >= 2 * blockSize_ || (oldIndex_ >= old_.size() && building_.size() >= blockSize_)) {
    Seal(id, static_cast<int>(size));
    return;
  }
  TryResync(id, static_cast<int>(size));
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
}
