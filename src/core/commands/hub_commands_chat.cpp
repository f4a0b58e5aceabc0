#include <algorithm>
#include <cctype>
#include <memory>
#include <vector>
#include <string>
#include <string_view>

#include "core/commands/command_words.h"
#include "core/commands/hub_commands.h"
#include "core/commands/text_commands.h"
#include "core/hub_socket.h"
#include "core/nick_list.h"
#include "core/nicks_in_use.h"
#include "core/page_refresh.h"
#include "core/protocol_message.h"
#include "core/user_info.h"
#include "core/user_stats_side.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/text_format.h"
#include "utils/general.h"

using L = TLanguageKey;
using R = TProfileRight;

// Who hears that a penalty was set or lifted.
enum class TAnnounce { All, AllButTarget };

// One of the three chat penalties: its flag, the level that lifts it, its
// texts and the statistics' undo for a nick that is not online.
struct TChatPenalty {
  R Right;
  bool TUserInfo::*Flag;
  int TUserInfo::*Level;
  TAnnounce OnSet, OnClear;
  L AllUsers, AllUsersFeed, Already, Success, Feed, AccessError, Impossible, NotFound;
  L UnAllUsers, UnAllUsersFeed, UnSuccess, UnFeed, TooStrong, NotSet;
  void (TUserStatsSide::*ClearOffline)(THubSocket&, std::string_view, bool);
};

namespace {


constexpr TChatPenalty kMute{R::MayUseMuteUser, &TUserInfo::Muted, &TUserInfo::MutedLevel,
                         TAnnounce::All, TAnnounce::All,
                         L::MutedAllUsers, L::MutedAllUsersFeed, L::MutedAlreadyMuted,
                         L::MutedSuccess, L::MutedFeed, L::MuteProfileAccessError,
                         L::MuteImpossible, L::MuteUserNotFound,
                         L::UnMutedAllUsers, L::UnMutedAllUsersFeed, L::UnMutedSuccess,
                         L::UnMutedFeed, L::UnMuteTooStrongMute, L::UnMutedNotMuted,
                         &TUserStatsSide::ClearMuted};
constexpr TChatPenalty kKennylize{
    R::MayUseKennylizeUser, &TUserInfo::Kennylized, &TUserInfo::KennylizedLevel,
    TAnnounce::AllButTarget, TAnnounce::AllButTarget,
    L::KennylizedAllUsers, L::KennylizedAllUsersFeed, L::KennylizedAlreadyKennylized,
    L::KennylizedSuccess, L::KennylizedFeed, L::KennylizeProfileAccessError,
    L::KennylizeImpossible, L::KennylizeUserNotFound,
    L::UnKennylizedAllUsers, L::UnKennylizedAllUsersFeed, L::UnKennylizedSuccess,
    L::UnKennylizedFeed, L::UnKennylizeTooStrongKennylize, L::UnKennylizedNotKennylized,
    &TUserStatsSide::ClearKennylized};
constexpr TChatPenalty kLunarize{
    R::MayUseLunarizeUser, &TUserInfo::Lunarized, &TUserInfo::LunarizedLevel,
    TAnnounce::AllButTarget, TAnnounce::All,
    L::LunarizedAllUsers, L::LunarizedAllUsersFeed, L::LunarizedAlreadyLunarized,
    L::LunarizedSuccess, L::LunarizedFeed, L::LunarizedProfileAccessError,
    L::LunarizedImpossible, L::LunarizedUserNotFound,
    L::UnLunarizedAllUsers, L::UnLunarizedAllUsersFeed, L::UnLunarizedSuccess,
    L::UnLunarizedFeed, L::UnLunarizedTooStrongLunarize, L::UnLunarizedNotLunarized,
    &TUserStatsSide::ClearLunarized};

constexpr int kDashes = 105;

}  // namespace

std::string THubCommands::Feed(TLanguageKey key) const { return ctx_.Language.Text(key); }

void THubCommands::Announce(bool allButTarget, const THubSocket& target, const std::string& text) {
  if (allButTarget)
    ctx_.Messages.SendChatToAllExcept(target, text);
  else
    ctx_.Messages.SendChatToAll(text);
}

