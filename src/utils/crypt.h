#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A 16-bit running-key scrambler for texts that should not sit readable in
// the program file. It hides, it does not protect: anyone with the keys (they
// are in the binary) reads the text. The key advances on the scrambled byte,
// so Encode and Decode share one key schedule.
class TCrypt {
 public:
  TCrypt() = default;

  std::string Decode(std::string_view input) const;
  std::string Encode(std::string_view plain) const;

  // Only the low 16 bits of each value are used.
  static std::string DecodeWithKeys(std::string_view input, std::uint32_t startKey,
                                    std::uint32_t increment, std::uint32_t multiplier);
  static std::string EncodeWithKeys(std::string_view plain, std::uint32_t startKey,
                                    std::uint32_t increment, std::uint32_t multiplier);

 private:
  std::uint32_t startKey_ = 640283;
  std::uint32_t multiplier_ = 917305;
  std::uint32_t increment_ = 30718264;
};
