#include "core/commands/text_commands.h"

#include <algorithm>
#include <array>
#include <utility>

#include "core/commands/command_session.h"
#include "core/hub_feed.h"
#include "core/hub_socket.h"
#include "core/hub_stats.h"
#include "core/nick_list.h"
#include "core/protocol_message.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/byte_size.h"
#include "utils/hub_time.h"
#include "utils/string_list.h"
#include "utils/text_format.h"
#include "utils/general.h"

namespace {

constexpr std::uint64_t kMinuteMs = 60000;

struct TSectionMarker {
  std::string_view Open;
  std::string_view Close;
  TTextTarget Target;
};

constexpr std::array<TSectionMarker, 4> kSections{{
    {"<[self]>", "</[self]>", TTextTarget::Self},
    {"<[ops]>", "</[ops]>", TTextTarget::Operators},
    {"<[all]>", "</[all]>", TTextTarget::All},
    {"<[feed]>", "</[feed]>", TTextTarget::Feed},
}};

bool InRange(int value, int min, int max) { return value >= min && value <= max; }

}  // namespace

TTextCommands::TTextCommands(TTextCommandsContext context) : ctx_(std::move(context)) {}

TTextCommands::~TTextCommands() = default;

std::uint64_t TTextCommands::ClockNow() const { return ctx_.Clock ? ctx_.Clock() : TTime::Now(); }

TTextCommand* TTextCommands::Add(std::string_view name) {
  if (name.empty() || Find(name) != nullptr) return nullptr;
  auto command = std::make_unique<TTextCommand>(std::string(name));
  command->LastRun = ClockNow();
  TTextCommand* added = command.get();
  owned_.push_back(std::move(command));
  all_.Add(name, added);
  return added;
}

bool TTextCommands::Delete(std::string_view name) {
  TTextCommand* command = Find(name);
  if (command == nullptr) return false;
  const std::string key = command->name_;
  all_.Remove(key);
  if (command->schedule_ != 0) scheduled_.Remove(key);
  if (command->autorun_ != 0) autorun_.Remove(key);
  std::erase_if(owned_, [command](const auto& held) { return held.get() == command; });
  if (view_ != nullptr) view_->RemoveCommand(key);
  return true;
}

void TTextCommands::ClearCommands() {
  all_.Clear();
  scheduled_.Clear();
  autorun_.Clear();
  owned_.clear();
}

bool TTextCommands::Rename(TTextCommand& command, std::string_view newName) {
  if (newName.empty() || newName == command.name_) return false;
  const TTextCommand* other = Find(newName);
  if (other != nullptr && other != &command) return false;
  const std::string old = command.name_;
  all_.Remove(old);
  all_.Add(newName, &command);
  if (command.autorun_ != 0) {
    autorun_.Remove(old);
    autorun_.Add(newName, &command);
  }
  if (command.schedule_ != 0) {
    scheduled_.Remove(old);
    scheduled_.Add(newName, &command);
  }
  command.name_ = std::string(newName);
  return true;
}

void TTextCommands::SetSchedule(TTextCommand& command, int minutes) {
  minutes = std::max(minutes, 0);  // a negative interval schedules nothing
  if ((command.schedule_ == 0) != (minutes == 0)) {
    if (minutes == 0) scheduled_.Remove(command.name_);
    else scheduled_.Add(command.name_, &command);
  }
  command.schedule_ = minutes;
}

void TTextCommands::SetAutorun(TTextCommand& command, int autorun) {
  if ((command.autorun_ == 0) != (autorun == 0)) {
    if (autorun == 0) autorun_.Remove(command.name_);
    else autorun_.Add(command.name_, &command);
  }
  command.autorun_ = autorun;
}

bool TTextCommands::Execute(THubSocket& user, const TStringList& tokens, bool isPM,
                            std::string_view message, std::size_t position) {
  if (tokens.Count() == 0 || position >= message.size()) return false;
  TTextCommand* command = Find(tokens.Get(0));
  if (command == nullptr || !command->Enabled) return false;
  if (!InRange(user.ProfileLevel(), command->AccessMinLevel, command->AccessMaxLevel))
    return false;
  if (user.UserInfo().Muted && !command->OverrideMuted) return false;

  if (!isPM) {
    switch (static_cast<TCommandVisibility>(command->MainchatCommandVisibility)) {
      case TCommandVisibility::Writer:
        user.WriteBuffer().AppendString(message);
        break;
      case TCommandVisibility::Operators:
        ctx_.NickList.SendToOperators(message);
        break;
      case TCommandVisibility::OperatorsAndWriter:
        ctx_.NickList.SendToOperators(message);
        if (!user.IsOperator()) user.WriteBuffer().AppendString(message);
        break;
      case TCommandVisibility::Everyone:
        ctx_.NickList.SendToAll(message);
        break;
      default:
        break;
    }
  }
  std::string_view line = message.substr(position + 1);
  if (line.ends_with('|')) line.remove_suffix(1);
  const TCall call{line};
  Run(*command, &user, isPM, &call);
  return true;
}

