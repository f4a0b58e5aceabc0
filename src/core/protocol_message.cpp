#include "core/protocol_message.h"

#include "core/hub_socket.h"
#include "core/nick_list.h"
#include "settings/settings.h"

namespace {

// Gives the scratch storage back however the broadcast ends.
class TScratchRelease {
 public:
  explicit TScratchRelease(TWriteBuffer& buffer) : buffer_(buffer) {}
  ~TScratchRelease() { buffer_.Clear(true); }
  TScratchRelease(const TScratchRelease&) = delete;
  TScratchRelease& operator=(const TScratchRelease&) = delete;

 private:
  TWriteBuffer& buffer_;
};

}  // namespace

TProtocolMessage::TProtocolMessage(TSettings& settings, TNickList& nickList)
    : settings_(settings), nickList_(nickList) {}

void TProtocolMessage::SendChat(THubSocket& user, std::string_view text) {
  TWriteBuffer& out = user.WriteBuffer();
  out.AppendString(settings_.BotChatPrefix());
  out.AppendString(text);
  out.AppendChar('|');
}

void TProtocolMessage::SendChatData(THubSocket& user, std::string_view data) {
  TWriteBuffer& out = user.WriteBuffer();
  out.BeginMessage();
  out.AppendString(settings_.BotChatPrefix());
  out.AppendString(data);
  out.EndMessage();
}

void TProtocolMessage::SendChatAs(std::string_view sender, THubSocket& target,
                                  std::string_view text) {
  TWriteBuffer& out = target.WriteBuffer();
  out.AppendChar('<');
  out.AppendString(sender);
  out.AppendString("> ");
  out.AppendString(text);
  out.AppendChar('|');
}

void TProtocolMessage::SendPM(THubSocket& user, std::string_view text) {
  SendBotPMFrom(settings_.BotName(), user, text);
}

void TProtocolMessage::SendPMFrom(std::string_view sender, THubSocket& user,
                                  std::string_view text) {
  TWriteBuffer& out = user.WriteBuffer();
  out.AppendString("$To: ");
  out.AppendString(user.Nick);
  out.AppendString(" From: ");
  out.AppendString(sender);
  out.AppendString(" $<");
  out.AppendString(sender);
  out.AppendString("> ");
  out.AppendString(text);
  out.AppendChar('|');
}

void TProtocolMessage::SendBotPMFrom(std::string_view sender, THubSocket& user,
                                     std::string_view text) {
  TWriteBuffer& out = user.WriteBuffer();
  out.AppendString("$To: ");
  out.AppendString(user.Nick);
  out.AppendString(" From: ");
  out.AppendString(sender);
  out.AppendString(" $");
  out.AppendString(settings_.BotChatPrefix());
  out.AppendString(text);
  out.AppendChar('|');
}

bool TProtocolMessage::ForceMove(THubSocket& user, std::string_view address) {
  if (address.empty()) return false;
  TWriteBuffer& out = user.WriteBuffer();
  out.AppendString("$ForceMove ");
  out.AppendString(address);
  out.AppendChar('|');
  ++user.UserInfo().Transfer.Redirects;
  if (redirectCounter_) redirectCounter_();
  user.LifeState = lsClosing;
  return true;
}

std::string_view TProtocolMessage::BuildBotLine(std::string_view text) {
  scratch_.Clear(false);
  scratch_.AppendString(settings_.BotChatPrefix());
  scratch_.AppendString(text);
  scratch_.AppendChar('|');
  return scratch_.View();
}

std::string_view TProtocolMessage::BuildBotPMTail(std::string_view text) {
  scratch_.Clear(false);
  scratch_.AppendString(" From: ");
  scratch_.AppendString(settings_.BotName());
  scratch_.AppendString(" $");
  scratch_.AppendString(settings_.BotChatPrefix());
  scratch_.AppendString(text);
  scratch_.AppendChar('|');
  return scratch_.View();
}

void TProtocolMessage::AppendPM(THubSocket& user, std::string_view tail) {
  TWriteBuffer& out = user.WriteBuffer();
  out.AppendString("$To: ");
  out.AppendString(user.Nick);
  out.AppendString(tail);
}

void TProtocolMessage::SendChatToAll(std::string_view text) {
  TScratchRelease release(scratch_);
  nickList_.SendToAll(BuildBotLine(text));
}

void TProtocolMessage::SendChatToAllExcept(const THubSocket& except, std::string_view text) {
  TScratchRelease release(scratch_);
  nickList_.SendToAllExcept(except, BuildBotLine(text));
}

void TProtocolMessage::SendChatToNonOperators(std::string_view text) {
  TScratchRelease release(scratch_);
  nickList_.SendToNonOperators(BuildBotLine(text));
}

void TProtocolMessage::SendChatToOperators(std::string_view text) {
  TScratchRelease release(scratch_);
  nickList_.SendToOperators(BuildBotLine(text));
}

void TProtocolMessage::SendPMToAll(std::string_view data) {
  TScratchRelease release(scratch_);
  const std::string_view tail = BuildBotPMTail(data);
  for (int i = nickList_.GetCount() - 1; i >= 0; --i) {
    THubSocket& user = *nickList_.GetUser(i);
    if (user.LifeState == lsInitialised) AppendPM(user, tail);
  }
}

void TProtocolMessage::SendPMToProfile(const TProfile& profile, std::string_view data) {
  TScratchRelease release(scratch_);
  const std::string_view tail = BuildBotPMTail(data);
  for (int i = nickList_.GetCount() - 1; i >= 0; --i) {
    THubSocket& user = *nickList_.GetUser(i);
    if (user.LifeState == lsInitialised && user.Profile.get() == &profile) AppendPM(user, tail);
  }
}

void TProtocolMessage::SendPMToOperators(std::string_view data) {
  TScratchRelease release(scratch_);
  const std::string_view tail = BuildBotPMTail(data);
  for (int i = nickList_.OperatorCount() - 1; i >= 0; --i) {
    THubSocket& user = *nickList_.GetOperator(i);
    if (user.LifeState == lsInitialised) AppendPM(user, tail);
  }
}
