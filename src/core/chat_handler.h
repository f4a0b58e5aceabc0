#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/chat_hooks.h"

class THubSocket;
enum class TLanguageKey;

// A main-chat text of the form "{nick} is kicking {victim} because: {reason}".
struct TKickAnnouncement {
  std::string_view Victim;
  std::string_view Reason;  // may be empty
};

// The kick announcement in `text` when `nick` is announcing one.
std::optional<TKickAnnouncement> ParseKickAnnouncement(std::string_view nick,
                                                       std::string_view text);

// The message origin check shared by the chat and private-message roads:
// unless the profile may bypass it, `written` must begin with the sender's
// own nick, byte for byte, followed by `delimiter`. A failure tells the user
// (when `notify`), bans it for a while, counts a kick and marks it closing.
bool CheckMessageOrigin(const TChatContext& ctx, THubSocket& user, std::string_view written,
                        char delimiter, bool notify, TLanguageKey failureText);

// Where the text of "<nick> text" starts in `message`, the '<' being at
// `open`: after the '>' that ends the nick (the sender's own unless
// `anyNick`) and one space. npos when no '>' follows.
std::size_t TextAfterNick(std::string_view message, std::size_t open, const THubSocket& user,
                          bool anyNick);

// A registered user's account remembers when it last spoke.
void NoteLastSpoke(const TChatContext& ctx, THubSocket& user);

// The roads of a main-chat line and of "$MCTo". Owns the line it rebuilds
// when a line is cut or transformed, and the kick reasons announced in main
// chat until the "$Kick" that uses them; nothing else. Main thread only.
class TChatHandler {
 public:
  explicit TChatHandler(const TChatContext& context) : ctx_(context) {}

  // "<nick> text|". True when handled or deliberately dropped.
  bool HandleChat(THubSocket& user, std::string_view message);
  // "$MCTo: target $<nick> text|": a main-chat line only the target sees.
  bool HandleMCTo(THubSocket& user, std::string_view message);

  // The reason `kicker` announced for kicking `victim`; it is used up by
  // this call. None when the last announcement named someone else.
  std::optional<std::string> TakeKickReason(const THubSocket& kicker, std::string_view victim);
  // Drops what is kept for a connection that is going away.
  void Forget(const THubSocket& user);

 private:
  struct TKeptKick {
    std::string Victim;
    std::string Reason;
  };

  // Steps of HandleChat after the arrival checks; true when the line goes on.
  bool MayTalk(THubSocket& user);
  // True when the line must not be broadcast.
  bool HandleKickAnnouncement(THubSocket& user, std::string_view text);
  void Broadcast(THubSocket& user, std::string_view message, std::size_t textStart);

  TChatContext ctx_;
  std::string line_;  // a rebuilt line
  std::string scanned_;  // the text the scanner may change
  std::unordered_map<std::uint64_t, TKeptKick> kicks_;
};
