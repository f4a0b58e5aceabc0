// The commands that set the hub's pace, user limit and connection limits,
// send everyone elsewhere and lock main chat.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/case_tables.h"
#include "core/commands/hub_commands.h"
#include "core/commands/restriction_field.h"
#include "core/hub_socket.h"
#include "core/nick_list.h"
#include "core/nicks_in_use.h"
#include "core/page_refresh.h"
#include "core/protocol_message.h"
#include "security/profile.h"
#include "settings/conn_restriction.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/byte_size.h"
#include "utils/string_list.h"
#include "utils/text_format.h"

namespace {

using K = TLanguageKey;
using R = TProfileRight;

constexpr int kCountCap = 99;
constexpr int kUserLimitCap = 50000;

// The whole word as a decimal integer, sign allowed.
std::optional<std::int64_t> WholeNumber(std::string_view word) {
  std::int64_t value = 0;
  const char* first = word.data();
  const char* last = word.data() + word.size();
  if (first != last && *first == '+') ++first;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc{} || end != last || first == last) return std::nullopt;
  return value;
}

// The replies of each hub-wide limit, in the order of the restriction's fields.
struct TLimitTexts {
  TLanguageKey Invalid, Updated, Disabled;
};

const TLimitTexts kLimitTexts[] = {
    {K::SetShareIncorrectShare, K::SetMinShareUpdated, K::SetMinShareDisabled},
    {K::SetShareIncorrectShare, K::SetMaxShareUpdated, K::SetMaxShareDisabled},
    {K::SetHubsInvalidHubParameter, K::SetHubsUpdated, K::SetHubsDisabled},
    {K::SetSlotsInvalidSlotsParameter, K::SetMinSlotsUpdated, K::SetMinSlotsDisabled},
    {K::SetSlotsInvalidSlotsParameter, K::SetMaxSlotsUpdated, K::SetMaxSlotsDisabled},
    {K::SetSlotsInvalidSlotsParameter, K::SetSlotRatioUpdated, K::SetSlotRatioDisabled},
};

}  // namespace

std::string THubCommands::PaceName(int level) const {
  return ctx_.Language.Text(
      static_cast<TLanguageKey>(static_cast<int>(K::SetPacePace0) + std::clamp(level, 0, 7)));
}

void THubCommands::HandleSetWorkPace() {
  if (tokens_.Count() < 2) {
    session_.Reply(K::SetPaceWorkInvalidParm);
    return;
  }
  int level = -1;
  // Digits stop at 6: the top pace is given by name only.
  if (const auto digit = WholeNumber(tokens_.Get(1)); digit && *digit >= 0 && *digit <= 6) {
    level = static_cast<int>(*digit);
  } else {
    const std::string_view name = RestOfLine(1);
    for (int i = 0; i <= 7 && level < 0; ++i)
      if (SameText(name, PaceName(i))) level = i;
  }
  if (level < 0) {
    session_.Reply(K::SetPaceWorkInvalidParm);
    return;
  }
  const std::string name = PaceName(level);
  if (level == ctx_.Settings.WorkPace()) {
    session_.Reply(K::SetPaceTheSame, name);
    return;
  }
  ctx_.Settings.SetWorkPace(level);
  Pages().GeneralSettingsChanged();
  session_.Reply(K::SetPaceSuccess, name);
  FeedAction(FormatText(ctx_.Language.Text(K::SetPaceFeedMessage), name, session_.Sender().Nick));
}

void THubCommands::SetRestrictionLimit(int which) {
  const TRestrictionField& field = kRestrictionFields[which];
  const TLimitTexts& texts = kLimitTexts[which];
  std::int64_t value = -1;
  if (field.Share) {
    value = ParseByteSize(tokens_.Join(1, tokens_.Count() - 1));
  } else if (const auto count = WholeNumber(tokens_.Get(1)); count && *count >= 0) {
    value = std::min<std::int64_t>(*count, kCountCap);
  }
  if (value < 0) {
    session_.Reply(texts.Invalid);
    return;
  }
  TConnRestriction& r = ctx_.Settings.ConnRestriction;
  const bool changed = ApplyRestrictionValue(r, field, value);
  if (value == 0) session_.Reply(texts.Disabled);
  else if (field.Share) session_.Reply(texts.Updated, FormatByteSize(value));
  else session_.Reply(texts.Updated, value);
  if (!changed) return;
  // Users under the hub-wide limits hold a copy: the next check uses the new ones.
  for (int i = 0; i < ctx_.NickList.GetCount(); ++i) {
    THubSocket* user = ctx_.NickList.GetUser(i);
    if (user != nullptr && !user->ISPRestriction && !user->Rights().UseProfileConnRestriction())
      user->Restriction = r;
  }
  Pages().RestrictionsChanged();
  FeedAction(FormatText(ctx_.Language.Text(K::SetConnSettingUpdatedFeedMessage),
                        session_.Sender().Nick));
}

void THubCommands::HandleSetMinShare() { SetRestrictionLimit(0); }
void THubCommands::HandleSetMaxShare() { SetRestrictionLimit(1); }
void THubCommands::HandleSetMaxHubs() { SetRestrictionLimit(2); }
void THubCommands::HandleSetMinSlots() { SetRestrictionLimit(3); }
void THubCommands::HandleSetMaxSlots() { SetRestrictionLimit(4); }
void THubCommands::HandleSetSlotRatio() { SetRestrictionLimit(5); }

