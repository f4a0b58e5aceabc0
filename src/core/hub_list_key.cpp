#include "core/hub_list_key.h"

#include "core/protocol.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace {

struct TEscape {
  unsigned char Byte;
  std::string_view Text;
};

// The escapes a hub list may put in its lock, undone before the key is made.
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

}  // namespace

std::optional<std::string> ComputeKey(std::string_view received, int localPort) {
  constexpr std::size_t kLockStart = 6;  // after "$Lock "
  if (received.size() <= 10 || received.substr(0, 4) != "$Loc") return std::nullopt;
  const std::size_t pk = received.rfind(" Pk=");
  if (pk == std::string_view::npos || pk <= kLockStart) return std::nullopt;
  const std::string lock = Unescape(received.substr(kLockStart, pk - kLockStart));
  if (lock.size() < 2) return std::nullopt;

  const auto port = static_cast<unsigned>(localPort);
  return TProtocol::KeyOfLock(lock, static_cast<std::uint8_t>((port >> 8) + port));
}
