#pragma once

#include <string>
#include <string_view>

#include "core/chat_hooks.h"

class THubSocket;

// The road of a private message, "$To: target From: nick $<nick> text|":
// checks, the bot's commands, the scanner, chat rooms, the length cut and
// delivery to the one target. Owns only the message it rebuilds when it
// cuts one. Main thread only.
class TPrivateMessageHandler {
 public:
  // Shorter messages cannot hold the fixed words and two nicks.
  static constexpr std::size_t kMinLength = 20;

  explicit TPrivateMessageHandler(const TChatContext& context) : ctx_(context) {}

  // True when handled or deliberately dropped; false (the connection may be
  // closing) when malformed.
  bool HandlePrivateMessage(THubSocket& user, std::string_view message);

 private:
  // The header and the first `length` bytes of the text, the cut notice, '|'.
  void SendCut(THubSocket& user, THubSocket& to, std::string_view target, std::string_view text,
               std::size_t length);

  TChatContext ctx_;
  std::string cut_;
};
