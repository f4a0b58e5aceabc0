// The commands that change hub-wide state: lock, topic, save-all and the
// redirect addresses of the refusals.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/case_tables.h"
#include "core/commands/hub_commands.h"
#include "core/hub_control.h"
#include "core/hub_socket.h"
#include "core/page_refresh.h"
#include "core/hub_stats.h"
#include "core/protocol_message.h"
#include "security/profile.h"
#include "settings/language.h"
#include "settings/redirect_item.h"
#include "settings/settings.h"
#include "utils/text_format.h"

namespace {

using R = TProfileRight;
using K = TLanguageKey;

// One redirect type: its word, right, value and its four texts.
struct TRedirectType {
  std::string_view Word;
  TProfileRight Right;
  TRedirectItem TSettings::*Item;
  TLanguageKey Set, Feed, Remove, FeedRemove, Show;
};

// clang-format off
constexpr TRedirectType kRedirectTypes[] = {
    {"full", R::MayRedirectChangeOnHubFull, &TSettings::RedirectOnFull, K::SetRedirectsFull, K::SetRedirectsFeedFull, K::SetRedirectsRemoveFull, K::SetRedirectsFeedRemoveFull, K::SetRedirectsShowOnHubFull},
    {"isp", R::MayRedirectChangeOnIncorrectISP, &TSettings::RedirectOnISP, K::SetRedirectsISP, K::SetRedirectsFeedISP, K::SetRedirectsRemoveISP, K::SetRedirectsFeedRemoveISP, K::SetRedirectsShowOnIncorrectISP},
    {"lowshare", R::MayRedirectChangeOnLowShare, &TSettings::RedirectOnLowShare, K::SetRedirectsLowShare, K::SetRedirectsFeedLowShare, K::SetRedirectsRemoveLowShare, K::SetRedirectsFeedRemoveLowShare, K::SetRedirectsShowOnLowShare},
    {"highshare", R::MayRedirectChangeOnHighShare, &TSettings::RedirectOnHighShare, K::SetRedirectsHighShare, K::SetRedirectsFeedHighShare, K::SetRedirectsRemoveHighShare, K::SetRedirectsFeedRemoveHighShare, K::SetRedirectsShowOnHighShare},
    {"regonly", R::MayRedirectChangeOnRegOnly, &TSettings::RedirectOnRegOnly, K::SetRedirectsRegOnly, K::SetRedirectsFeedRegOnly, K::SetRedirectsRemoveRegOnly, K::SetRedirectsFeedRemoveRegOnly, K::SetRedirectsShowOnRegOnly},
    {"passive", R::MayRedirectChangeOnPassive, &TSettings::RedirectOnPassiveMode, K::SetRedirectsPassive, K::SetRedirectsFeedPassive, K::SetRedirectsRemovePassive, K::SetRedirectsFeedRemovePassive, K::SetRedirectsShowOnPassive},
    {"notag", R::MayRedirectChangeOnNoTag, &TSettings::RedirectOnNoTag, K::SetRedirectsNoTag, K::SetRedirectsFeedNoTag, K::SetRedirectsRemoveNoTag, K::SetRedirectsFeedRemoveNoTag, K::SetRedirectsShowOnNoTag},
    {"hubs", R::MayRedirectChangeOnHighHubs, &TSettings::RedirectOnHighHubs, K::SetRedirectsHubs, K::SetRedirectsFeedHubs, K::SetRedirectsRemoveHubs, K::SetRedirectsFeedRemoveHubs, K::SetRedirectsShowOnHighHubs},
    {"lowslots", R::MayRedirectChangeOnLowSlots, &TSettings::RedirectOnLowSlots, K::SetRedirectsLowSlots, K::SetRedirectsFeedLowSlots, K::SetRedirectsRemoveLowSlots, K::SetRedirectsFeedRemoveLowSlots, K::SetRedirectsShowOnLowSlots},
    {"highslots", R::MayRedirectChangeOnHighSlots, &TSettings::RedirectOnHighSlots, K::SetRedirectsHighSlots, K::SetRedirectsFeedHighSlots, K::SetRedirectsRemoveHighSlots, K::SetRedirectsFeedRemoveHighSlots, K::SetRedirectsShowOnHighSlots},
    {"slotratio", R::MayRedirectChangeOnLowSlotRatio, &TSettings::RedirectOnLowSlotRatio, K::SetRedirectsSlotratio, K::SetRedirectsFeedSlotratio, K::SetRedirectsRemoveSlotratio, K::SetRedirectsFeedRemoveSlotratio, K::SetRedirectsShowOnLowSlotRatio},
    {"banned", R::MayRedirectChangeOnBaned, &TSettings::RedirectOnBans, K::SetRedirectsBanned, K::SetRedirectsFeedBanned, K::SetRedirectsRemoveBanned, K::SetRedirectsFeedRemoveBanned, K::SetRedirectsShowOnBaned},
};
// clang-format on

// The type words the profile may change, in table order.
std::string RedirectTypesText(const TProfile& rights) {
  std::string text;
  for (const TRedirectType& type : kRedirectTypes) {
    if (!rights.Has(type.Right)) continue;
    if (!text.empty()) text += ", ";
    text += type.Word;
  }
  return text;
}

// "&#124;" is how one word carries several addresses.
std::string DecodeAddresses(std::string_view word) {
  std::string out;
  constexpr std::string_view kBar = "&#124;";
  std::size_t i = 0;
  while (i < word.size()) {
    if (word.substr(i, kBar.size()) == kBar) {
      out += '|';
      i += kBar.size();
    } else {
      out += word[i++];
    }
  }
  return out;
}

}  // namespace

