#include "core/hub_feed.h"

#include <utility>

#include "core/hub_socket.h"
#include "core/hub_stats.h"
#include "core/nick_list.h"
#include "platform/append_file.h"
#include "platform/file_io.h"
#include "platform/local_clock.h"
#include "security/profile.h"
#include "settings/language.h"
#include "settings/settings.h"

namespace {

// The default room: none.
TFeedRoom& NoRoom() {
  static TFeedRoom none;
  return none;
}

void AppendDigits(std::string& out, int value, int width) {
  std::string digits = std::to_string(value < 0 ? 0 : value);
  if (static_cast<int>(digits.size()) < width)
    out.append(static_cast<std::size_t>(width) - digits.size(), '0');
  out += digits;
}

}  // namespace

std::string_view FeedMessageWord(TFeedKind kind) {
  switch (kind) {
    case TFeedKind::Action: return "Action ";
    case TFeedKind::Kick: return "Kick ";
    case TFeedKind::Event: return "Event ";
    case TFeedKind::Error: return "Error ";
    case TFeedKind::GUI: return "GUI ";
    case TFeedKind::TextCommand: break;
  }
  return {};
}

bool MayReceiveFeed(const TProfile& profile, TFeedKind kind) {
  switch (kind) {
    case TFeedKind::Action: return profile.MayReceiveActionFeed();
    case TFeedKind::Kick: return profile.MayReceiveKickFeed();
    case TFeedKind::Event: return profile.MayReceiveEventFeed();
    case TFeedKind::Error: return profile.MayReceiveErrorFeed();
    case TFeedKind::GUI: return profile.MayReceiveGUIFeed();
    case TFeedKind::TextCommand: break;
  }
  return profile.MayReceiveTextCommandFeed();
}

void AppendFeedWireText(std::string& out, std::string_view text) {
  for (std::size_t start = 0;;) {
    const std::size_t bar = text.find('|', start);
    out.append(text.substr(start, bar - start));
    if (bar == std::string_view::npos) return;
    out += "&#124;";
    start = bar + 1;
  }
}

THubFeed::THubFeed(TSettings& settings, TLanguage& language, TNickList& users, TStats& stats,
                   std::string feedFolder)
    : settings_(settings),
      language_(language),
      users_(users),
      stats_(stats),
      folder_(std::move(feedFolder)),
      room_(&NoRoom()) {
  if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
  // A folder that cannot be made now costs the file lines only.
  if (!folder_.empty()) CreateDirectories(folder_);
}

void THubFeed::SetRoom(TFeedRoom* room) { room_ = room != nullptr ? room : &NoRoom(); }

void THubFeed::SetView(TFeedView* view) { view_ = view; }

void THubFeed::SetSink(TSink sink) { sink_ = std::move(sink); }

void THubFeed::SetClock(TClock clock) { clock_ = std::move(clock); }

TDateTime THubFeed::Now() const { return clock_ ? clock_() : NowLocal(); }

std::string_view THubFeed::LanguageWord(TFeedKind kind) const {
  switch (kind) {
    case TFeedKind::Action: return language_.Text(TLanguageKey::ActionFeed);
    case TFeedKind::Kick: return language_.Text(TLanguageKey::KickFeed);
    case TFeedKind::Event: return language_.Text(TLanguageKey::EventFeed);
    case TFeedKind::Error: return language_.Text(TLanguageKey::ErrorFeed);
    case TFeedKind::GUI: return language_.Text(TLanguageKey::GUIFeed);
    case TFeedKind::TextCommand: break;
  }
  return {};
}

void THubFeed::Post(TFeedKind kind, std::string_view text) noexcept {
  if (kind == TFeedKind::Error) ++stats_.Errors;
  if (!terminating_) {
    try {
      if (view_ != nullptr) view_->ShowFeedLine(kind, text);
    } catch (...) {
      // The window's trouble must not cost the other places their line.
    }
    CountLine(kind);
    Broadcast(text, kind);
  }
  TDateTime now{};
  try {
    now = Now();
  } catch (...) {
    // A clock that fails leaves the epoch; the line still goes out.
  }
  WriteFileAt(now, text, kind);
  if (sink_) {
    try {
      sink_(FileLine(now, LanguageWord(kind), text));
    } catch (...) {
      // Standard output gone: nothing else to tell.
    }
  }
}