void TTextCommands::Run(TTextCommand& command, THubSocket* user, bool isPM, const TCall* call) {
  // Counted on the line itself: the delegator's token list stops at a few
  // words, which would make longer commands uncallable.
  if (call != nullptr && command.Parameters > 0 &&
      FindWord(call->Line, command.Parameters).Begin == std::string_view::npos) {
    if (user != nullptr) {
      ctx_.Messages.SendChat(*user, FormatText(ctx_.Language.Text(TLanguageKey::IncorrectParamterCount),
                                               command.Parameters));
    }
    return;
  }

  // Sections are cut from the stored text before anything is filled in, so
  // neither a caller's words nor a placeholder's value can open one.
  std::string rest = command.Content;
  for (const TSectionMarker& marker : kSections) {
    std::size_t open;
    while ((open = rest.find(marker.Open)) != std::string::npos) {
      const std::size_t start = open + marker.Open.size();
      const std::size_t close = rest.find(marker.Close, start);
      const std::size_t end = close == std::string::npos ? rest.size() : close + marker.Close.size();
      const std::string section =
          rest.substr(start, close == std::string::npos ? std::string::npos : close - start);
      rest.erase(open, end - open);
      Deliver(Expand(section, user, command, call), marker.Target, command.MessageType, user, isPM,
              command);
    }
  }
  Deliver(Expand(rest, user, command, call), static_cast<TTextTarget>(command.BroadCast),
          command.MessageType, user, isPM, command);
}

std::string TTextCommands::Expand(std::string_view piece, THubSocket* user,
                                  const TTextCommand& command, const TCall* call) const {
  std::string text(piece);
  if (text.find('<') == std::string::npos) return text;
  if (user != nullptr) {
    ReplaceAll(text, "<nick>", user->Nick);
    ReplaceAll(text, "<ip>", user->IP);
    ReplaceAll(text, "<dns>", user->DNSName);
  }
  const TSettings& settings = ctx_.Settings;
  ReplaceAll(text, "<botname>", settings.BotName());
  ReplaceAll(text, "<hubname>", settings.HubName());
  ReplaceAll(text, "<hubaddress>", settings.HubAddress);
  ReplaceAll(text, "<hubdescription>", settings.HubDescription);
  ReplaceAll(text, "<hubtopic>", settings.Topic());
  if (text.find("<time>") != std::string::npos || text.find("<date>") != std::string::npos) {
    const TDateTime now = ctx_.Now ? ctx_.Now() : TDateTime{};
    ReplaceAll(text, "<time>", FormatTime(now));
    ReplaceAll(text, "<date>", FormatDate(now));
  }
  const TStats& stats = ctx_.Stats;
  ReplaceAll(text, "<users>", std::to_string(ctx_.NickList.GetCount()));
  ReplaceAll(text, "<share>", FormatByteSize(stats.CurrentSharesize));
  if (text.find("<uptime>") != std::string::npos)
    ReplaceAll(text, "<uptime>", ctx_.Uptime ? ctx_.Uptime() : std::string());
  ReplaceAll(text, "<userpeak>", std::to_string(stats.PeakUsers));
  ReplaceAll(text, "<userpeakrecord>", std::to_string(stats.AllTimePeakUsers));
  ReplaceAll(text, "<uptimepeak>", TTime::FormatDuration(stats.UptimePeak));
  ReplaceAll(text, "<sharepeak>", FormatByteSize(stats.PeakSharesize));

  if (call == nullptr || command.Parameters <= 0) return text;
  // One pass, so a caller's word that reads "<parm2>" stays as typed.
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t at = text.find("<parm", i);
    if (at == std::string::npos) break;
    out.append(text, i, at - i);
    std::size_t j = at + 5;
    int k = 0;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9' && k <= command.Parameters) {
      k = k * 10 + (text[j] - '0');
      ++j;
    }
    if (j > at + 5 && j < text.size() && text[j] == '>' && k >= 1 && k <= command.Parameters) {
      const TWordSpan word = FindWord(call->Line, k);
      if (word.Begin != std::string_view::npos) {
        out.append(k < command.Parameters ? call->Line.substr(word.Begin, word.End - word.Begin)
                                          : call->Line.substr(word.Begin));
      }
      i = j + 1;
    } else {
      out.append(text, at, 5);
      i = at + 5;
    }
  }
  out.append(text, i, std::string::npos);
  return out;
}

void TTextCommands::SendSelf(THubSocket& user, std::string_view text, bool pm) {
  // Before the nick is known a private message would go to nobody.
  if (pm && !user.Nick.empty()) ctx_.Messages.SendPM(user, text);
  else ctx_.Messages.SendChat(user, text);
}

