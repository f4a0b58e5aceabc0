#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

// Mocking slang for a punished user's chat: Swedish contractions, digits for
// letters, alternating case and now and then a laugh. Owns its generator;
// main thread only.
class TLunarize {
 public:
  TLunarize() : rng_(std::random_device{}()) {}
  void Seed(std::uint32_t seed) { rng_.seed(seed); }

  std::string LunarizeText(std::string_view text);
  // Rewrites the buffer's bytes from `offset` to its end.
  void ApplyToBuffer(std::string& buffer, std::size_t offset);

 private:
  std::mt19937 rng_;
};

// Muffles every word into '*' and letters of "mflu" between stars. Owns its
// generator; main thread only.
class TKennylize {
 public:
  TKennylize() : rng_(std::random_device{}()) {}
  void Seed(std::uint32_t seed) { rng_.seed(seed); }

  std::string KennylizeText(std::string_view text);
  // Rewrites the buffer's bytes from `offset` to its end; nothing when none.
  void ApplyToBuffer(std::string& buffer, std::size_t offset);

 private:
  std::mt19937 rng_;
};
