#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class TAccounts;
class TCoreHooks;
class THistoryManager;
class THubSocket;
class TLanguage;
class TNickList;
class TProtocol;
class TProtocolMessage;
class TSettings;
class TStats;

// How the command delegator was reached.
enum class TCommandMode : std::uint8_t { MainChat, PrivateMessage };

// The main-chat scanner's answer for one line.
enum class TScanVerdict : std::uint8_t {
  Accept,
  Refuse,     // the line is dropped
  Kennylize,  // accepted, with the kennylize penalty
  Lunarize,   // accepted, with the lunarize penalty
};

// What the chat, search and connection-request handlers ask of subsystems
// they do not own: the scripts' arrival events, the command delegator, the
// chat rooms, the scanners, the text penalties and the main window's
// search switch. Every default does nothing and lets the message through,
// so the handlers run before (and without) those subsystems. The
// composition root registers the real side.
class TChatHooks {
 public:
  virtual ~TChatHooks() = default;

  // Script events on a whole message; true: a script swallowed it.
  virtual bool ChatArrival(THubSocket& /*user*/, std::string_view /*message*/) { return false; }
  virtual bool ToArrival(THubSocket& /*user*/, std::string_view /*message*/) { return false; }

  // Offers a line to the commands: `message` is the whole message as
  // received (final '|' included), its text starts at `textStart` (after
  // "<nick> "). True: taken.
  virtual bool DelegateCommand(THubSocket& /*user*/, std::string_view /*message*/,
                               std::size_t /*textStart*/, TCommandMode /*mode*/) {
    return false;
  }

  // A private message whose target names a chat room; true: the room took it.
  virtual bool RoomMessage(THubSocket& /*user*/, std::string_view /*room*/,
                           std::string_view /*message*/) {
    return false;
  }

  // The main-chat scanner may change `text` (the line's text after the
  // length cut); a refusal has already told the writer.
  virtual TScanVerdict ScanMainChat(THubSocket& /*user*/, std::string& /*text*/) {
    return TScanVerdict::Accept;
  }
  // True: the scanner refuses the private message to `target` (the writer
  // has had the reason).
  virtual bool RefusePrivateMessage(THubSocket& /*user*/, std::string_view /*target*/,
                                    std::string_view /*text*/) {
    return false;
  }
  // True: the scanner refuses the search; a non-empty `reason` goes back to
  // the searcher as a made-up result.
  virtual bool RefuseSearch(THubSocket& /*user*/, std::string_view /*pattern*/,
                            std::string& /*reason*/) {
    return false;
  }

  // The text penalties' transforms of a main-chat text.
  virtual std::string Kennylize(std::string_view text) { return std::string(text); }
  virtual std::string Lunarize(std::string_view text) { return std::string(text); }

  // An operator announced a kick in main chat; the reason is also kept by
  // the chat handler for the "$Kick" that follows.
  virtual void KickAnnounced(THubSocket& /*user*/, std::string_view /*victim*/,
                             std::string_view /*reason*/) {}

  // The main window's switch: searches go only to users sharing something.
  virtual bool SearchOnlyToSharers() { return false; }
};

// The collaborators of the message handlers; all must outlive them.
struct TChatContext {
  TSettings& Settings;
  TLanguage& Language;
  TNickList& NickList;
  TProtocolMessage& Messages;
  TAccounts& Accounts;
  TProtocol& Protocol;  // flood gates and refusals
  TCoreHooks& Hooks;    // temporary bans and the feed
  TStats& Stats;        // protocol counters and the hub's own address
  THistoryManager& History;
  TChatHooks& Chat;
};
