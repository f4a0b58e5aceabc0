// Arbitrary bytes from one client into the protocol engine of a hub held in
// memory. The first input byte picks how far the client has logged in
// before the bytes arrive, the second how the bytes are cut into receives.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "support/hub_in_memory.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const auto stage = static_cast<TLoginStage>(data[0] % static_cast<int>(TLoginStage::Count));
  const std::size_t chunk = 1 + static_cast<std::size_t>(data[1]) * 16;
  std::string_view bytes(reinterpret_cast<const char*>(data) + 2, size - 2);

  THubInMemory hub;
  hub.Login(TLoginStage::LoggedIn, "other");  // someone to talk to
  hub.Login(TLoginStage::LoggedIn, "quiet", "<++ V:0.674,M:P,H:1/0/0,S:3>");
  THubSocket& user = hub.Login(stage, "fuzzer");
  hub.EndPass();
  while (!bytes.empty() && user.LifeState != lsClosing) {
    const std::size_t take = std::min(chunk, bytes.size());
    hub.Receive(user, bytes.substr(0, take));
    bytes.remove_prefix(take);
    hub.EndPass();
    hub.CheckConsistency();
  }
  hub.EndPass();
  hub.CheckConsistency();
  return 0;
}
