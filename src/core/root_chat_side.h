#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/chat_hooks.h"

class TChatRooms;
class TCommandDelegator;
class TScannerSide;
class TScriptEvents;

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

  // Null: no scripts see the messages.
  void SetScripts(TScriptEvents* scripts) { scripts_ = scripts; }
  bool ChatArrival(THubSocket& user, std::string_view message) override;
  bool ToArrival(THubSocket& user, std::string_view message) override;

  // The scanners and penalties; null: every line passes untouched.
  void SetScanners(TScannerSide* scanners) { scanners_ = scanners; }
  TScanVerdict ScanMainChat(THubSocket& user, std::string& text) override;
  bool RefusePrivateMessage(THubSocket& user, std::string_view target,
                            std::string_view text) override;
  bool RefuseSearch(THubSocket& user, std::string_view pattern, std::string& reason) override;
  std::string Kennylize(std::string_view text) override;
  std::string Lunarize(std::string_view text) override;

  // The window's switch; off in the daemon.
  void SetSearchOnlyToSharers(bool on) { searchOnlyToSharers_ = on; }
  bool SearchOnlyToSharers() override { return searchOnlyToSharers_; }

 private:
  TCommandDelegator& commands_;
  TChatRooms* rooms_ = nullptr;
  TScannerSide* scanners_ = nullptr;
  TScriptEvents* scripts_ = nullptr;
  bool searchOnlyToSharers_ = false;
};
