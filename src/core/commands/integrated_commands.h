#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/commands/command_context.h"
#include "core/commands/command_session.h"
#include "core/write_buffer.h"
#include "utils/hashed_method_list.h"

class THubSocket;
class TStringList;

// The commands every user may type after "!", "+" or "§": firstin,
// showtopic, stats, regme, unregme, history (hy) and kick. Owns its name
// table and a reply buffer; shares the delegator's token list and does not
// own the context's objects. Main thread only.
class TIntegratedCommands {
 public:
  TIntegratedCommands(const TCommandContext& context, const TStringList& tokens);
  TIntegratedCommands(const TIntegratedCommands&) = delete;
  TIntegratedCommands& operator=(const TIntegratedCommands&) = delete;

  // Before each line (see TCommandSession::Begin).
  void SetSender(THubSocket& sender, std::string_view message, bool isPM) {
    session_.Begin(sender, message, isPM);
  }

  // Is token 0 a command this sender may use now? Nothing is done.
  bool IsCommand();
  // Runs token 0 for a line whose prefix stands at `position`: echoes the
  // line, then the handler; false when the name is none of these.
  bool Execute(std::size_t position);

  // Forbidden when `right` is 0, the parameter error when fewer than
  // `needed` words follow the name; true when the command may act.
  bool CheckArguments(std::uint8_t right, int needed);
  TCommandSession& Session() { return session_; }

 private:
  // With `query` true only answers whether the command is available.
  using THandler = bool (*)(TIntegratedCommands& self, bool query);
  // Names to handlers; the data word is the password's word (0: none).
  using TTable = THashedFunctionList<THandler>;

  static bool FirstIn(TIntegratedCommands& self, bool query);
  static bool ShowTopic(TIntegratedCommands& self, bool query);
  static bool Stats(TIntegratedCommands& self, bool query);
  static bool RegMe(TIntegratedCommands& self, bool query);
  static bool UnRegMe(TIntegratedCommands& self, bool query);
  static bool History(TIntegratedCommands& self, bool query);
  static bool Kick(TIntegratedCommands& self, bool query);

  bool MayRegister() const;

  TCommandContext ctx_;
  const TStringList& tokens_;
  TCommandSession session_;
  TWriteBuffer reply_{1};
  TTable table_{32};
};