void THubCommands::HandleSetUserLimit() {
  const auto count = WholeNumber(tokens_.Get(1));
  // A negative limit would refuse every login.
  if (!count || *count < 0) {
    session_.Reply(K::SetUserLimitInvalidParameter);
    return;
  }
  const int limit = static_cast<int>(std::min<std::int64_t>(*count, kUserLimitCap));
  session_.Reply(K::SetUserLimit, limit);
  if (limit == ctx_.Settings.MaxUsers) return;
  ctx_.Settings.MaxUsers = limit;
  Pages().GeneralSettingsChanged();
  FeedAction(FormatText(ctx_.Language.Text(K::SetUserLimitFeed), session_.Sender().Nick, limit));
}

void THubCommands::HandleRedirectAll() {
  std::vector<std::string> addresses;
  {
    std::string_view list = tokens_.Get(1);
    while (true) {
      const std::size_t cut = list.find(';');
      const std::string_view one = list.substr(0, cut);
      if (!one.empty()) addresses.emplace_back(one);
      if (cut == std::string_view::npos) break;
      list.remove_prefix(cut + 1);
    }
  }
  // Nobody is sent to an empty address.
  if (addresses.empty()) {
    session_.Reply(K::ErrorCommand);
    return;
  }
  const std::string reason(RestOfLine(2));
  THubSocket& sender = session_.Sender();
  const std::uint8_t right = sender.Rights().Right(R::MayRedirectAll);
  int count = 0;
  std::size_t next = 0;
  std::string last = addresses.front();
  for (int i = ctx_.NickList.GetCount() - 1; i >= 0; --i) {
    THubSocket* user = ctx_.NickList.GetUser(i);
    if (user == nullptr || !user->IsLoggedIn() || user->LifeState >= lsClosing) continue;
    if (!sender.MayActOnUser(right, *user)) continue;
    ++count;
    last = addresses[next];
    next = (next + 1) % addresses.size();
    const std::string text =
        reason.empty()
            ? FormatText(ctx_.Language.Text(K::OnRedirectUser), last)
            : FormatText(ctx_.Language.Text(K::OnRedirectUserWithReason), last, reason);
    ctx_.Messages.SendChatDataAs(sender.Nick, *user, text);
    ctx_.Messages.ForceMove(*user, last);
  }
  if (reason.empty()) session_.Reply(K::RedirectAll, count, last);
  else session_.Reply(K::RedirectAllWithReason, count, last, reason);
  FeedAction(FormatText(ctx_.Language.Text(K::RedirectAllFeed), sender.Nick, count, last));
}

void THubCommands::HandleLockMainChat() {
  const std::string& word = tokens_.Get(1);
  const bool on = SameText(word, "on");
  if (!on && !SameText(word, "off")) {
    session_.Reply(K::LockMainChatInvalidParameter);
    return;
  }
  TSettings& settings = ctx_.Settings;
  if (on == settings.MainChatIsLocked) {
    session_.Reply(on ? K::LockMainChatAlreadyLocked : K::LockMainChatNotLocked);
    return;
  }
  session_.Reply(on ? K::LockMainChatLocked : K::LockMainChatUnLocked);
  settings.MainChatIsLocked = on;
  const std::string& nick = session_.Sender().Nick;
  if (on) {
    FeedAction(FormatText(ctx_.Language.Text(K::LockMainChatLockedFeed), nick));
    ctx_.Messages.SendChatToNonOperators(ctx_.Language.Text(K::LockMainChatLockedMessage));
    return;
  }
  FeedAction(FormatText(ctx_.Language.Text(K::LockMainChatUnLockedFeed), nick));
  ctx_.Messages.SendChatToNonOperators(ctx_.Language.Text(K::LockMainChatUnLockedMessage));
  for (int i = 0; i < ctx_.NickList.GetCount(); ++i)
    if (THubSocket* user = ctx_.NickList.GetUser(i)) user->UserInfo().AllowedToSpeak = false;
}

THubSocket* THubCommands::MainChatTarget(TLanguageKey isOperator) {
  if (!ctx_.Settings.MainChatIsLocked) {
    session_.Reply(K::AllowMCMainChatNotLocked);
    return nullptr;
  }
  const std::string& word = tokens_.Get(1);
  THubSocket* user = ctx_.NickList.FindUser(word);
  if (user == nullptr) {
    if (ctx_.NicksInUse.Exists(word))
      session_.Reply(K::AllowMCProtected, ctx_.NicksInUse.GetRealCase(word));
    else
      session_.Reply(K::AllowMCNotFound, word);
    return nullptr;
  }
  if (user->IsOperator()) {
    session_.Reply(isOperator, user->Nick);
    return nullptr;
  }
  return user;
}

void THubCommands::HandleAllowMainChat() {
  THubSocket* user = MainChatTarget(K::AllowMCUserIsOperator);
  if (user == nullptr) return;
  bool& allowed = user->UserInfo().AllowedToSpeak;
  if (allowed) {
    session_.Reply(K::AllowMCAlreadyAllow, user->Nick);
    return;
  }
  allowed = true;
  session_.Reply(K::AllowMCUserAllowed, user->Nick);
  ctx_.Messages.SendChat(*user, ctx_.Language.Text(K::AllowMCUserMessage));
  FeedAction(FormatText(ctx_.Language.Text(K::AllowMCFeedMessage), user->Nick,
                        session_.Sender().Nick));
}

void THubCommands::HandleDisallowMainChat() {
  THubSocket* user = MainChatTarget(K::DisAllowMCUserIsOperator);
  if (user == nullptr) return;
  bool& allowed = user->UserInfo().AllowedToSpeak;
  if (!allowed) {
    session_.Reply(K::DisAllowMCNotAllowed, user->Nick);
    return;
  }
  allowed = false;
  session_.Reply(K::DisAllowMCDisallowed, user->Nick);
  ctx_.Messages.SendChat(*user, ctx_.Language.Text(K::DisAllowMCUserMessage));
  FeedAction(FormatText(ctx_.Language.Text(K::DisAllowMCFeedMessage), user->Nick,
                        session_.Sender().Nick));
}