void THubCommands::SetPenalty(const TChatPenalty& p) {
  THubSocket& sender = session_.Sender();
  const std::uint8_t right = sender.Rights().Right(p.Right);
  const std::string& word = tokens_.Get(1);
  if (word == "*") {
    int counted = 0, done = 0;
    for (int i = ctx_.NickList.GetCount() - 1; i >= 0; --i) {
      THubSocket* user = ctx_.NickList.GetUser(i);
      if (user == nullptr || user == &sender || user->UserInfo().*p.Flag) continue;
      ++counted;
      if (!sender.MayActOnUser(right, *user)) continue;
      user->UserInfo().*p.Flag = true;
      user->UserInfo().*p.Level = 0;
      ++done;
    }
    session_.Reply(p.AllUsers, done, counted);
    if (done > 0) FeedAction(FormatText(Feed(p.AllUsersFeed), sender.Nick, done, counted));
    return;
  }
  THubSocket* target = ctx_.NickList.FindUser(word);
  if (target == nullptr) {
    if (ctx_.NicksInUse.Exists(word))
      session_.Reply(p.Impossible);
    else
      session_.Reply(p.NotFound, word);
    return;
  }
  if (!sender.MayActOnUser(right, *target)) {
    session_.Reply(p.AccessError);
    return;
  }
  TUserInfo& info = target->UserInfo();
  if (info.*p.Flag) {
    session_.Reply(p.Already, target->Nick);
    return;
  }
  info.*p.Flag = true;
  // A lower right leaves the penalty to anyone of the sender's level.
  info.*p.Level = right == 1 ? sender.ProfileLevel() - 1 : sender.ProfileLevel();
  Announce(p.OnSet == TAnnounce::AllButTarget, *target,
           FormatText(Feed(p.Success), target->Nick));
  FeedAction(FormatText(Feed(p.Feed), sender.Nick, target->Nick));
}

void THubCommands::ClearPenalty(const TChatPenalty& p) {
  THubSocket& sender = session_.Sender();
  const std::uint8_t right = sender.Rights().Right(p.Right);
  const std::string& word = tokens_.Get(1);
  if (word == "*") {
    int counted = 0, done = 0;
    for (int i = ctx_.NickList.GetCount() - 1; i >= 0; --i) {
      THubSocket* user = ctx_.NickList.GetUser(i);
      if (user == nullptr || !(user->UserInfo().*p.Flag)) continue;
      ++counted;
      if (!sender.MayActOnUser(right, *user)) continue;
      user->UserInfo().*p.Flag = false;
      user->UserInfo().*p.Level = -1;
      ++done;
    }
    session_.Reply(p.UnAllUsers, done, counted);
    if (done > 0) FeedAction(FormatText(Feed(p.UnAllUsersFeed), sender.Nick, done, counted));
    return;
  }
  THubSocket* target = ctx_.NickList.FindUser(word);
  if (target == nullptr) {
    if (ctx_.NicksInUse.Exists(word)) {
      session_.Reply(p.Impossible);
      return;
    }
    // The stored penalty of a nick that is away; the back end answers.
    TUserStatsSide* stats = ctx_.UserStats ? ctx_.UserStats() : nullptr;
    if (stats != nullptr) (stats->*p.ClearOffline)(sender, word, session_.ReplyByPM);
    return;
  }
  if (!sender.MayActOnUser(right, *target)) {
    session_.Reply(p.AccessError);
    return;
  }
  TUserInfo& info = target->UserInfo();
  if (!(info.*p.Flag)) {
    session_.Reply(p.NotSet, target->Nick);
    return;
  }
  if (!sender.MayActOnLevel(right, info.*p.Level)) {
    session_.Reply(p.TooStrong);
    return;
  }
  info.*p.Flag = false;
  info.*p.Level = -1;
  Announce(p.OnClear == TAnnounce::AllButTarget, *target,
           FormatText(Feed(p.UnSuccess), target->Nick));
  FeedAction(FormatText(Feed(p.UnFeed), sender.Nick, target->Nick));
}

void THubCommands::HandleMute() { SetPenalty(kMute); }
void THubCommands::HandleUnMute() { ClearPenalty(kMute); }
void THubCommands::HandleKennylize() { SetPenalty(kKennylize); }
void THubCommands::HandleUnKennylize() { ClearPenalty(kKennylize); }
void THubCommands::HandleLunarize() { SetPenalty(kLunarize); }
void THubCommands::HandleUnLunarize() { ClearPenalty(kLunarize); }

