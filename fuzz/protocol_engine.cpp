// Arbitrary bytes from one client into the protocol engine of a hub held in
// memory: real settings, language, profiles, accounts and user list, no
// sockets. The first input byte picks how far the client has logged in
// before the bytes arrive, the second how the bytes are cut into receives.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/core_hooks.h"
#include "core/hub_socket.h"
#include "core/myinfo_parser.h"
#include "core/nick_list.h"
#include "core/nicks_in_use.h"
#include "core/protocol.h"
#include "core/protocol_message.h"
#include "core/read_buffer.h"
#include "core/write_buffer.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/exceptions.h"

namespace {

// "$MyINFO" as the hub takes it, without the restrictions: a message the
// parser accepts for the user's own nick completes the login.
class TParsingMyINFO : public TMyINFOHandler {
 public:
  explicit TParsingMyINFO(TProtocol& protocol) : protocol_(protocol) {}
  bool HandleMyINFO(THubSocket& user, std::string_view message) override {
    TMyINFOFields fields;
    if (!ParseMyINFO(message, fields) || fields.Nick != user.Nick) return false;
    if (user.LoginState % 128 == lgNickAccepted) {
      user.LoginState = lgMyINFOReceived;
      if (user.DNSDone) protocol_.LoginComplete(user);
    }
    return true;
  }

 private:
  TProtocol& protocol_;
};

// Where the client stands when the fuzzed bytes arrive.
enum class TStart : std::uint8_t {
  LockSent,
  KeyAccepted,
  PasswordWait,
  NickAccepted,
  LoggedIn,
  OperatorLoggedIn,
  Count,
};

class THubInMemory {
 public:
  THubInMemory() {
    defaults_.Account = accounts_.DefaultAccount();
    defaults_.Profile = profiles_.Regular();
    defaults_.FindAccount = [this](std::string_view nick) { return accounts_.Find(nick); };
    defaults_.ReleaseAccount = [this](const std::shared_ptr<TAccount>& a) {
      accounts_.ReleaseAccount(a);
    };
    hooks_.SetMyINFO(&myINFO_);
    settings_.PerformDNSLookup = false;
    protocol_.SetCloseNow([](THubSocket& user) { user.Close(false); });
    const auto op = profiles_.Add("Op");
    op->SetRight(TProfileRight::IsOperator, 1);
    const auto account = accounts_.Add("admin", "Op");
    KAVRO_CHECK(account != nullptr, "operator account refused");
    account->Pass = "secret";
  }

  // A connection with its hand-shake lock sent, counted as logging in and
  // closing the way the hub core closes one.
  THubSocket& Connect() {
    users_.push_back(std::make_unique<THubSocket>(defaults_));
    THubSocket& user = *users_.back();
    user.Initialize(-1, settings_.ConnRestriction);
    user.IP = "10.0.0." + std::to_string(users_.size());
    user.CloseHook = [this](THubSocket& closed) { OnClose(closed); };
    user.UserInfo().LockSeed = "ABCD";
    protocol_.AddAuthorizing(1);
    protocol_.SendLock(user);
    return user;
  }

  void Receive(THubSocket& user, std::string_view bytes) {
    TReadBuffer& in = user.ReadBuffer();
    while (!bytes.empty() && user.LifeState != lsClosing) {
      in.Allocate();
      const std::size_t take = std::min(bytes.size(), static_cast<std::size_t>(in.FreeSpace()));
      if (take == 0) return;  // a full block without '|': the core drops such a client
      std::memcpy(in.FreeArea(), bytes.data(), take);
      in.AddFilled(static_cast<int>(take));
      bytes.remove_prefix(take);
      protocol_.ParseBuffer(user);
    }
  }

  // A client that goes through the login as a real one does, up to `start`.
  THubSocket& Login(TStart start, std::string_view nick) {
    THubSocket& user = Connect();
    if (start == TStart::LockSent) return user;
    Receive(user, "$Supports NoGetINFO NoHello UserIP2 TLS|$Key " +
                      TProtocol::KeyOfLock(LockOf(user)) + "|");
    Expect(user, lgKeyAccepted);
    if (start == TStart::KeyAccepted) return user;
    if (start == TStart::PasswordWait || start == TStart::OperatorLoggedIn) {
      Receive(user, "$ValidateNick admin|");
      Expect(user, lgPasswordWait);
      if (start == TStart::PasswordWait) return user;
      Receive(user, "$MyPass secret|");
    } else {
      Receive(user, "$ValidateNick " + std::string(nick) + "|");
    }
    Expect(user, lgNickAccepted);
    if (start == TStart::NickAccepted) return user;
    Receive(user, "$Version 1,0091|$GetNickList|$MyINFO $ALL " + user.Nick +
                      " <++ V:0.674,M:A,H:1/0/0,S:3>$ $LAN(T3)\x01$$0$|");
    Expect(user, lgLoggedIn);
    return user;
  }

  // What the core does at the end of a pass: closing connections are closed.
  void EndPass() {
    for (const auto& user : users_)
      if (user->LifeState == lsClosing) user->Close(false);
  }

 private:
  static std::string LockOf(THubSocket& user) {
    const std::string out = user.WriteBuffer().GetString();
    const std::size_t start = out.find("$Lock ");
    const std::size_t end = out.find(" Pk=", start);
    KAVRO_CHECK(start != std::string::npos && end != std::string::npos, "no lock sent");
    return out.substr(start + 6, end - start - 6);
  }

  static void Expect(const THubSocket& user, TLoginState state) {
    KAVRO_CHECK(user.LifeState != lsClosing && user.LoginState % 128 == state,
                "the scripted login went astray");
  }

  void OnClose(THubSocket& user) {
    if (user.Listed) {
      user.Listed = false;
      nickList_.Remove(user);
      nickList_.AnnounceQuit(user);
    } else {
      protocol_.AddAuthorizing(-1);
    }
  }

  TSettings settings_;
  TLanguage language_;
  TProfiles profiles_{settings_};
  TAccounts accounts_{profiles_};
  TUserDefaults defaults_;
  TNickList nickList_{settings_, language_, defaults_};
  TProtocolMessage messages_{settings_, nickList_};
  TNicksInUse nicksInUse_;
  TCoreHooks hooks_;
  TProtocol protocol_{{settings_, language_, nickList_, messages_, accounts_, nicksInUse_, hooks_}};
  TParsingMyINFO myINFO_{protocol_};
  std::vector<std::unique_ptr<THubSocket>> users_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const auto start = static_cast<TStart>(data[0] % static_cast<int>(TStart::Count));
  const std::size_t chunk = 1 + static_cast<std::size_t>(data[1]) * 16;
  std::string_view bytes(reinterpret_cast<const char*>(data) + 2, size - 2);

  THubInMemory hub;
  hub.Login(TStart::LoggedIn, "other");  // someone to talk to
  THubSocket& user = hub.Login(start, "fuzzer");
  while (!bytes.empty() && user.LifeState != lsClosing) {
    const std::size_t take = std::min(chunk, bytes.size());
    hub.Receive(user, bytes.substr(0, take));
    bytes.remove_prefix(take);
    hub.EndPass();
  }
  hub.EndPass();
  return 0;
}
