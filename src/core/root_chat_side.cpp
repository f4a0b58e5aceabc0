#include "core/root_chat_side.h"

#include "core/commands/chat_rooms.h"
#include "core/commands/command_delegator.h"
#include "core/scanner_side.h"
#include "core/script_events.h"

bool TRootChatSide::ChatArrival(THubSocket& user, std::string_view message) {
  return scripts_ != nullptr && scripts_->ChatArrival(user, message);
}

bool TRootChatSide::ToArrival(THubSocket& user, std::string_view message) {
  return scripts_ != nullptr && scripts_->ToArrival(user, message);
}

bool TRootChatSide::DelegateCommand(THubSocket& user, std::string_view message,
                                    std::size_t textStart, TCommandMode mode) {
  return commands_.Delegate(user, message, textStart, mode == TCommandMode::PrivateMessage) !=
         TCommandSource::None;
}

bool TRootChatSide::RoomMessage(THubSocket& user, std::string_view room,
                                std::string_view message) {
  return rooms_ != nullptr && rooms_->HandlePrivateMessage(user, room, message);
}

TScanVerdict TRootChatSide::ScanMainChat(THubSocket& user, std::string& text) {
  return scanners_ ? scanners_->ScanMainChat(user, text) : TScanVerdict::Accept;
}

bool TRootChatSide::RefusePrivateMessage(THubSocket& user, std::string_view target,
                                         std::string_view text) {
  return scanners_ && scanners_->RefusePrivateMessage(user, target, text);
}

bool TRootChatSide::RefuseSearch(THubSocket& user, std::string_view pattern,
                                 std::string& reason) {
  return scanners_ && scanners_->RefuseSearch(user, pattern, reason);
}

std::string TRootChatSide::Kennylize(std::string_view text) {
  return scanners_ ? scanners_->Kennylize(text) : std::string(text);
}

std::string TRootChatSide::Lunarize(std::string_view text) {
  return scanners_ ? scanners_->Lunarize(text) : std::string(text);
}