void THubCommands::HandleSay() {
  THubSocket& sender = session_.Sender();
  const std::uint8_t right = sender.Rights().Right(R::MayUseSay);
  const std::string& word = tokens_.Get(1);
  std::string name = word;
  if (THubSocket* user = ctx_.NickList.FindUser(word)) {
    if (!sender.MayActOnUser(right, *user)) {
      session_.Reply(L::SayProfileAccessError);
      return;
    }
    name = user->Nick;
  } else if (ctx_.NicksInUse.Exists(word)) {
    // The bot and the rooms speak for the hub: only the top level uses them.
    if (!sender.MayActOnLevel(right, 10)) {
      session_.Reply(L::SayImpossible);
      return;
    }
    name = ctx_.NicksInUse.GetRealCase(word);
  } else if (ctx_.Accounts != nullptr) {
    if (const std::shared_ptr<TAccount> account = ctx_.Accounts->Find(word)) {
      const int level = account->Profile == nullptr ? 0 : account->Profile->ProfileLevel;
      if (!sender.MayActOnLevel(right, level)) {
        session_.Reply(L::SayProfileAccessError);
        return;
      }
      name = account->Nick;
    }
  }
  const std::string_view message = RestOfLine(2);
  std::string line = "<" + name + "> ";
  line += message;
  line += '|';
  ctx_.NickList.SendToAll(line);
  FeedAction(FormatText(Feed(L::SayFeedMessage), sender.Nick, name, message));
}

void THubCommands::HandleMainChat() {
  const std::string_view message = RestOfLine(1);
  ctx_.Messages.SendChatToAll(message);
  FeedAction(FormatText(Feed(L::MCFeedMessage), session_.Sender().Nick, message));
}

void THubCommands::HandleWarn() {
  THubSocket& sender = session_.Sender();
  const std::string& word = tokens_.Get(1);
  THubSocket* target = ctx_.NickList.FindUser(word);
  if (target == nullptr) {
    if (ctx_.NicksInUse.Exists(word))
      session_.Reply(L::WarnImpossible);
    else
      session_.Reply(L::WarnUserNotFound, word);
    return;
  }
  if (!sender.MayActOnUser(sender.Rights().Right(R::MayUseWarn), *target)) {
    session_.Reply(L::WarnProfileAccessError);
    return;
  }
  if (tokens_.Count() > 2) {
    const std::string_view reason = RestOfLine(2);
    ctx_.Messages.SendPM(*target, FormatText(Feed(L::WarnMessageReason), reason));
    ctx_.Messages.SendChatToAll(FormatText(Feed(L::WarnMCMessageReason), target->Nick, reason));
  } else {
    ctx_.Messages.SendPM(*target, Feed(L::WarnMessage));
    ctx_.Messages.SendChatToAll(FormatText(Feed(L::WarnMCMessage), target->Nick));
  }
}

void THubCommands::HandleInform() {
  const std::string& word = tokens_.Get(1);
  THubSocket* target = ctx_.NickList.FindUser(word);
  if (target == nullptr) {
    if (ctx_.NicksInUse.Exists(word))
      session_.Reply(L::InformImpossible);
    else
      session_.Reply(L::InformUserNotFound, word);
    return;
  }
  session_.Reply(L::InformUserInformed, target->Nick);
  ctx_.Messages.SendPM(*target, RestOfLine(2));
}

void THubCommands::HandlePMAll() {
  const std::string_view message = RestOfLine(1);
  ctx_.Messages.SendPMToAll(message);
  FeedAction(FormatText(Feed(L::PMFeedMessage), session_.Sender().Nick, message));
}

void THubCommands::HandlePMProfile() {
  const std::string& word = tokens_.Get(1);
  const std::shared_ptr<TProfile> profile =
      ctx_.Profiles == nullptr ? nullptr : ctx_.Profiles->FindAny(word);
  if (profile == nullptr) {
    session_.Reply(L::PMProfileProfileDontExists, std::string(1, session_.Prefix()) + "showprofiles (sp)");
    return;
  }
  THubSocket& sender = session_.Sender();
  if (!sender.MayActOnLevel(sender.Rights().Right(R::MayUsePMProfile), profile->ProfileLevel)) {
    session_.Reply(L::PMProfileProfileAccessError);
    return;
  }
  const std::string_view message = RestOfLine(2);
  ctx_.Messages.SendPMToProfile(*profile, message);
  FeedAction(FormatText(Feed(L::PMProfileFeedMessage), sender.Nick, profile->Name, message));
}

void THubCommands::HandleOperatorPM() {
  const std::string_view message = RestOfLine(1);
  ctx_.Messages.SendPMToOperators(message);
  FeedAction(FormatText(Feed(L::OPMFeedMessage), session_.Sender().Nick, message));
}

TTextCommand* THubCommands::EditableTextCommand(TLanguageKey accessError) {
  TTextCommands* commands = ctx_.TextCommands ? ctx_.TextCommands() : nullptr;
  const std::string& name = tokens_.Get(1);
  TTextCommand* command = commands == nullptr ? nullptr : commands->Find(name);
  if (command == nullptr) {
    session_.Reply(L::TextCommandNotFound, name);
    return nullptr;
  }
  THubSocket& sender = session_.Sender();
  if (!sender.MayActOnLevel(sender.Rights().Right(R::MayAdminTextFiles), command->EditLevel)) {
    session_.Reply(accessError);
    return nullptr;
  }
  return command;
}

