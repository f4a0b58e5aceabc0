#include "core/commands/command_words.h"
#include "core/commands/integrated_commands.h"

#include <string>

#include "core/commands/kick_user.h"
#include "core/history_manager.h"
#include "core/hub_socket.h"
#include "core/hub_stats.h"
#include "security/account.h"
#include "security/profile.h"
#include "security/user_registered.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/constants.h"
#include "utils/string_list.h"

namespace {

using L = TLanguageKey;

}  // namespace

TIntegratedCommands::TIntegratedCommands(const TCommandContext& context,
                                         const TStringList& tokens)
    : ctx_(context), tokens_(tokens), session_(ctx_, tokens) {
  table_.Add("firstin", &FirstIn);
  table_.Add("showtopic", &ShowTopic);
  table_.Add("stats", &Stats);
  table_.Add("regme", &RegMe, 1);
  table_.Add("unregme", &UnRegMe);
  table_.Add("history", &History);
  table_.Add("hy", &History);
  table_.Add("kick", &Kick);
}

bool TIntegratedCommands::IsCommand() {
  const TTable::TEntry* entry = table_.Find(tokens_.Get(0));
  return entry != nullptr && entry->handler(*this, true);
}

bool TIntegratedCommands::Execute(std::size_t position) {
  const TTable::TEntry* entry = table_.Find(tokens_.Get(0));
  if (entry == nullptr) return false;
  session_.SetPosition(position);
  if (!session_.ReplyByPM) {
    session_.Echo(ctx_.Settings.IntegratedCommandsVisability, entry->data);
    if (ctx_.Settings.IntegratedCommandsForceToPM) session_.ReplyByPM = true;
  }
  return entry->handler(*this, false);
}

bool TIntegratedCommands::CheckArguments(std::uint8_t right, int needed) {
  if (right == 0) {
    session_.Reply(L::ForbiddenCommand);
    return false;
  }
  if (tokens_.Count() < needed + 1) {
    session_.Reply(L::ErrorCommand);
    return false;
  }
  return true;
}

bool TIntegratedCommands::FirstIn(TIntegratedCommands& self, bool query) {
  if (!query) self.session_.Reply(L::FirstIn, self.ctx_.Stats.FirstNick);
  return true;
}

bool TIntegratedCommands::ShowTopic(TIntegratedCommands& self, bool query) {
  if (query) return true;
  const std::string& topic = self.ctx_.Settings.Topic();
  if (topic.empty()) self.session_.Reply(L::ShowTopicNone);
  else self.session_.Reply(L::ShowTopic, topic);
  return true;
}

bool TIntegratedCommands::Stats(TIntegratedCommands& self, bool query) {
  if (query) return true;
  const TStats& stats = self.ctx_.Stats;
  TWriteBuffer& out = self.reply_;
  TCommandSession& session = self.session_;
  const std::string product = std::string(kProductName) + " " + std::string(kProgramVersion);
  out.AppendString("\r\n ");
  session.Append(out, L::StatsHub, product);
  out.AppendString("\r\n ");
  session.Append(out, L::StatsUptime, self.ctx_.Uptime ? self.ctx_.Uptime() : std::string());
  out.AppendString("\r\n ");
  session.Append(out, L::StatsUsers, stats.CurrentUsers, stats.PeakUsers);
  out.AppendString("\r\n ");
  session.Append(out, L::StatsAllTimeUsers, stats.AllTimePeakUsers);
  session.ReplyBuffer(out);
  out.Clear(true);
  return true;
}

bool TIntegratedCommands::MayRegister() const {
  return ctx_.Settings.AllowUsersToRegister && ctx_.Registered != nullptr;
}

bool TIntegratedCommands::RegMe(TIntegratedCommands& self, bool query) {
  if (query) return self.MayRegister();
  TCommandSession& session = self.session_;
  if (self.tokens_.Count() != 2) {
    session.Reply(L::UserRegisterMeIncorrectParameter);
    return true;
  }
  const THubSocket& sender = session.Sender();
  TUserRegistered& registered = *self.ctx_.Registered;
  if (sender.Registered && sender.Account && !sender.Account->BuiltIn) {
    session.Reply(L::UserRegisterMeHasAccount);
    return true;
  }
  TUserRegItem* item = registered.Find(sender.Nick) ? nullptr : registered.Add(sender.Nick);
  if (item == nullptr) {
    session.Reply(L::UserRegisterMeAlreadyRegistered);
    return true;
  }
  item->Pass = self.tokens_.Get(1);
  session.Reply(L::UserRegisterMeRegistered, item->Pass);
  return true;
}

bool TIntegratedCommands::UnRegMe(TIntegratedCommands& self, bool query) {
  if (query) return self.MayRegister();
  TCommandSession& session = self.session_;
  if (self.ctx_.Registered->Delete(session.Sender().Nick))
    session.Reply(L::UserUnRegisterMeUnRegistered);
  else
    session.Reply(L::UserUnRegisterMeNotFound);
  return true;
}

bool TIntegratedCommands::History(TIntegratedCommands& self, bool query) {
  if (query) return true;
  TCommandSession& session = self.session_;
  int count = 0;
  if (self.tokens_.Count() > 1) {
    const std::optional<int> parsed = WholeInt(self.tokens_.Get(1));
    if (!parsed) {
      session.Reply(L::HistoryNonIntegerParameter);
      return true;
    }
    count = *parsed;
    if (count == 0) {
      session.Reply(L::HistoryZeroParameter);
      return true;
    }
    if (count < 0) {
      session.Reply(L::HistoryNegativeParameter);
      return true;
    }
  }
  // The lines are what users said: sent as they are.
  const std::string_view answer = self.ctx_.History.BuildHistory(count);
  if (!answer.empty()) session.ReplyData(answer);
  return true;
}

bool TIntegratedCommands::Kick(TIntegratedCommands& self, bool query) {
  THubSocket& sender = self.session_.Sender();
  if (query) return sender.Rights().MayUseHubCommands();
  if (self.CheckArguments(sender.Rights().MayKickUser(), 1))
    KickUser(self.session_, self.tokens_.Get(1), self.session_.RestOfLine(2));
  return true;
}