void THubCommands::HandleLock() {
  const std::string& word = tokens_.Get(1);
  const bool on = SameText(word, "on");
  if (!on && !SameText(word, "off")) {
    session_.Reply(K::LockHubParmError);
    return;
  }
  THubControl* control = ctx_.Control;
  if (control == nullptr) return;
  const std::string& nick = session_.Sender().Nick;
  if (on) {
    if (control->Locked()) {
      session_.Reply(K::LockHubAlreadyLocked);
      return;
    }
    control->Lock();
    session_.Reply(K::LockHubLockSuccess);
    FeedAction(FormatText(ctx_.Language.Text(K::LockHubFeedLockSuccess), nick));
    return;
  }
  if (!control->Locked()) {
    session_.Reply(K::LockHubAlreadyUnLocked);
    return;
  }
  if (!control->Unlock() || control->Locked()) {
    session_.Reply(K::LockHubUnLockFailed);
    return;
  }
  session_.Reply(K::LockHubUnLockSuccess);
  FeedAction(FormatText(ctx_.Language.Text(K::LockHubFeedUnLockSuccess), nick));
}

void THubCommands::HandleTopic() {
  THubSocket& sender = session_.Sender();
  TSettings& settings = ctx_.Settings;
  if (!sender.MayActOnLevel(sender.Rights().Right(R::MaySetTopic), settings.TopicLevel)) {
    session_.Reply(K::SetTopicProfileAccessError);
    return;
  }
  const std::string& nick = sender.Nick;
  if (tokens_.Count() < 2) {
    if (settings.Topic().empty()) {
      session_.Reply(K::SetTopicAlreadyDeleted);
      return;
    }
    settings.SetTopic("");
    settings.TopicLevel = 0;
    settings.TopicSetBy.clear();
    if (session_.ReplyByPM) session_.Reply(K::SetTopicDelete);
    ctx_.Messages.SendChatToAll(
        FormatText(ctx_.Language.Text(K::SetTopicBroadcastDelete), nick));
    FeedAction(FormatText(ctx_.Language.Text(K::SetTopicFeedDelete), nick));
    return;
  }
  const std::string topic(RestOfLine(1));
  if (settings.TopicMaxMessageLength.Enabled &&
      static_cast<std::int64_t>(topic.size()) > settings.TopicMaxMessageLength.Value) {
    session_.Reply(K::SetTopicTooLong);
    return;
  }
  settings.SetTopic(topic);
  settings.TopicLevel = sender.ProfileLevel();
  settings.TopicSetBy = nick;
  if (session_.ReplyByPM) session_.Reply(K::SetTopicUpdated, topic);
  ctx_.Messages.SendChatToAll(
      FormatText(ctx_.Language.Text(K::SetTopicBroadcastUpdate), nick, topic));
  FeedAction(FormatText(ctx_.Language.Text(K::SetTopicFeedUpdate), nick, topic));
}

