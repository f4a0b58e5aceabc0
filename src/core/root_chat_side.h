#pragma once

#include <cstddef>
#include <string_view>

#include "core/chat_hooks.h"

class TChatRooms;
class TCommandDelegator;

// The chat handlers' side of the other subsystems as the composition root
// wires them: lines go to the command delegator; everything else keeps the
// defaults until its subsystem exists. Owns nothing.
class TRootChatSide final : public TChatHooks {
 public:
  explicit TRootChatSide(TCommandDelegator& commands) : commands_(commands) {}

  bool DelegateCommand(THubSocket& user, std::string_view message, std::size_t textStart,
                       TCommandMode mode) override;
  // Null: no rooms take private messages.
  void SetRooms(TChatRooms* rooms) { rooms_ = rooms; }
  bool RoomMessage(THubSocket& user, std::string_view room, std::string_view message) override;

 private:
  TCommandDelegator& commands_;
  TChatRooms* rooms_ = nullptr;
};
