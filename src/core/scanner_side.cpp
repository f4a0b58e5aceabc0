#include "core/scanner_side.h"

#include "core/hub_socket.h"
#include "core/protocol_message.h"
#include "security/mc_scanner.h"
#include "security/text_penalties.h"
#include "security/tmp_ban_list.h"

std::string EscapeMessageBars(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '|') out += "&#124;";
    else out += c;
  }
  return out;
}

TScanVerdict TScannerSide::ScanMainChat(THubSocket& user, std::string& text) {
  const auto timeOfDay = static_cast<int>(TimeOfDay(parts_.Now()));
  const TMCScanOutcome outcome =
      parts_.MainChat.Scan(text, 0, user.Nick, user.ProfileLevel(), timeOfDay);
  if (!outcome.Pass) {
    if (!outcome.Message.empty())
      parts_.Messages.SendChat(user, EscapeMessageBars(outcome.Message));
    if (outcome.Action == mcaKickUser) parts_.TmpBans.Add(user.Nick, user.IP, outcome.BanReason);
    if (outcome.Action != mcaSkipMessage) user.LifeState = lsClosing;
    return TScanVerdict::Refuse;
  }
  if (outcome.Kennylize) return TScanVerdict::Kennylize;
  if (outcome.Lunarize) return TScanVerdict::Lunarize;
  return TScanVerdict::Accept;
}

void TScannerSide::Act(THubSocket& user, int action) {
  if (action == wsaKick) parts_.TmpBans.Add(user.Nick, user.IP, {});
  if (action != wsaSkip) user.LifeState = lsClosing;
}

bool TScannerSide::RefusePrivateMessage(THubSocket& user, std::string_view target,
                                        std::string_view text) {
  const TPMScannerItem* hit = parts_.PrivateMessages.Scan(text, user.ProfileLevel());
  if (hit == nullptr) return false;
  if (!hit->Reason.empty())
    parts_.Messages.SendBotPMFrom(target, user, EscapeMessageBars(hit->Reason));
  Act(user, hit->Action);
  return true;
}

bool TScannerSide::RefuseSearch(THubSocket& user, std::string_view pattern, std::string& reason) {
  const TSearchScannerItem* hit = parts_.Searches.Scan(pattern, user.ProfileLevel());
  if (hit == nullptr) return false;
  reason = EscapeMessageBars(hit->Reason);
  Act(user, hit->Action);
  return true;
}

std::string TScannerSide::Kennylize(std::string_view text) {
  return parts_.Kennylize.KennylizeText(text);
}

std::string TScannerSide::Lunarize(std::string_view text) {
  return parts_.Lunarize.LunarizeText(text);
}
