#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/write_buffer.h"

class THubSocket;
class TNickList;
class TProfile;
class TSettings;

// Builds what the hub sends in its own name: bot main-chat lines, bot
// private messages, lines shown as from another user or a chat room, and
// "$ForceMove". A message for many users is built once and copied to each.
// Owns only its scratch buffer; main thread only.
class TProtocolMessage {
 public:
  TProtocolMessage(TSettings& settings, TNickList& nickList);

  // Called once per "$ForceMove" sent (the hub's redirect counter).
  void SetRedirectCounter(std::function<void()> counter) { redirectCounter_ = std::move(counter); }

  // --- into one user's output -------------------------------------------
  void SendChat(THubSocket& user, std::string_view text);
  // As SendChat, framed so the send pass never sends half of it.
  void SendChatData(THubSocket& user, std::string_view data);
  // "<sender> text|" into the target's output only.
  void SendChatAs(std::string_view sender, THubSocket& target, std::string_view text);
  void SendChatDataAs(std::string_view sender, THubSocket& target, std::string_view data) {
    SendChatAs(sender, target, data);
  }
  // "$To: nick From: bot $<bot> text|".
  void SendPM(THubSocket& user, std::string_view text);
  void SendPMData(THubSocket& user, std::string_view data) { SendPM(user, data); }
  // "$To: nick From: sender $<sender> text|" (chat rooms).
  void SendPMFrom(std::string_view sender, THubSocket& user, std::string_view text);
  void SendPMDataFrom(std::string_view sender, THubSocket& user, std::string_view data) {
    SendPMFrom(sender, user, data);
  }
  // A bot line inside another sender's private window.
  void SendBotPMFrom(std::string_view sender, THubSocket& user, std::string_view text);
  // "$ForceMove address|" and marks the user closing. Without an address
  // nothing is sent, the user is left as it is, and the result is false.
  bool ForceMove(THubSocket& user, std::string_view address);
  bool ForceMoveData(THubSocket& user, std::string_view address) {
    return ForceMove(user, address);
  }

  // --- to many users ------------------------------------------------------
  void SendChatToAll(std::string_view text);
  void SendChatDataToAll(std::string_view data) { SendChatToAll(data); }
  void SendChatToAllExcept(const THubSocket& except, std::string_view text);
  void SendChatDataToAllExcept(const THubSocket& except, std::string_view data) {
    SendChatToAllExcept(except, data);
  }
  void SendChatToNonOperators(std::string_view text);
  void SendChatToOperators(std::string_view text);
  // A bot private message to each listed user, last nick first.
  void SendPMToAll(std::string_view data);
  // Only users whose current profile is this very object.
  void SendPMToProfile(const TProfile& profile, std::string_view data);
  void SendPMToOperators(std::string_view data);

 private:
  // The bot line "<bot> text|" in the scratch buffer.
  std::string_view BuildBotLine(std::string_view text);
  // " From: bot $<bot> text|": the part of a bot private message after the
  // recipient's nick.
  std::string_view BuildBotPMTail(std::string_view text);
  static void AppendPM(THubSocket& user, std::string_view tail);

  TSettings& settings_;
  TNickList& nickList_;
  std::function<void()> redirectCounter_;
  TWriteBuffer scratch_{0};  // released after each use
};