std::string TTextCommands::RandomPart(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t i = 0;
  while (i <= text.size()) {
    const std::size_t end = std::min(text.find('|', i), text.size());
    if (end > i) parts.push_back(text.substr(i, end - i));
    i = end + 1;
  }
  if (parts.empty()) return {};
  std::uniform_int_distribution<std::size_t> pick(0, parts.size() - 1);
  return std::string(parts[pick(random_)]);
}

void TTextCommands::Deliver(std::string_view text, TTextTarget target, int form, THubSocket* user,
                            bool isPM, const TTextCommand& command) {
  if (text.empty()) return;
  const auto kind = static_cast<TTextForm>(form);
  switch (target) {
    case TTextTarget::Self: {
      if (user == nullptr) return;
      switch (kind) {
        case TTextForm::AsCalled: SendSelf(*user, text, isPM); break;
        case TTextForm::PM: SendSelf(*user, text, true); break;
        case TTextForm::MainChat: SendSelf(*user, text, false); break;
        case TTextForm::Raw: user->WriteBuffer().AppendString(text); break;
        case TTextForm::Random: {
          const std::string part = RandomPart(text);
          if (!part.empty()) SendSelf(*user, part, isPM);
          break;
        }
      }
      return;
    }
    case TTextTarget::Operators:
    case TTextTarget::All: {
      switch (kind) {
        case TTextForm::AsCalled: SendToReceivers(text, isPM, false, target, command); break;
        case TTextForm::PM: SendToReceivers(text, true, false, target, command); break;
        case TTextForm::MainChat: SendToReceivers(text, false, false, target, command); break;
        case TTextForm::Raw: SendToReceivers(text, false, true, target, command); break;
        case TTextForm::Random: {
          const std::string part = RandomPart(text);
          if (!part.empty()) SendToReceivers(part, false, false, target, command);
          break;
        }
      }
      return;
    }
    case TTextTarget::Feed:
      if (ctx_.Feed != nullptr && ctx_.FeedRoomExists && ctx_.FeedRoomExists())
        ctx_.Feed->Broadcast(text, TFeedKind::TextCommand);
      return;
  }
}

void TTextCommands::SendToReceivers(std::string_view text, bool pm, bool raw, TTextTarget target,
                                    const TTextCommand& command) {
  // Built once for every receiver.
  std::string data;
  if (raw) {
    data = text;
  } else {
    if (pm) {
      data = " From: ";
      data += ctx_.Settings.BotName();
      data += " $";
    }
    data += ctx_.Settings.BotChatPrefix();
    data += text;
    data += '|';
  }
  const bool operators = target == TTextTarget::Operators;
  const int count = operators ? ctx_.NickList.OperatorCount() : ctx_.NickList.GetCount();
  for (int i = count - 1; i >= 0; --i) {
    THubSocket* user = operators ? ctx_.NickList.GetOperator(i) : ctx_.NickList.GetUser(i);
    if (user == nullptr || user->LifeState != lsInitialised) continue;
    if (!InRange(user->ProfileLevel(), command.ShowMinLevel, command.ShowMaxLevel)) continue;
    TWriteBuffer& out = user->WriteBuffer();
    if (pm && !raw) {
      out.AppendString("$To: ");
      out.AppendString(user->Nick);
    }
    out.AppendString(data);
  }
}

void TTextCommands::RunOnConnect(THubSocket& user) {
  for (int i = 0; i < autorun_.Count(); ++i) {
    TTextCommand& command = *autorun_.GetObject(i);
    // No account yet: levels are not checked.
    if (command.Enabled && command.autorun_ == 1) Run(command, &user, false, nullptr);
  }
}

void TTextCommands::RunOnLogin(THubSocket& user) {
  for (int i = 0; i < autorun_.Count(); ++i) {
    TTextCommand& command = *autorun_.GetObject(i);
    if (command.Enabled && command.autorun_ == 2 &&
        InRange(user.ProfileLevel(), command.AccessMinLevel, command.AccessMaxLevel)) {
      Run(command, &user, false, nullptr);
    }
  }
}

void TTextCommands::RunScheduled() {
  const std::uint64_t now = ClockNow();
  for (int i = 0; i < scheduled_.Count(); ++i) {
    TTextCommand& command = *scheduled_.GetObject(i);
    if (!command.Enabled || command.BroadCast == 0) continue;
    const std::uint64_t due =
        command.LastRun + static_cast<std::uint64_t>(command.schedule_) * kMinuteMs;
    if (due > now) continue;
    command.LastRun = now;
    Run(command, nullptr, true, nullptr);
  }
}

void TTextCommands::WarnOnConnectRegOnly() {
  if (!ctx_.Settings.RegOnlyHub || !ctx_.ReportGUI) return;
  for (int i = 0; i < autorun_.Count(); ++i) {
    const TTextCommand& command = *autorun_.GetObject(i);
    if (command.Enabled && command.autorun_ == 1) {
      ctx_.ReportGUI("Warning! TextCommand: [" + command.name_ +
                     "] is sended in OnConnect but hub is for reg only users!");
    }
  }
}
