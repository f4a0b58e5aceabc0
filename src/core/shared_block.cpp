#include "core/shared_block.h"

#include <algorithm>
#include <cstring>

#include "base/exceptions.h"
#include "core/compress_block.h"

namespace {

constexpr std::string_view kCompressedHeader = "$ZOn|";
// As for a buffer's own tail: shorter texts go plain, and a stream must
// save a few bytes to be worth sending.
constexpr int kMinimumText = 128;
constexpr int kMinimumGain = 4;

// A string built in a larger reserve keeps it when moved: thousands of
// queued blocks would each hold that slack. Copying leaves no spare room.
std::string Fitted(std::string text) {
  if (text.capacity() - text.size() <= text.size() / 8 + 64) return text;
  return std::string(text.data(), text.size());
}

}  // namespace

TSharedBlock::TSharedBlock(std::string text) : text_(Fitted(std::move(text))), size_(text_.size()) {}

std::string PackMessages(std::string_view text, bool fast) {
  const int plain = static_cast<int>(text.size());
  if (plain < kMinimumText) return {};
  // A stream may be a little longer than its input.
  const int room = plain + plain / 1000 + 64;
  std::string packed(kCompressedHeader.size() + static_cast<std::size_t>(room), '\0');
  // The list's blocks are large and made once per change of the list: the
  // fast level keeps a login storm off the CPU.
  const int size = CompressBlock(text.data(), plain, packed.data() + kCompressedHeader.size(),
                                 room, fast);
  if (size < 0 || size > plain - kMinimumGain) return {};
  packed.replace(0, kCompressedHeader.size(), kCompressedHeader);
  packed.resize(kCompressedHeader.size() + static_cast<std::size_t>(size));
  return Fitted(std::move(packed));
}

void TSharedBlock::Append(std::string_view text) {
  KAVRO_CHECK(growing_ && text.size() <= Room(), "TSharedBlock.Append beyond its room");
  // Messages only start here: a cut every frame's worth keeps the heads
  // deflated for one client alone short.
  if (frames_.empty()) frames_.push_back({});
  if (size_ - static_cast<std::size_t>(frames_.back().start) >= kFrameSize) {
    frames_.push_back({static_cast<int>(size_), nullptr, false});
  }
  std::memcpy(text_.data() + size_, text.data(), text.size());
  size_ += text.size();
}

std::string_view TSharedBlock::Packed() const {
  KAVRO_CHECK(!growing_, "TSharedBlock.Packed of a growing block");
  if (!packTried_) {
    packed_ = PackMessages(Text());
    packTried_ = true;
  }
  return packed_;
}

int TSharedBlock::CutAt(int position) const {
  auto at = std::lower_bound(frames_.begin(), frames_.end(), position,
                             [](const TFrame& frame, int value) { return frame.start < value; });
  if (at != frames_.end() && at->start == position) return static_cast<int>(at - frames_.begin());
  // A new cut splits the frame before it, whose deflated form no longer
  // fits; queues holding it keep their reference.
  if (at != frames_.begin()) {
    std::prev(at)->packed.reset();
    std::prev(at)->tried = false;
  }
  at = frames_.insert(at, TFrame{position, nullptr, false});
  return static_cast<int>(at - frames_.begin());
}

std::vector<TSharedBlock::TFramePart> TSharedBlock::PackFrames(int offset, int length) const {
  KAVRO_CHECK(growing_ && offset >= 0 && length > 0 && static_cast<std::size_t>(offset + length) <= size_,
              "TSharedBlock.PackFrames out of range");
  if (frames_.empty()) frames_.push_back({});
  const int end = offset + length;
  const int last = CutAt(end);
  std::vector<TFramePart> parts;
  int index = static_cast<int>(std::upper_bound(frames_.begin(), frames_.end(), offset,
                                                [](int value, const TFrame& frame) { return value < frame.start; }) -
                               frames_.begin()) - 1;
  int from = offset;
  for (; index < last; ++index) {
    TFrame& frame = frames_[static_cast<std::size_t>(index)];
    const int to = frames_[static_cast<std::size_t>(index) + 1].start;
    const std::string_view text = Text().substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
    TFramePart part{from, to - from, nullptr};
    if (from != frame.start) {
      // The piece begins inside this frame: its head is its own.
      std::string packed = PackMessages(text, false);
      if (!packed.empty()) part.packed = std::make_shared<const TSharedBlock>(std::move(packed));
    } else {
      if (!frame.tried) {
        std::string packed = PackMessages(text, false);
        if (!packed.empty()) frame.packed = std::make_shared<const TSharedBlock>(std::move(packed));
        frame.tried = true;
      }
      part.packed = frame.packed;
    }
    parts.push_back(std::move(part));
    from = to;
  }
  return parts;
}