void THubFeed::ShowScriptOutput(std::string_view text) noexcept {
  try {
    if (view_ != nullptr && !terminating_) view_->ShowScriptOutput(text);
  } catch (...) {
  }
  if (sink_) {
    try {
      std::string line = "[" + FormatDateTime(Now()) + "] ";
      line += text;
      sink_(line);
    } catch (...) {
    }
  }
}

void THubFeed::CountLine(TFeedKind kind) {
  switch (kind) {
    case TFeedKind::Action: ++stats_.ActionFeed; break;
    case TFeedKind::Kick: ++stats_.KickFeed; break;
    case TFeedKind::Event: ++stats_.EventFeed; break;
    case TFeedKind::Error: ++stats_.ErrorFeed; break;
    case TFeedKind::GUI: ++stats_.GUIFeed; break;
    case TFeedKind::TextCommand: break;
  }
}

void THubFeed::Broadcast(std::string_view text, TFeedKind kind) noexcept {
  try {
    SendFeedCopies(text, kind);
    SendRoomMessages(text, kind);
  } catch (...) {
    // Out of memory while building the line: the users miss this one.
  }
  scratch_.clear();
}

void THubFeed::SendFeedCopies(std::string_view text, TFeedKind kind) {
  scratch_.clear();
  scratch_ += "$Feed ";
  scratch_ += FeedMessageWord(kind);
  AppendFeedWireText(scratch_, text);
  scratch_ += '|';
  for (int i = users_.GetCount() - 1; i >= 0; --i) {
    THubSocket* user = users_.GetUser(i);
    if (user == nullptr || user->LifeState != lsInitialised) continue;
    if (!user->UserInfo().Supports.Feed || !MayReceiveFeed(user->Rights(), kind)) continue;
    user->WriteBuffer().AppendString(scratch_);
    ++stats_.Protocol.Feed;
  }
  scratch_.clear();
}

void THubFeed::SendRoomMessages(std::string_view text, TFeedKind kind) {
  const std::string_view room = room_->Name();
  if (room.empty()) return;
  scratch_.clear();
  scratch_ += " From: ";
  scratch_ += room;
  scratch_ += " $<";
  scratch_ += room;
  scratch_ += "> ";
  scratch_ += LanguageWord(kind);
  scratch_ += ' ';
  AppendFeedWireText(scratch_, text);
  scratch_ += '|';
  for (int i = room_->MemberCount() - 1; i >= 0; --i) {
    THubSocket* member = room_->Member(i);
    if (member == nullptr || member->LifeState != lsInitialised) continue;
    // Members whose client takes "$Feed" had that copy already.
    if (member->UserInfo().Supports.Feed || !MayReceiveFeed(member->Rights(), kind)) continue;
    TWriteBuffer& out = member->WriteBuffer();
    out.AppendString("$To: ");
    out.AppendString(member->Nick);
    out.AppendString(scratch_);
  }
  scratch_.clear();
}

std::string THubFeed::FeedFileName(TDateTime day) const {
  const TCivilTime civil = DecodeDateTime(day);
  std::string name = folder_;
  name += "feed_";
  AppendDigits(name, civil.Year, 4);
  AppendDigits(name, civil.Month, 2);
  AppendDigits(name, civil.Day, 2);
  name += ".txt";
  return name;
}

std::string THubFeed::FileLine(TDateTime now, std::string_view word, std::string_view text) const {
  std::string line = "[" + FormatDateTime(now) + "] ";
  line += word;
  line += ' ';
  line += text;
  return line;
}

void THubFeed::WriteFeedFile(std::string_view text, TFeedKind kind) noexcept {
  try {
    WriteFileAt(Now(), text, kind);
  } catch (...) {
  }
}

void THubFeed::WriteFileAt(TDateTime now, std::string_view text, TFeedKind kind) noexcept {
  try {
    if (!settings_.SaveFeedToDisk) return;
    std::string line = FileLine(now, LanguageWord(kind), text);
    line += "\r\n";
    AppendToFile(FeedFileName(now), line);
  } catch (...) {
    // A file that cannot be written loses this line only.
  }
}
