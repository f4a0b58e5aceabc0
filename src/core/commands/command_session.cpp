#include "core/commands/command_session.h"

#include <algorithm>

#include "core/hub_socket.h"
#include "core/nick_list.h"
#include "core/protocol_message.h"
#include "core/write_buffer.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/string_list.h"

namespace {

constexpr std::string_view kHiddenWord = "****";

}  // namespace

TWordSpan FindWord(std::string_view line, int n) {
  if (n < 0) return {};
  std::size_t i = 0;
  for (int word = 0;; ++word) {
    while (i < line.size() && line[i] == ' ') ++i;
    if (i >= line.size()) return {};
    const std::size_t begin = i;
    while (i < line.size() && line[i] != ' ') ++i;
    if (word == n) return {begin, i};
  }
}

std::string MaskSecretWord(std::string_view message, std::size_t position, int secretWord) {
  if (secretWord <= 0 || position >= message.size()) return std::string(message);
  std::string_view line = message.substr(position + 1);
  if (line.ends_with('|')) line.remove_suffix(1);
  const TWordSpan word = FindWord(line, secretWord);
  if (word.Begin == std::string_view::npos) return std::string(message);
  const std::size_t begin = position + 1 + word.Begin;
  const std::size_t end = position + 1 + word.End;
  std::string masked;
  masked.reserve(message.size() + kHiddenWord.size());
  masked.append(message.substr(0, begin));
  masked.append(kHiddenWord);
  masked.append(message.substr(end));
  return masked;
}

void TCommandSession::Begin(THubSocket& sender, std::string_view message, bool isPM) {
  sender_ = &sender;
  message_ = message;
  cameByPM_ = isPM;
  ReplyByPM = isPM;
  position_ = 0;
  prefix_ = '\0';
}

void TCommandSession::SetPosition(std::size_t position) {
  position_ = std::min(position, message_.size());
  prefix_ = position_ < message_.size() ? message_[position_] : '\0';
}

std::string_view TCommandSession::Line() const {
  if (position_ + 1 >= message_.size()) return {};
  std::string_view line = message_.substr(position_ + 1);
  if (line.ends_with('|')) line.remove_suffix(1);
  return line;
}

std::string_view TCommandSession::RestOfLine(int n) const {
  const std::string_view line = Line();
  const TWordSpan word = FindWord(line, n);
  if (word.Begin == std::string_view::npos) return {};
  return line.substr(word.Begin);
}

std::string TCommandSession::Template(TLanguageKey key) const {
  std::string text = ctx_.Language.Text(key);
  std::replace(text.begin(), text.end(), '$', prefix_);
  return text;
}

void TCommandSession::SendReply(std::string_view text) {
  if (ReplyByPM) ctx_.Messages.SendPM(*sender_, text);
  else ctx_.Messages.SendChat(*sender_, text);
}

void TCommandSession::ReplyBuffer(const TWriteBuffer& buffer) { ReplyData(buffer.View()); }

void TCommandSession::ReplyData(std::string_view data) {
  if (ReplyByPM) ctx_.Messages.SendPMData(*sender_, data);
  else ctx_.Messages.SendChatData(*sender_, data);
}

void TCommandSession::AppendText(TWriteBuffer& out, std::string_view text) {
  out.AppendString(text);
}

void TCommandSession::Echo(TCommandVisibility visibility, int secretWord) {
  const std::string copy = MaskSecretWord(message_, position_, secretWord);
  THubSocket& sender = *sender_;
  switch (visibility) {
    case TCommandVisibility::Writer:
      sender.WriteBuffer().AppendString(copy);
      break;
    case TCommandVisibility::Operators:
      ctx_.NickList.SendToOperators(copy);
      break;
    case TCommandVisibility::OperatorsAndWriter:
      ctx_.NickList.SendToOperators(copy);
      if (!sender.IsOperator()) sender.WriteBuffer().AppendString(copy);
      break;
    case TCommandVisibility::Everyone:
      ctx_.NickList.SendToAll(copy);
      break;
    default:
      break;
  }
}
