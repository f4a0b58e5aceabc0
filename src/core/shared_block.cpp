#include "core/shared_block.h"

#include "core/compress_block.h"

namespace {

constexpr std::string_view kCompressedHeader = "$ZOn|";
// As for a buffer's own tail: shorter texts go plain, and a stream must
// save a few bytes to be worth sending.
constexpr int kMinimumText = 128;
constexpr int kMinimumGain = 4;

}  // namespace

std::string PackMessages(std::string_view text) {
  const int plain = static_cast<int>(text.size());
  if (plain < kMinimumText) return {};
  // A stream may be a little longer than its input.
  const int room = plain + plain / 1000 + 64;
  std::string packed(kCompressedHeader.size() + static_cast<std::size_t>(room), '\0');
  // The blocks shared by many clients are large and made once per change of
  // the list; the fast level keeps a login storm off the CPU.
  const int size = CompressBlock(text.data(), plain, packed.data() + kCompressedHeader.size(),
                                 room, true);
  if (size < 0 || size > plain - kMinimumGain) return {};
  packed.replace(0, kCompressedHeader.size(), kCompressedHeader);
  packed.resize(kCompressedHeader.size() + static_cast<std::size_t>(size));
  return packed;
}

std::string_view TSharedBlock::Packed() const {
  if (!packTried_) {
    packed_ = PackMessages(text_);
    packTried_ = true;
  }
  return packed_;
}
