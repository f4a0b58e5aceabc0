// Framing of a connection's input and dispatch by login state and key.

#include <cstdint>
#include <exception>
#include <string>

#include "core/core_hooks.h"
#include "core/hub_socket.h"
#include "core/nick_list.h"
#include "core/protocol.h"
#include "core/read_buffer.h"
#include "base/exceptions.h"

namespace {

// The first four bytes of a message as one number, first byte lowest.
constexpr std::uint32_t Key4(const char* s) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(s[0])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(s[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(s[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(s[3])) << 24;
}

constexpr std::uint32_t kNone = 0;  // $GetINFO: no key of its own
constexpr std::uint32_t kMyNick = Key4("$MyN");
constexpr std::uint32_t kSupports = Key4("$Sup");
constexpr std::uint32_t kBotINFO = Key4("$Bot");
constexpr std::uint32_t kKey = Key4("$Key");
constexpr std::uint32_t kMyPass = Key4("$MyP");
constexpr std::uint32_t kValidateNick = Key4("$Val");
constexpr std::uint32_t kMyINFO = Key4("$MyI");
constexpr std::uint32_t kVersion = Key4("$Ver");
constexpr std::uint32_t kGetNickList = Key4("$Get");
constexpr std::uint32_t kSearchResult = Key4("$SR ");
constexpr std::uint32_t kTo = Key4("$To:");
constexpr std::uint32_t kOpForceMove = Key4("$OpF");
constexpr std::uint32_t kMCTo = Key4("$MCT");
constexpr std::uint32_t kSearch = Key4("$Sea");
constexpr std::uint32_t kKick = Key4("$Kic");
constexpr std::uint32_t kUserIP = Key4("$Use");
constexpr std::uint32_t kQuit = Key4("$Qui");
constexpr std::uint32_t kConnectToMe = Key4("$Con");
constexpr std::uint32_t kForceMove = Key4("$For");
constexpr std::uint32_t kRevConnectToMe = Key4("$Rev");

}  // namespace

void TProtocol::ParseBuffer(THubSocket& user) {
  TReadBuffer& in = user.ReadBuffer();
  if (!in.HasBlock()) return;
  const int filled = in.Filled();
  // Unparsed bytes always begin at the block start; those before the scan
  // position hold no '|'.
  int start = 0;
  int from = in.ScanPosition();
  int empties = 0;
  bool found = false;
  while (from < filled) {
    const int c = in.FindChar('|', from, filled - 1);
    if (c < 0) break;
    found = true;
    const int length = c - start;  // bytes before the '|'
    if (length >= 5) {
      in.SetMessage(start, c);
      HandleMessage(user, std::string_view(in.Data() + start, static_cast<std::size_t>(length + 1)));
    } else if (length == 0) {
      ++empties;
      if (empties > kMaxEmptyMessages) {
        user.LifeState = lsClosing;
      } else if (empties > 1) {
        user.UserInfo().Transfer.JunkBytes += 1;
      }
    } else {
      user.UserInfo().Transfer.JunkBytes += length + 1;
    }
    if (user.LifeState == lsClosing) {
      in.Release();
      return;
    }
    start = c + 1;
    from = start;
  }
  if (!found) {
    in.SetScanPosition(filled);
    return;
  }
  in.SetScanPosition(start);
  in.Compact();
}

bool TProtocol::HandleMessage(THubSocket& user, std::string_view message) {
  if (message.empty()) return false;
  std::uint32_t key = 0;
  bool handled = false;
  try {
    if (message[0] == '<') {
      handled = user.LoginState % 128 == lgLoggedIn &&
                ctx_.Hooks.Handlers().Handle(TProtocolKey::MainChat, user, message);
    } else if (message.size() >= 5) {
      key = Key4(message.data());
      // Only $GetNickList keeps the key: $GetINFO has none.
      if (key == kGetNickList && message[4] != 'N') key = kNone;
      handled = Dispatch(user, message, key);
    }
  } catch (const std::exception& e) {
    throw EProtocolException("TProtocol.HandleMessage:" +
                                 std::to_string(static_cast<std::int32_t>(key)),
                             e.what());
  }
  if (!handled && user.LifeState != lsClosing) {
    user.UserInfo().Transfer.JunkBytes += static_cast<std::int64_t>(message.size());
    CheckJunkData(user, false);
  }
  return handled;
}

bool TProtocol::Dispatch(THubSocket& user, std::string_view message, std::uint32_t key) {
  TProtocolHandlers& handlers = ctx_.Hooks.Handlers();
  switch (user.LoginState % 128) {
    case lgLockSent:
      switch (key) {
        case kMyNick:
          // A client took the hub for another client.
          user.WriteBuffer().AppendString("$Error CTM2HUB|");
          user.LifeState = lsClosing;
          return true;
        case kSupports: return HandleSupports(user, message);
        case kBotINFO: return handlers.Handle(TProtocolKey::BotINFO, user, message);
        case kKey: return HandleKey(user, message);
        default: return false;
      }
    case lgKeyAccepted:
      switch (key) {
        case kMyPass: return HandleMyPass(user, message);
        case kValidateNick: return HandleValidateNick(user, message);
        case kSupports: return HandleSupports(user, message);
        case kBotINFO: return handlers.Handle(TProtocolKey::BotINFO, user, message);
        default: return false;
      }
    case lgPasswordWait:
      return key == kMyPass && HandleMyPass(user, message);
    case lgNickAccepted:
      switch (key) {
        case kMyINFO: return ctx_.Hooks.MyINFO().HandleMyINFO(user, message);
        case kVersion: return HandleVersion(user);
        case kGetNickList: ctx_.NickList.HandleGetNickList(user); return true;
        case kBotINFO: return handlers.Handle(TProtocolKey::BotINFO, user, message);
        default: return false;
      }
    case lgMyINFOReceived:
      switch (key) {
        case kGetNickList: ctx_.NickList.HandleGetNickList(user); return true;
        case kBotINFO: return handlers.Handle(TProtocolKey::BotINFO, user, message);
        default: return false;
      }
    case lgLoggedIn:
      switch (key) {
        case kNone: return handlers.Handle(TProtocolKey::GetINFO, user, message);
        case kSearchResult: return handlers.Handle(TProtocolKey::SearchResult, user, message);
        case kTo: return handlers.Handle(TProtocolKey::PrivateMessage, user, message);
        case kOpForceMove: return handlers.Handle(TProtocolKey::OpForceMove, user, message);
        case kMyINFO: return ctx_.Hooks.MyINFO().HandleMyINFO(user, message);
        case kMCTo: return handlers.Handle(TProtocolKey::MCTo, user, message);
        case kSearch: return handlers.Handle(TProtocolKey::Search, user, message);
        case kKick: return handlers.Handle(TProtocolKey::Kick, user, message);
        case kUserIP: return handlers.Handle(TProtocolKey::UserIP, user, message);
        case kConnectToMe: return handlers.Handle(TProtocolKey::ConnectToMe, user, message);
        case kRevConnectToMe: return handlers.Handle(TProtocolKey::RevConnectToMe, user, message);
        case kBotINFO: return handlers.Handle(TProtocolKey::BotINFO, user, message);
        case kGetNickList: ctx_.NickList.HandleGetNickList(user); return true;
        case kQuit:
        case kForceMove:  // a client may not move anyone
          user.LifeState = lsClosing;
          return true;
        default: return false;
      }
    default:
      return false;
  }
}