void THubCommands::HandleSaveSettings() {
  if (ctx_.Control == nullptr) return;
  const std::int64_t errors = ctx_.Stats.Errors;
  // A save that failed without an error line is a failure all the same.
  const bool saved = ctx_.Control->SaveAll();
  session_.Reply(saved && ctx_.Stats.Errors == errors ? K::SaveAllSettingsSuccess
                                                      : K::SaveAllSettingsFailed);
}

void THubCommands::HandleSetRedirect() {
  const TProfile& rights = session_.Sender().Rights();
  const std::string types = RedirectTypesText(rights);
  if (tokens_.Count() < 2) {
    session_.Reply(K::SetRedirectsAvailableTypes,
                   types + " " + ctx_.Language.AndDelimiter() + " all");
    return;
  }
  const std::string& word = tokens_.Get(1);
  // Stored with '|', shown with ';'; a word of separators alone switches off.
  TRedirectItem parsed;
  parsed.SetAddresses(DecodeAddresses(tokens_.Get(2)));
  const std::string addresses = parsed.GetAddresses();
  const std::string shown = parsed.GetAddressesSemicolon();
  const bool enable = parsed.Count() > 0;
  const std::string& nick = session_.Sender().Nick;
  const auto apply = [&](TRedirectItem& item) {
    item.Enabled = enable;
    if (enable) item.SetAddresses(addresses);
  };
  if (SameText(word, "all")) {
    for (const TRedirectType& type : kRedirectTypes)
      if (rights.Has(type.Right)) apply(ctx_.Settings.*type.Item);
    Pages().RedirectsChanged();
    if (enable) {
      session_.Reply(K::SetRedirectsAll, shown, types);
      FeedAction(FormatText(ctx_.Language.Text(K::SetRedirectsFeedAll), nick, shown, types));
    } else {
      session_.Reply(K::SetRedirectsRemoveAll, types);
      FeedAction(FormatText(ctx_.Language.Text(K::SetRedirectsFeedRemoveAll), nick, types));
    }
    return;
  }
  for (const TRedirectType& type : kRedirectTypes) {
    if (!SameText(word, type.Word)) continue;
    if (!rights.Has(type.Right)) {
      session_.Reply(K::ForbiddenCommand);
      return;
    }
    TRedirectItem& item = ctx_.Settings.*type.Item;
    apply(item);
    Pages().RedirectsChanged();
    if (enable) {
      session_.Reply(type.Set, shown);
      FeedAction(FormatText(ctx_.Language.Text(type.Feed), nick, shown));
    } else {
      session_.Reply(type.Remove);
      FeedAction(FormatText(ctx_.Language.Text(type.FeedRemove), nick));
    }
    return;
  }
  // An unknown type word changes nothing and gets no answer.
}

void THubCommands::HandleShowRedirects() {
  std::string text = "\r\n" + session_.Template(K::SetRedirectsShowHeader) + "\r\n ";
  bool first = true;
  for (const TRedirectType& type : kRedirectTypes) {
    const TRedirectItem& item = ctx_.Settings.*type.Item;
    if (!first) text += "\r\n";
    first = false;
    text += FormatText(session_.Template(type.Show),
                       item.Enabled ? item.GetAddressesSemicolon()
                                    : session_.Template(K::SetRedirectsShowDisabled));
  }
  reply_.AppendString(text);
  session_.ReplyBuffer(reply_);
  reply_.Clear(true);
}
