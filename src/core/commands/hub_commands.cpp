#include "core/commands/hub_commands.h"

#include "core/commands/chat_rooms.h"
#include "utils/protocol_text.h"

#include <exception>

#include "base/exceptions.h"
#include "core/buffer_text.h"
#include "core/commands/kick_user.h"
#include "core/core_hooks.h"
#include "core/hub_socket.h"
#include "core/page_refresh.h"
#include "settings/language.h"
#include "settings/settings.h"

namespace {

// The bot's answers from the fifth prefix-only call in a row on.
constexpr std::string_view kNagTexts[] = {
    "Give it up, well ya??", "Stop bugging me!", "arrrrrghhh!", "I'm ignoring you now!",
    "Still ignoring you!"};
constexpr int kFirstNag = 5;

// Help rows pad the usage to this tab stop.
constexpr int kHelpColumn = 6;

}  // namespace

THubCommands::THubCommands(const TCommandContext& context, const TStringList& tokens)
    : ctx_(context), tokens_(tokens), session_(ctx_, tokens) {
  const std::span<const THubCommandRow> rows = HubCommandRows();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    for (const std::string_view name : rows[i].Names) {
      if (!name.empty()) table_.Add(name, rows[i].Handler, static_cast<std::intptr_t>(i));
    }
  }
}

const THubCommandRow* THubCommands::FindCommand(std::string_view name) const {
  const TTable::TEntry* entry = table_.Find(name);
  return entry == nullptr ? nullptr : &HubCommandRows()[static_cast<std::size_t>(entry->data)];
}

bool THubCommands::HandleMessage(std::size_t position, bool reportUnknown) {
  KAVRO_CHECK(reply_.Empty(), "UHubCommands: the reply buffer was not empty");
  if (tokens_.Count() == 0) return false;
  const std::string& name = tokens_.Get(0);
  try {
    const TTable::TEntry* entry = table_.Find(name);
    session_.SetPosition(position);
    if (entry == nullptr && !reportUnknown) return false;  // maybe another source's
    const THubCommandRow* row =
        entry == nullptr ? nullptr : &HubCommandRows()[static_cast<std::size_t>(entry->data)];
    THubSocket& sender = session_.Sender();
    if (!session_.ReplyByPM)
      session_.Echo(ctx_.Settings.HubCommandsVisability, row == nullptr ? 0 : row->SecretWord);
    if (row != nullptr && row->Handler != &THubCommands::HandlePrefixOnly)
      sender.UserInfo().PrefixNag = 0;
    ShowCommandToSelf();
    if (row == nullptr) {
      session_.Reply(TLanguageKey::UnkownCommand);
      return true;
    }
    if (CheckRight(RightHolds(row->Right, sender.Rights()), row->MinArgs))
      (this->*entry->handler)();
    // A handler must send what it built.
    if (!reply_.Empty())
      throw EHubCommandError("THubCommands.HandleMessage", "NoReset(" + name + ")");
    return true;
  } catch (const std::exception& e) {
    // The next command starts clean whatever this one left.
    reply_.Clear(true);
    rows_.Clear(true);
    ctx_.Hooks.Feed().PostError("THubCommands.HandleMessage(" + name + "(" + e.what() + "))");
    return true;
  }
}

void THubCommands::ShowCommandToSelf() {
  if (session_.ReplyByPM) return;
  if (ctx_.Settings.HubCommandsShowCommandToSelf) {
    std::string line = session_.Template(TLanguageKey::CommandSymbol);
    line += ' ';
    line += session_.Prefix();
    line += session_.Line();
    session_.SendReply(line);
  }
  if (ctx_.Settings.HubCommandsForceToPM) session_.ReplyByPM = true;
}

bool THubCommands::CheckRight(bool allowed, int minArgs) {
  if (!allowed) {
    session_.Reply(TLanguageKey::ForbiddenCommand);
    return false;
  }
  if (tokens_.Count() <= minArgs) {
    session_.Reply(TLanguageKey::ErrorCommand);
    return false;
  }
  return true;
}

void THubCommands::FeedAction(const std::string& text) { ctx_.Hooks.Feed().PostAction(text); }

void THubCommands::AddHelpRow(std::string_view usage, std::string_view description, bool visible) {
  if (!visible) return;
  rows_.AppendString("\r\n");
  std::string text(1, ' ');
  text += session_.Prefix();
  text += usage;
  AppendTabPadded(text, rows_, kHelpColumn);
  rows_.AppendString("-\t");
  rows_.AppendString(description);
}

void THubCommands::EndSection() {
  if (rows_.Empty()) return;
  reply_.AppendString("\r\n");
  reply_.AppendString(rows_.View());
  rows_.Clear(false);
}

void THubCommands::HandlePrefixOnly() {
  int& nag = session_.Sender().UserInfo().PrefixNag;
  ++nag;
  std::string text;
  if (nag >= kFirstNag) {
    const int last = static_cast<int>(std::size(kNagTexts)) - 1;
    text = kNagTexts[std::min(nag - kFirstNag, last)];
  } else {
    text = session_.Template(session_.ReplyByPM ? TLanguageKey::SpawnPM : TLanguageKey::SpawnMC);
  }
  session_.ReplyByPM = true;
  session_.SendReply(text);
}

void THubCommands::HandleKick() {
  KickUser(session_, tokens_.Get(1), session_.RestOfLine(2));
}

void THubCommands::HandleAddChatRoom() {
  if (ctx_.ChatRooms == nullptr) return;
  ctx_.ChatRooms->CreateRoom(ProtocolSafeText(session_.RestOfLine(1)), true, false,
                             session_.Sender());
}

void THubCommands::HandleDeleteChatRoom() {
  // The name as addchatroom stored it, or a room with spaces could not go.
  if (ctx_.ChatRooms != nullptr)
    ctx_.ChatRooms->DeleteRoom(ProtocolSafeText(session_.RestOfLine(1)), session_.Sender());
}

TPageRefresh& THubCommands::Pages() const {
  static TPageRefresh none;
  return ctx_.Pages != nullptr ? *ctx_.Pages : none;
}
