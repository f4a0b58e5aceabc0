#include "utils/crypt.h"

namespace {

// The key after a scrambled byte. Unsigned 32-bit arithmetic wraps without
// harm: only the low 16 bits are kept.
std::uint32_t NextKey(std::uint32_t key, unsigned char scrambled, std::uint32_t increment,
                      std::uint32_t multiplier) {
  return ((key + scrambled) * multiplier + increment) & 0xFFFFu;
}

unsigned char KeyByte(std::uint32_t key) { return static_cast<unsigned char>(key >> 8); }

}  // namespace

std::string TCrypt::Decode(std::string_view input) const {
  return DecodeWithKeys(input, startKey_, increment_, multiplier_);
}

std::string TCrypt::Encode(std::string_view plain) const {
  return EncodeWithKeys(plain, startKey_, increment_, multiplier_);
}

std::string TCrypt::DecodeWithKeys(std::string_view input, std::uint32_t startKey,
                                   std::uint32_t increment, std::uint32_t multiplier) {
  std::string output(input.size(), '\0');
  std::uint32_t key = startKey & 0xFFFFu;
  for (std::size_t i = 0; i < input.size(); ++i) {
    const auto scrambled = static_cast<unsigned char>(input[i]);
    output[i] = static_cast<char>(scrambled ^ KeyByte(key));
    key = NextKey(key, scrambled, increment, multiplier);
  }
  return output;
}

std::string TCrypt::EncodeWithKeys(std::string_view plain, std::uint32_t startKey,
                                   std::uint32_t increment, std::uint32_t multiplier) {
  std::string output(plain.size(), '\0');
  std::uint32_t key = startKey & 0xFFFFu;
  for (std::size_t i = 0; i < plain.size(); ++i) {
    const auto scrambled =
        static_cast<unsigned char>(static_cast<unsigned char>(plain[i]) ^ KeyByte(key));
    output[i] = static_cast<char>(scrambled);
    key = NextKey(key, scrambled, increment, multiplier);
  }
  return output;
}
