#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "core/commands/command_context.h"
#include "utils/string_list.h"

class THubCommands;
class THubSocket;
class TIntegratedCommands;

// The configurable text commands as the delegator runs them. The default
// knows none.
class TTextCommandRunner {
 public:
  virtual ~TTextCommandRunner() = default;
  // True when a text command took the line whose prefix stands at
  // `position` of `message` (the whole message, final '|' included).
  virtual bool Execute(THubSocket& /*user*/, const TStringList& /*tokens*/, bool /*isPM*/,
                       std::string_view /*message*/, std::size_t /*position*/) {
    return false;
  }
};

// Which source took a line.
enum class TCommandSource : std::uint8_t {
  None = 0,     // no command: ordinary chat
  Hub = 1,      // the operator commands
  Text = 2,     // a text command
  BuiltIn = 3,  // a built-in user command
};

// The prefix sets, as bytes.
bool IsHubCommandPrefix(char c);      // ! # . ? and the section sign
bool IsBuiltInCommandPrefix(char c);  // ! + and the section sign
bool IsTextCommandPrefix(char c);     // +

// The one place where a chat line or a private message to the bot is
// recognised as a command and handed to the operator commands, the text
// commands or the built-in commands. Owns both built command sets and the
// token list they share; does not own the text-command runner. Main
// thread only.
class TCommandDelegator {
 public:
  static constexpr int kMaxWords = 6;

  explicit TCommandDelegator(const TCommandContext& context);
  ~TCommandDelegator();
  TCommandDelegator(const TCommandDelegator&) = delete;
  TCommandDelegator& operator=(const TCommandDelegator&) = delete;

  // `message` is the whole message as received, final '|' included;
  // `position` the index of the text's first byte (the would-be prefix);
  // `isPM` tells a private message to the bot from main chat.
  TCommandSource Delegate(THubSocket& user, std::string_view message, std::size_t position,
                          bool isPM);

  // nullptr: back to the default, which knows no text command. A runner
  // must outlive the delegator or be unset first.
  void SetTextCommands(TTextCommandRunner* runner);

  THubCommands& HubCommands() { return *hub_; }
  TIntegratedCommands& IntegratedCommands() { return *integrated_; }
  const TStringList& Tokens() const { return tokens_; }

 private:
  TStringList tokens_{16};
  std::unique_ptr<THubCommands> hub_;
  std::unique_ptr<TIntegratedCommands> integrated_;
  TTextCommandRunner defaultText_;
  TTextCommandRunner* text_;
};
