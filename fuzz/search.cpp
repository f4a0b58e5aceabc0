// Arbitrary "$Search" and "$SR" messages from a logged-in client, active or
// passive, through the search parser and the search handler of a hub held
// in memory. The first input byte picks the client and the message kind.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/search_handler.h"
#include "support/hub_in_memory.h"

namespace {

bool Inside(std::string_view part, std::string_view whole) {
  return part.empty() || (part.data() >= whole.data() &&
                          part.data() + part.size() <= whole.data() + whole.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t mode = data[0];
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);

  const TSearchQuery query = TSearchQuery::Parse(input);
  KAVRO_CHECK(Inside(query.Address, input) && Inside(query.Type, input) &&
                  Inside(query.Pattern, input),
              "search field outside the message");

  THubInMemory hub;
  hub.Login(TLoginStage::LoggedIn, "other");
  hub.Login(TLoginStage::LoggedIn, "quiet", "<++ V:0.674,M:P,H:1/0/0,S:3>");
  THubSocket& user =
      (mode & 1) != 0 ? hub.Login(TLoginStage::LoggedIn, "fuzzer", "<++ V:0.674,M:P,H:1/0/0,S:3>")
      : (mode & 2) != 0 ? hub.Login(TLoginStage::OperatorLoggedIn, "admin")
                        : hub.Login(TLoginStage::LoggedIn, "fuzzer");
  hub.EndPass();
  // Kind 0 takes the bytes as they are; the others put a message's start
  // in front, so the fuzzer need not find it.
  std::string message;
  switch ((mode >> 2) % 4) {
    case 1: message = "$Search "; break;
    case 2: message = "$Search Hub:" + user.Nick + " "; break;
    case 3: message = "$SR "; break;
    default: break;
  }
  message += input;
  if (!message.ends_with('|')) message += '|';
  hub.Receive(user, message);
  hub.EndPass();
  hub.CheckConsistency();
  return 0;
}
