#include "core/commands/command_delegator.h"

#include <algorithm>
#include <string>

#include "core/commands/hub_commands.h"
#include "core/commands/integrated_commands.h"
#include "core/hub_socket.h"
#include "security/profile.h"

bool IsHubCommandPrefix(char c) {
  return c == '!' || c == '#' || c == '.' || c == '?' || c == '\xA7';
}

bool IsBuiltInCommandPrefix(char c) { return c == '!' || c == '+' || c == '\xA7'; }

bool IsTextCommandPrefix(char c) { return c == '+'; }

TCommandDelegator::TCommandDelegator(const TCommandContext& context)
    : hub_(std::make_unique<THubCommands>(context, tokens_)),
      integrated_(std::make_unique<TIntegratedCommands>(context, tokens_)),
      text_(&defaultText_) {}

TCommandDelegator::~TCommandDelegator() = default;

void TCommandDelegator::SetTextCommands(TTextCommandRunner* runner) {
  text_ = runner != nullptr ? runner : &defaultText_;
}

TCommandSource TCommandDelegator::Delegate(THubSocket& user, std::string_view message,
                                           std::size_t position, bool isPM) {
  std::string_view line = message;
  if (line.ends_with('|')) line.remove_suffix(1);
  if (position >= line.size()) return TCommandSource::None;
  const char c = line[position];
  if (c == '.' && position + 1 < line.size() && line[position + 1] == '.')
    return TCommandSource::None;

  tokens_.Clear();
  const std::string_view words = line.substr(position + 1);
  std::size_t i = 0;
  while (i < words.size() && tokens_.Count() < kMaxWords) {
    if (words[i] == ' ') {
      ++i;
      continue;
    }
    const std::size_t end = std::min(words.find(' ', i), words.size());
    tokens_.Add(std::string(words.substr(i, end - i)));
    i = end;
  }
  // A prefix with no word after it is ordinary chat.
  if (tokens_.Count() == 0) return TCommandSource::None;

  hub_->SetSender(user, message, isPM);
  integrated_->SetSender(user, message, isPM);
  const bool builtIn = IsBuiltInCommandPrefix(c) && integrated_->IsCommand();
  if (IsHubCommandPrefix(c) && user.Rights().MayUseHubCommands() &&
      hub_->HandleMessage(position, !builtIn)) {
    return TCommandSource::Hub;
  }
  if (IsTextCommandPrefix(c) && text_->Execute(user, tokens_, isPM, message, position))
    return TCommandSource::Text;
  if (builtIn && integrated_->Execute(position)) return TCommandSource::BuiltIn;
  return TCommandSource::None;
}
