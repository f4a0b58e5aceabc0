#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "core/chat_hooks.h"
#include "core/history_manager.h"
#include "core/hub_stats.h"
#include "core/message_handlers.h"
#include "protocol_test_fixture.h"

// Records what reaches the subsystems behind the chat hooks; each answer
// is set by the test.
class TRecordingChatHooks : public TChatHooks {
 public:
  bool SwallowChat = false;
  bool SwallowTo = false;
  bool TakeCommands = false;
  bool TakeRoom = false;
  bool RefusePM = false;
  bool RefuseSearches = false;
  bool SharersOnly = false;
  TScanVerdict Verdict = TScanVerdict::Accept;
  std::vector<std::string> Commands;  // "M:text" or "P:text"
  std::vector<std::string> Kicks;     // "victim/reason"

  bool ChatArrival(THubSocket&, std::string_view) override { return SwallowChat; }
  bool ToArrival(THubSocket&, std::string_view) override { return SwallowTo; }
  bool DelegateCommand(THubSocket&, std::string_view message, std::size_t textStart,
                       TCommandMode mode) override {
    std::string_view text = message.substr(std::min(textStart, message.size()));
    if (text.ends_with('|')) text.remove_suffix(1);
    Commands.push_back((mode == TCommandMode::MainChat ? "M:" : "P:") + std::string(text));
    return TakeCommands;
  }
  bool RoomMessage(THubSocket&, std::string_view, std::string_view) override { return TakeRoom; }
  std::string ScanReplace;  // not empty: the scanner's new text
  TScanVerdict ScanMainChat(THubSocket&, std::string& text) override {
    if (!ScanReplace.empty()) text = ScanReplace;
    return Verdict;
  }
  bool RefusePrivateMessage(THubSocket&, std::string_view, std::string_view) override {
    return RefusePM;
  }
  std::string SearchReason;
  bool RefuseSearch(THubSocket&, std::string_view, std::string& reason) override {
    reason = SearchReason;
    return RefuseSearches;
  }
  std::string Kennylize(std::string_view text) override { return "mmph(" + std::string(text) + ")"; }
  std::string Lunarize(std::string_view text) override { return "luna(" + std::string(text) + ")"; }
  void KickAnnounced(THubSocket&, std::string_view victim, std::string_view reason) override {
    Kicks.push_back(std::string(victim) + "/" + std::string(reason));
  }
  bool SearchOnlyToSharers() override { return SharersOnly; }
};

// The protocol engine with the real message handlers behind it, logged-in
// users without sockets, and the flood gates off unless a test turns one
// on.
class TChatFixture : public TProtocolFixture {
 protected:
  static constexpr std::string_view kLocalIP = "10.9.9.9";

  TChatFixture() {
    hooks_.SetHandlers(&router_);
    for (TCountPerInterval* gate : {&settings_.SearchSpamMaxCount, &settings_.MainChatSpamMaxCount,
                                    &settings_.PMSpamCheck}) {
      gate->State = TTriState::Unchecked;
    }
  }
  ~TChatFixture() override { hooks_.SetHandlers(nullptr); }

  // A logged-in, listed user; with `profile`, a registered account of it.
  THubSocket& Online(std::string_view nick, std::string_view profile = {},
                     std::string_view ip = "10.0.0.1") {
    THubSocket& user = NewUser(lgLoggedIn, nick);
    user.IP = std::string(ip);
    if (!profile.empty()) {
      user.BindAccount(AddAccount(nick, profile, "pw"), settings_.ConnRestriction);
      user.Registered = true;
    }
    EXPECT_TRUE(nickList_.Add(user));
    return user;
  }

  // One message through the engine's dispatch; true when handled.
  bool Send(THubSocket& user, std::string_view message) {
    return protocol_.HandleMessage(user, message);
  }

  std::shared_ptr<TProfile> Profile(std::string_view name, TProfileRight right, int value) {
    auto profile = profiles_.Add(name);
    EXPECT_NE(profile, nullptr);
    profile->SetRight(right, static_cast<std::uint8_t>(value));
    return profile;
  }

  static TDateTime Noon() {
    TDateTime t;
    TryEncodeDateTime({2024, 5, 6, 12, 34, 56}, t);
    return t;
  }

  TStats stats_{std::string(kLocalIP)};
  THistoryManager history_{language_, [] { return Noon(); }};
  TRecordingChatHooks chat_;
  TMessageHandlers router_{{settings_, language_, nickList_, messages_, accounts_, protocol_,
                            hooks_, stats_, history_, chat_}};
};
