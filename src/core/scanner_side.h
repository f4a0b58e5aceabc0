#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "base/date_time.h"
#include "core/chat_hooks.h"
#include "security/word_scanner.h"

class TKennylize;
class TLunarize;
class TMCScanner;
class TProtocolMessage;
class TTmpBanList;

// The scanners and text penalties as the chat handlers meet them: runs the
// scanner on a writer's text and carries out what it decided (the writer's
// notice, the temporary ban, closing). Owns nothing.
class TScannerSide {
 public:
  struct TParts {
    TProtocolMessage& Messages;
    TTmpBanList& TmpBans;
    TMCScanner& MainChat;
    TPMScanner& PrivateMessages;
    TSearchScanner& Searches;
    TLunarize& Lunarize;
    TKennylize& Kennylize;
    std::function<TDateTime()> Now;  // local time
  };

  explicit TScannerSide(TParts parts) : parts_(std::move(parts)) {}

  TScanVerdict ScanMainChat(THubSocket& user, std::string& text);
  bool RefusePrivateMessage(THubSocket& user, std::string_view target, std::string_view text);
  bool RefuseSearch(THubSocket& user, std::string_view pattern, std::string& reason);
  std::string Kennylize(std::string_view text);
  std::string Lunarize(std::string_view text);

 private:
  // Drop (1) closes; kick (2) bans for the temporary ban time and closes.
  void Act(THubSocket& user, int action);

  TParts parts_;
};

// A text sent inside one message: every '|' travels as "&#124;", so it
// never ends the message early.
std::string EscapeMessageBars(std::string_view text);
