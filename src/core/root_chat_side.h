#pragma once

#include <cstddef>
#include <string_view>

#include "core/chat_hooks.h"

class TCommandDelegator;

// The chat handlers' side of the other subsystems as the composition root
// wires them: lines go to the command delegator; everything else keeps the
// defaults until its subsystem exists. Owns nothing.
class TRootChatSide final : public TChatHooks {
 public:
  explicit TRootChatSide(TCommandDelegator& commands) : commands_(commands) {}

  bool DelegateCommand(THubSocket& user, std::string_view message, std::size_t textStart,
                       TCommandMode mode) override;

 private:
  TCommandDelegator& commands_;
};
