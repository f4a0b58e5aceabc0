#include "core/shared_block.h"

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
