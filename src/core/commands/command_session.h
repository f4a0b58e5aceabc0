#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/commands/command_context.h"
#include "utils/text_format.h"

class THubSocket;
class TStringList;
class TWriteBuffer;
enum class TCommandVisibility : int;
enum class TLanguageKey;

// Where word `n` (0-based; runs of spaces separate words) of `line` starts
// and ends; npos for both when the line has fewer words.
struct TWordSpan {
  std::size_t Begin = std::string_view::npos;
  std::size_t End = std::string_view::npos;  // one past the last byte
};
TWordSpan FindWord(std::string_view line, int n);

// The whole message with word `secretWord` of the command (word 0 is the
// name after the prefix at `position`) shown as "****"; the message itself
// when there is no such word or `secretWord` is 0.
std::string MaskSecretWord(std::string_view message, std::size_t position, int secretWord);

// One command line in hand: who sent it, the message as received, where
// its prefix stands and how replies go back. The operator and the built-in
// command sets keep one each. Owns nothing; the message and the sender are
// valid only during one line. Main thread only.
class TCommandSession {
 public:
  TCommandSession(const TCommandContext& context, const TStringList& tokens)
      : ctx_(context), tokens_(tokens) {}

  // Before each line: the sender, the whole message with its final '|',
  // and whether it came as a private message to the bot.
  void Begin(THubSocket& sender, std::string_view message, bool isPM);
  // The prefix's index in the message.
  void SetPosition(std::size_t position);

  const TCommandContext& Context() const { return ctx_; }
  THubSocket& Sender() const { return *sender_; }
  const TStringList& Tokens() const { return tokens_; }
  std::string_view Message() const { return message_; }
  char Prefix() const { return prefix_; }
  bool CameByPM() const { return cameByPM_; }
  // The command line after the prefix, without the final '|'.
  std::string_view Line() const;
  // The line from the start of word `n` (word 0 is the command name) to its
  // end: reasons and messages may hold any number of words.
  std::string_view RestOfLine(int n) const;

  // Replies go to the sender as bot private messages while set, else as
  // bot main-chat lines.
  bool ReplyByPM = false;

  // A language text with every '$' made the prefix the user typed, so
  // "$help" reads as the help command he would type. Only the text's own
  // '$' change: it is filled after this.
  std::string Template(TLanguageKey key) const;

  template <typename... Args>
  void Reply(TLanguageKey key, const Args&... args) {
    SendReply(FormatText(Template(key), args...));
  }
  template <typename... Args>
  void Append(TWriteBuffer& out, TLanguageKey key, const Args&... args) const {
    AppendText(out, FormatText(Template(key), args...));
  }
  // Sends `text` as it is.
  void SendReply(std::string_view text);
  // Sends the bytes of a reply built in `buffer` (or elsewhere) as they are:
  // each text was made from its template when it was appended.
  void ReplyBuffer(const TWriteBuffer& buffer);
  void ReplyData(std::string_view data);

  // Copies the message as received to whom `visibility` names; a password
  // (word `secretWord`, 0: none) shows as "****" in every copy.
  void Echo(TCommandVisibility visibility, int secretWord);

 private:
  static void AppendText(TWriteBuffer& out, std::string_view text);

  const TCommandContext& ctx_;
  const TStringList& tokens_;
  THubSocket* sender_ = nullptr;
  std::string_view message_;
  std::size_t position_ = 0;
  char prefix_ = 0;
  bool cameByPM_ = false;
};