void THubCommands::HandleListTextCommands() {
  TTextCommands* commands = ctx_.TextCommands ? ctx_.TextCommands() : nullptr;
  THubSocket& sender = session_.Sender();
  const std::uint8_t right = sender.Rights().Right(R::MayAdminTextFiles);
  const std::string search = tokens_.Count() > 1 ? tokens_.Get(1) : std::string("*");
  const int offset = tokens_.Count() > 2 ? OffsetWord(tokens_.Get(2)) : 0;
  TMatchRange range;
  if (commands != nullptr) range = commands->MatchNames(search);
  // Only what the sender may edit is counted and listed.
  std::vector<const TTextCommand*> rows;
  int total = 0;
  for (int i = range.first; i <= range.last; ++i) {
    const TTextCommand& command = commands->GetItem(i);
    if (!sender.MayActOnLevel(right, command.EditLevel)) continue;
    if (total >= offset && static_cast<int>(rows.size()) < ctx_.Settings.MaxHitsOnSearch)
      rows.push_back(&command);
    ++total;
  }
  const std::string dashes = "\r\n" + std::string(kDashes, '-');
  reply_.AppendString(dashes);
  reply_.AppendString("\r\n\xA6 ");
  session_.Append(reply_, L::ListHeader, static_cast<int>(rows.size()), offset, total);
  reply_.AppendString("\r\n\xA6 ");
  session_.Append(reply_, L::ListSubHeader, search);
  if (!rows.empty()) {
    reply_.AppendString(dashes);
    for (const TTextCommand* command : rows) {
      reply_.AppendString("\r\n\xA6  ");
      reply_.AppendString(command->Name());
    }
  }
  reply_.AppendString(dashes);
  session_.ReplyBuffer(reply_);
  reply_.Clear(false);
}

void THubCommands::HandleEnableTextCommand() {
  TTextCommand* command = EditableTextCommand(L::EnableTextCommandProfileAccessError);
  if (command == nullptr) return;
  std::string state = tokens_.Get(2);
  std::transform(state.begin(), state.end(), state.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (state != "on" && state != "off") {
    session_.Reply(L::EnableTextCommandInvalidParameter);
    return;
  }
  const bool on = state == "on";
  if (command->Enabled == on) {
    session_.Reply(on ? L::EnableTextCommandAlreadyEnabled : L::EnableTextCommandAlreadyDisabled,
                   command->Name());
    return;
  }
  command->Enabled = on;
  Pages().TextCommandChanged(command->Name());
  session_.Reply(on ? L::EnableTextCommandEnabled : L::EnableTextCommandDisabled, command->Name());
  FeedAction(FormatText(Feed(on ? L::EnableTextCommandEnabledFeedMessage
                                : L::EnableTextCommandDisabledFeedMessage),
                        command->Name(), session_.Sender().Nick));
}

void THubCommands::HandleShowTextCommand() {
  const TTextCommand* command = EditableTextCommand(L::ShowTextCommandProfileAccessError);
  if (command == nullptr) return;
  // Already-encoded text stays readable as such; then the protocol's own
  // characters are encoded so the reply cannot break the line.
  std::string content = command->Content;
  ReplaceAll(content, "&#36;", "&amp;#36;");
  ReplaceAll(content, "&#124;", "&amp;#124;");
  ReplaceAll(content, "$", "&#36;");
  ReplaceAll(content, "|", "&#124;");
  session_.Append(reply_, L::ShowTextCommandContent, command->Name());
  reply_.AppendString("\r\n");
  reply_.AppendString(content);
  session_.ReplyBuffer(reply_);
  reply_.Clear(false);
}

void THubCommands::HandleSetTextCommand() {
  TTextCommand* command = EditableTextCommand(L::SetTextCommandProfileAccessError);
  if (command == nullptr) return;
  std::string content(RestOfLine(2));
  ReplaceAll(content, "&#36;", "$");
  ReplaceAll(content, "&#124;", "|");
  ReplaceAll(content, "&amp;#36;", "&#36;");
  ReplaceAll(content, "&amp;#124;", "&#124;");
  if (content.empty() || content.back() != '|') content += '|';
  session_.Reply(L::SetTextCommandContent, command->Name());
  if (content == command->Content) return;
  command->Content = std::move(content);
  Pages().TextCommandChanged(command->Name());
}
