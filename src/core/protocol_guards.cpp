// The junk-data guard and the flood gates.

#include <array>
#include <cstdint>
#include <string>

#include "core/core_hooks.h"
#include "core/hub_socket.h"
#include "core/protocol.h"
#include "core/protocol_message.h"
#include "security/profile.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/hub_time.h"
#include "utils/text_format.h"

namespace {

struct TFloodRule {
  TCountPerInterval TSettings::*Limit;
  bool TSettings::*Notify;
  TLanguageKey KickText;
  TLanguageKey BanReason;
  TLanguageKey Warning;
};

// Indexed by TFloodKind.
constexpr std::array<TFloodRule, kFloodKindCount> kFloodRules = {{
    {&TSettings::SearchSpamMaxCount, &TSettings::NotifySearchSpam, TLanguageKey::SpamAbuseKickSearch,
     TLanguageKey::SpamAbuseKickReasonSearch, TLanguageKey::SearchSpamWarning},
    {&TSettings::MainChatSpamMaxCount, &TSettings::NotifyMCSpam,
     TLanguageKey::SpamAbuseKickMainChat, TLanguageKey::SpamAbuseKickReasonMainChat,
     TLanguageKey::MainChatSpamWarning},
    {&TSettings::MyINFOSpamCheck, &TSettings::NotifyMyINFOSpam, TLanguageKey::SpamAbuseKickMyINFO,
     TLanguageKey::SpamAbuseKickReasonMyINFO, TLanguageKey::MyINFOSpamWarning},
    {&TSettings::NickListSpamCheck, &TSettings::NotifyGetNickListSpam,
     TLanguageKey::SpamAbuseKickNickList, TLanguageKey::SpamAbuseKickReasonNickList,
     TLanguageKey::NickListSpamWarning},
    {&TSettings::PMSpamCheck, &TSettings::NotifyPMSpam, TLanguageKey::SpamAbuseKickPM,
     TLanguageKey::SpamAbuseKickReasonPM, TLanguageKey::PMSpamWarning},
}};

// A private message needs a nick to go to: a connection that has none yet
// is warned in main chat, as it is greeted.
void SendWarning(TProtocolMessage& messages, THubSocket& user, const std::string& text) {
  if (user.Nick.empty()) {
    messages.SendChat(user, text);
  } else {
    messages.SendPM(user, text);
  }
}

}  // namespace

bool TProtocol::CheckJunkData(THubSocket& user, bool resetMarks) {
  if (user.LifeState != lsInitialised) return false;
  const TSettings& settings = ctx_.Settings;
  TTransferInfo& t = user.UserInfo().Transfer;
  if (settings.JunkData.Enabled && t.JunkBytes - t.JunkWarnMark > settings.JunkData.Value) {
    ++t.Warnings;
    t.JunkWarnMark = t.JunkBytes;
    if (settings.MaxSpamWarnings != 0 && t.Warnings > settings.MaxSpamWarnings) {
      DropForJunk(user);
    } else if (settings.NotifyJunkDataSpam) {
      SendWarning(ctx_.Messages, user,
                  FormatText(Text(TLanguageKey::JunkDataSpamWarning), t.Warnings));
    }
    return false;
  }
  if (settings.JunkDataDK.Enabled && t.JunkBytes - t.JunkDropMark > settings.JunkDataDK.Value) {
    DropForJunk(user);
    return false;
  }
  if (resetMarks) {
    t.JunkWarnMark = t.JunkBytes;
    t.JunkDropMark = t.JunkBytes;
  }
  return true;
}

void TProtocol::DropForJunk(THubSocket& user) {
  ctx_.Hooks.Login().TempBan(user, Text(TLanguageKey::SpamAbuseKickReasonJunkData));
  ++user.UserInfo().KickCount;
  ++user.UserInfo().Transfer.Kicks;
  ctx_.Hooks.Counters().Count(TCoreCount::JunkDataDrop);
  Refuse(user, Text(TLanguageKey::SpamAbuseKickJunkData));
}

bool TProtocol::FloodGate(THubSocket& user, TFloodKind kind) {
  const TFloodRule& rule = kFloodRules[static_cast<std::size_t>(kind)];
  const TCountPerInterval& limit = ctx_.Settings.*rule.Limit;
  if (user.Rights().MayByPassFloodCheck() || limit.State == TTriState::Unchecked) return true;
  TFloodWindow& window = user.UserInfo().Transfer.FloodOf(kind);
  const std::uint64_t now = TTime::Now();
  if (window.Count > 0 && now < window.Start + static_cast<std::uint64_t>(limit.Interval)) {
    ++window.Count;
    if (window.Count < limit.Count) return true;
    if (limit.State == TTriState::Checked) {
      TTransferInfo& t = user.UserInfo().Transfer;
      ++t.Warnings;
      if (ctx_.Settings.MaxSpamWarnings != 0 && t.Warnings > ctx_.Settings.MaxSpamWarnings) {
        ctx_.Hooks.Login().TempBan(user, Text(rule.BanReason));
        ++user.UserInfo().KickCount;
        ++t.Kicks;
        ctx_.Hooks.Counters().Count(TCoreCount::Kick);
        Refuse(user, Text(rule.KickText));
      } else if (ctx_.Settings.*rule.Notify) {
        SendWarning(ctx_.Messages, user, FormatText(Text(rule.Warning), t.Warnings));
      }
    }
    return false;
  }
  window.Start = now;
  window.Count = 1;
  return true;
}
