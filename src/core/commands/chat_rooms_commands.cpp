// The commands members type into a room's window: help, list, join, leave,
// invite and kick. Every answer is a private message from the room.

#include <algorithm>
#include <string>

#include "core/commands/command_words.h"
#include "core/commands/chat_rooms.h"
#include "core/hub_socket.h"
#include "core/nicks_in_use.h"
#include "security/profile.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "base/case_tables.h"
#include "utils/text_format.h"

namespace {

using L = TLanguageKey;

constexpr std::string_view kPrefix = "+";

}  // namespace

bool TChatRooms::RunRoomCommand(TChatRoom& room, THubSocket& user,
                                const std::vector<std::string>& words) {
  const std::string& word = words[0];
  if (SameText(word, "h") || SameText(word, "help")) Help(room, user);
  else if (SameText(word, "list")) List(room, user, words);
  else if (SameText(word, "join")) Join(room, user);
  else if (SameText(word, "leave")) Leave(room, user);
  else if (SameText(word, "invite")) Invite(room, user, words);
  else if (SameText(word, "kick")) Kick(room, user, words);
  else return false;
  return true;
}

void TChatRooms::Help(TChatRoom& room, THubSocket& user) {
  const TLanguage& lang = ctx_.Language;
  const TProfile& profile = user.Rights();
  const bool member = room.IsMember(user);
  const bool admin = room.IsAdmin(profile);
  const std::string prefix(kPrefix);
  std::string text = "\r\n" + lang.Text(L::CommandHelpHeader) + "\r\n";
  text += FormatText(lang.Text(L::CommandHelpHelp), prefix + "help (h)") + "\r\n";
  if (member || admin) text += FormatText(lang.Text(L::CommandHelpList), prefix + "list") + "\r\n";
  if (!room.Locked) {
    if (!member && room.MayJoin(profile))
      text += FormatText(lang.Text(L::CommandHelpJoin), prefix + "join") + "\r\n";
    if (member) text += FormatText(lang.Text(L::CommandHelpLeave), prefix + "leave") + "\r\n";
    if (admin) {
      text += FormatText(lang.Text(L::CommandHelpInvite), prefix + "invite") + "\r\n";
      text += FormatText(lang.Text(L::CommandHelpKick), prefix + "kick") + "\r\n";
    }
  }
  Answer(room, user, text);
}

void TChatRooms::List(TChatRoom& room, THubSocket& user, const std::vector<std::string>& words) {
  // Who does not see the room learns nothing of its members.
  if (!room.Concerns(user)) return;
  TMatchRange range{0, room.MemberCount() - 1};
  if (words.size() > 1) {
    range = room.MatchMembers(words[1]);
    if (range.last < range.first && room.MemberCount() > 0) {
      Answer(room, user, FormatText(ctx_.Language.Text(L::CommandListNoUserFound), words[1]));
      return;
    }
  }
  const int offset = words.size() > 2 ? WholeInt(words[2]).value_or(0) : 0;
  const int total = std::max(0, range.last - range.first + 1);
  const int shown = std::min(std::max(0, total - offset), ctx_.Settings.MaxHitsOnSearch);
  std::string text =
      "\r\n" + FormatText(ctx_.Language.Text(L::CommandListHeader), shown, offset, total) + "\r\n";
  for (int i = 0; i < shown; ++i) {
    text += room.Member(range.first + offset + i)->Nick;
    text += "\r\n";
  }
  Answer(room, user, text);
}

void TChatRooms::Join(TChatRoom& room, THubSocket& user) {
  if (!room.MayJoin(user.Rights()) || room.IsMember(user)) return;
  room.AddMember(user);
  std::string text = room.WelcomeMessage;
  if (text.empty()) {
    text = FormatText(ctx_.Language.Text(L::CommandJoinNewUser), user.Nick,
                      std::string(kPrefix) + "help");
  } else {
    const auto replace = [&text](std::string_view what, std::string_view with) {
      std::size_t at = 0;
      while ((at = text.find(what, at)) != std::string::npos) {
        text.replace(at, what.size(), with);
        at += with.size();
      }
    };
    replace("<nick>", user.Nick);
    replace("<profile>", user.Rights().Name);
    replace("<ip>", user.IP);
    replace("<dns>", user.DNSName);
  }
  Answer(room, user, text);
}

void TChatRooms::Leave(TChatRoom& room, THubSocket& user) {
  if (room.Locked || !room.IsMember(user)) return;
  Answer(room, user, FormatText(ctx_.Language.Text(L::CommandLeave), user.Nick));
  room.RemoveMember(user);
}

void TChatRooms::Invite(TChatRoom& room, THubSocket& user, const std::vector<std::string>& words) {
  if (room.Locked || !room.IsAdmin(user.Rights())) return;
  const TLanguage& lang = ctx_.Language;
  if (words.size() < 2) {
    Answer(room, user, lang.Text(L::CommandInviteNickMissing));
    return;
  }
  const std::string& nick = words[1];
  THubSocket* target = ctx_.NickList.FindUser(nick);
  if (target == nullptr || target->LifeState != lsInitialised) {
    Answer(room, user,
           FormatText(lang.Text(ctx_.NicksInUse.Exists(nick) ? L::CommandInviteNonUser
                                                              : L::CommandInviteUserNotFound),
                      nick));
    return;
  }
  if (room.IsMember(*target)) {
    Answer(room, user, FormatText(lang.Text(L::CommandInviteAlreadyInvited), nick));
    return;
  }
  room.AddMember(*target);
  Answer(room, user, FormatText(lang.Text(L::CommandInviteSuccess), target->Nick));
  Answer(room, *target, FormatText(lang.Text(L::CommandInviteTellTheUser), user.Nick));
}

void TChatRooms::Kick(TChatRoom& room, THubSocket& user, const std::vector<std::string>& words) {
  if (room.Locked || !room.IsAdmin(user.Rights())) return;
  const TLanguage& lang = ctx_.Language;
  if (words.size() < 2) {
    Answer(room, user, lang.Text(L::CommandKickNickMissing));
    return;
  }
  THubSocket* target = ctx_.NickList.FindUser(words[1]);
  if (target == nullptr || !room.IsMember(*target)) {
    Answer(room, user, lang.Text(L::CommandKickNickNotFound));
    return;
  }
  if (user.ProfileLevel() < target->ProfileLevel()) {
    Answer(room, user, lang.Text(L::CommandKickNotPossible));
    return;
  }
  std::string reason;
  for (std::size_t i = 2; i < words.size(); ++i) {
    if (!reason.empty()) reason += ' ';
    reason += words[i];
  }
  Answer(room, user, FormatText(lang.Text(L::CommandKickSuccess), target->Nick));
  if (reason.empty()) {
    Answer(room, *target, FormatText(lang.Text(L::CommandKickTellTheUser), user.Nick));
  } else {
    Answer(room, *target,
           FormatText(lang.Text(L::CommandKickTellTheUserWithReason), user.Nick, reason));
  }
  room.RemoveMember(*target);
}
