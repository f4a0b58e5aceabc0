#include "core/hub_list_key.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace {

struct TEscape {
  unsigned char Byte;
  std::string_view Text;
};

// The order the key's escaping goes through.
constexpr std::array<TEscape, 6> kEscapes{{
    {0, "/%DCN000%/"},
    {5, "/%DCN005%/"},
    {'$', "/%DCN036%/"},
    {'`', "/%DCN096%/"},
    {'|', "/%DCN124%/"},
    {'~', "/%DCN126%/"},
}};

std::string Unescape(std::string_view lock) {
  std::string out;
  out.reserve(lock.size());
  std::size_t i = 0;
  while (i < lock.size()) {
    bool replaced = false;
    if (lock[i] == '/') {
      for (const TEscape& escape : kEscapes) {
        if (lock.substr(i, escape.Text.size()) == escape.Text) {
          out += static_cast<char>(escape.Byte);
          i += escape.Text.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += lock[i++];
  }
  return out;
}

std::string Escape(std::string_view key) {
  std::string out;
  out.reserve(key.size() + 16);
  for (const char c : key) {
    bool replaced = false;
    for (const TEscape& escape : kEscapes) {
      if (static_cast<unsigned char>(c) == escape.Byte) {
        out += escape.Text;
        replaced = true;
        break;
      }
    }
    if (!replaced) out += c;
  }
  return out;
}

}  // namespace

std::optional<std::string> ComputeKey(std::string_view received, int localPort) {
  constexpr std::size_t kLockStart = 6;  // after "$Lock "
  if (received.size() <= 10 || received.substr(0, 4) != "$Loc") return std::nullopt;
  const std::size_t pk = received.rfind(" Pk=");
  if (pk == std::string_view::npos || pk <= kLockStart) return std::nullopt;
  const std::string lock = Unescape(received.substr(kLockStart, pk - kLockStart));
  const std::size_t n = lock.size();
  if (n < 2) return std::nullopt;

  const auto byte = [&lock](std::size_t i) { return static_cast<std::uint8_t>(lock[i]); };
  const auto port = static_cast<unsigned>(localPort);
  std::string key(n, '\0');
  for (std::size_t i = n - 1; i >= 1; --i)
    key[i] = static_cast<char>(byte(i) ^ byte(i - 1));
  key[0] = static_cast<char>(byte(0) ^ byte(n - 1) ^ byte(n - 2) ^
                             static_cast<std::uint8_t>((port >> 8) + port));
  for (char& c : key) {
    const auto b = static_cast<std::uint8_t>(c);
    c = static_cast<char>(static_cast<std::uint8_t>((b << 4) | (b >> 4)));
  }
  return Escape(key);
}
