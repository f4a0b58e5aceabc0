#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/date_time.h"

class THubSocket;
class TLanguage;
class TNickList;
class TProfile;
class TSettings;
class TStats;

// The kinds of feed line; the value is the kind's index everywhere.
enum class TFeedKind : std::uint8_t {
  Action = 0,
  Kick = 1,
  Event = 2,
  Error = 3,
  TextCommand = 4,  // a text command's output; never posted, only broadcast
  GUI = 5,
};

// The chat room that relays the feed as private messages. The default is
// no room: an empty name and no members.
class TFeedRoom {
 public:
  virtual ~TFeedRoom() = default;
  // The room's nick; empty while no feed room is set.
  virtual std::string_view Name() const { return {}; }
  virtual int MemberCount() const { return 0; }
  virtual THubSocket* Member(int /*index*/) const { return nullptr; }
};

// The administration window's feed pane. The default shows nothing.
class TFeedView {
 public:
  virtual ~TFeedView() = default;
  virtual void ShowFeedLine(TFeedKind /*kind*/, std::string_view /*text*/) {}
  virtual void ShowScriptOutput(std::string_view /*text*/) {}
};

// The hub's log and live report to operators. Each posted line goes to the
// window's pane, to users whose client announced "Feed" and whose profile
// may receive that kind ("$Feed" messages), to the feed room's other
// members as private messages from the room, to the day's file under the
// feed folder, and to the sink. Owns a scratch text; does not own its
// collaborators, the room, the view or the users. Nothing here raises to
// its caller: a line that cannot go somewhere is lost there only. Main
// thread only.
class THubFeed {
 public:
  // A line as the file holds it, without the line end; the headless program
  // prints these.
  using TSink = std::function<void(std::string_view line)>;
  // The local wall clock; replaceable for tests.
  using TClock = std::function<TDateTime()>;

  // Creates the feed folder (with its trailing '/') when it is missing.
  THubFeed(TSettings& settings, TLanguage& language, TNickList& users, TStats& stats,
           std::string feedFolder);
  THubFeed(const THubFeed&) = delete;
  THubFeed& operator=(const THubFeed&) = delete;

  // nullptr: back to the defaults (no room, no window). A room or view must
  // outlive the feed or be unset first.
  void SetRoom(TFeedRoom* room);
  void SetView(TFeedView* view);
  void SetSink(TSink sink);
  void SetClock(TClock clock);
  // While the program shuts down, posts are neither shown, counted nor sent:
  // they go to the file and the sink only.
  void SetTerminating(bool terminating) { terminating_ = terminating; }
  bool Terminating() const { return terminating_; }

  void PostAction(std::string_view text) noexcept { Post(TFeedKind::Action, text); }
  void PostKick(std::string_view text) noexcept { Post(TFeedKind::Kick, text); }
  void PostEvent(std::string_view text) noexcept { Post(TFeedKind::Event, text); }
  void PostError(std::string_view text) noexcept { Post(TFeedKind::Error, text); }
  void PostGUI(std::string_view text) noexcept { Post(TFeedKind::GUI, text); }
  // A script's print output: the window and the sink only.
  void ShowScriptOutput(std::string_view text) noexcept;

  // The network part alone: "$Feed" copies and the room's private
  // messages. '|' in the text travels as "&#124;" so a line cannot end the
  // message early or smuggle in a command; '$' is left as it is, since
  // it can only follow the message's own command.
  void Broadcast(std::string_view text, TFeedKind kind) noexcept;
  // Appends the line to the day's file while SaveFeedToDisk is on.
  void WriteFeedFile(std::string_view text, TFeedKind kind) noexcept;

  // The day's file: <folder>feed_YYYYMMDD.txt.
  std::string FeedFileName(TDateTime day) const;
  const std::string& FeedFolder() const { return folder_; }

 private:
  void Post(TFeedKind kind, std::string_view text) noexcept;
  void WriteFileAt(TDateTime now, std::string_view text, TFeedKind kind) noexcept;
  void CountLine(TFeedKind kind);
  void SendFeedCopies(std::string_view text, TFeedKind kind);
  void SendRoomMessages(std::string_view text, TFeedKind kind);
  std::string FileLine(TDateTime now, std::string_view word, std::string_view text) const;
  std::string_view LanguageWord(TFeedKind kind) const;
  TDateTime Now() const;

  TSettings& settings_;
  TLanguage& language_;
  TNickList& users_;
  TStats& stats_;
  std::string folder_;
  TFeedRoom* room_;
  TFeedView* view_ = nullptr;
  TSink sink_;
  TClock clock_;
  bool terminating_ = false;
  std::string scratch_;  // reused for every broadcast
};

// The word a "$Feed" message names its kind by ("Action " ...); "" for the
// text-command output and unknown kinds.
std::string_view FeedMessageWord(TFeedKind kind);

// May a user with this profile receive lines of `kind`? Kind 4 and unknown
// kinds need MayReceiveTextCommandFeed.
bool MayReceiveFeed(const TProfile& profile, TFeedKind kind);

// The text with every '|' as "&#124;"; the rest unchanged, so text that
// already carries the protocol's escapes is not escaped twice.
void AppendFeedWireText(std::string& out, std::string_view text);
