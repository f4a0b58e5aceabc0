#include "core/protocol.h"

#include <random>
#include <string>

#include "core/core_hooks.h"
#include "core/hub_socket.h"
#include "core/protocol_message.h"
#include "settings/language.h"
#include "settings/redirect_item.h"
#include "settings/settings.h"
#include "utils/constants.h"

namespace {

// The fixed parts of the lock around the seed. Their bytes only have to
// make a lock clients accept; the seed and a TAB stand between them.
constexpr std::string_view kLockStart = "EXTENDEDPROTOCOL_KAVRO_";
constexpr std::string_view kLockEnd = "Hub";

std::string_view EscapedKeyByte(unsigned char x) {
  switch (x) {
    case 0: return "/%DCN000%/";
    case 5: return "/%DCN005%/";
    case 36: return "/%DCN036%/";
    case 96: return "/%DCN096%/";
    case 124: return "/%DCN124%/";
    case 126: return "/%DCN126%/";
    default: return {};
  }
}

}  // namespace

TProtocol::TProtocol(const TProtocolContext& context) : ctx_(context) {
  banner_ = std::string("This hub is running ") + std::string(kProductName) + " " +
            std::string(kProgramVersion) + " (NMDC hub server for Linux)";
  lockPrefix_ = "$Lock " + std::string(kLockStart);
  lockSuffix_ = std::string(kLockEnd) + " Pk=" + std::string(kProductName) +
                std::string(kProgramVersion) + "|";
}

const std::string& TProtocol::Text(TLanguageKey key) const { return ctx_.Language.Text(key); }

bool TProtocol::DefaultPasswordEnabled() const {
  return ctx_.Settings.Password.Enabled && !ctx_.Settings.Password.Value.empty();
}

std::string TProtocol::RandomString(std::size_t length, std::string_view alphabet) {
  std::string out;
  if (alphabet.empty()) return out;
  thread_local std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  out.reserve(length);
  while (out.size() < length) out.push_back(alphabet[pick(generator)]);
  return out;
}

std::string TProtocol::NewLockSeed() { return RandomString(4, kLockSeedAlphabet); }

std::string TProtocol::KeyOfLock(std::string_view lock, std::uint8_t magic) {
  std::string key;
  const std::size_t n = lock.size();
  if (n < 2) return key;
  key.reserve(n + 16);
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(lock[i]); };
  for (std::size_t i = 0; i < n; ++i) {
    unsigned x = i == 0 ? (byte(0) ^ byte(n - 1) ^ byte(n - 2) ^ magic) : (byte(i) ^ byte(i - 1));
    x = ((x << 4) | (x >> 4)) & 0xFFu;
    const std::string_view escaped = EscapedKeyByte(static_cast<unsigned char>(x));
    if (escaped.empty()) {
      key.push_back(static_cast<char>(x));
    } else {
      key.append(escaped);
    }
  }
  return key;
}

void TProtocol::SendLock(THubSocket& user) {
  TUserInfo& info = user.UserInfo();
  if (info.LockSeed.size() != 4) info.LockSeed = NewLockSeed();
  std::string lock = std::string(kLockStart) + info.LockSeed + '\t' + std::string(kLockEnd);
  TWriteBuffer& out = user.WriteBuffer();
  out.AppendString(lockPrefix_);
  out.AppendString(info.LockSeed);
  out.AppendChar('\t');
  out.AppendString(lockSuffix_);
  info.ExpectedKey = "$Key " + KeyOfLock(lock);
}

bool TProtocol::HandleKey(THubSocket& user, std::string_view message) {
  TUserInfo& info = user.UserInfo();
  const std::string& expected = info.ExpectedKey;
  const bool match = !expected.empty() && message.size() >= expected.size() &&
                     message.substr(0, expected.size()) == expected;
  if (!match && ctx_.Settings.KickOnInvalidKey) {
    Refuse(user, ctx_.Settings.NotifyInvalidKey ? Text(TLanguageKey::InvalidKeySuppliedByClient)
                                                : std::string_view());
    return true;
  }
  info.Transfer.KeyMatched = match;
  user.LoginState = lgKeyAccepted;
  TWriteBuffer& out = user.WriteBuffer();
  if (!ctx_.Settings.RegOnlyHub && !DefaultPasswordEnabled()) {
    out.AppendString(ctx_.Settings.HubNameMessage());
  } else {
    // The topic waits for the login: a refused visitor does not see it.
    out.AppendString("$HubName ");
    out.AppendString(ctx_.Settings.HubName());
    out.AppendChar('|');
  }
  ctx_.Messages.SendChat(user, banner_);
  ctx_.Hooks.Events().KeyAccepted(user);
  return true;
}

void TProtocol::Refuse(THubSocket& user, std::string_view text, TRedirectItem* redirect) {
  if (!text.empty()) ctx_.Messages.SendChat(user, text);
  if (redirect != nullptr && redirect->Enabled) {
    // ForceMove sends nothing for an empty address.
    ctx_.Messages.ForceMove(user, redirect->NextAddress());
  }
  user.LifeState = lsClosing;
}
