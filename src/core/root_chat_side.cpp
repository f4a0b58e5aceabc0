#include "core/root_chat_side.h"

#include "core/commands/chat_rooms.h"
#include "core/commands/command_delegator.h"

bool TRootChatSide::DelegateCommand(THubSocket& user, std::string_view message,
                                    std::size_t textStart, TCommandMode mode) {
  return commands_.Delegate(user, message, textStart, mode == TCommandMode::PrivateMessage) !=
         TCommandSource::None;
}

bool TRootChatSide::RoomMessage(THubSocket& user, std::string_view room,
                                std::string_view message) {
  return rooms_ != nullptr && rooms_->HandlePrivateMessage(user, room, message);
}
