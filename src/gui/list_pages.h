#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "core/page_refresh.h"

class TChatRoomsGui;
class TfrmConvert;
class TMainGui;
class TTextCommandsGui;
class TUserStatsGui;

// The controllers of the text-commands, chat-rooms and user-statistics pages
// and what the operator commands tell them. Built by the window's
// composition and gone before the window.
class TListPages final : public TPageRefresh {
 public:
  explicit TListPages(TMainGui& gui);
  ~TListPages() override;
  TListPages(const TListPages&) = delete;
  TListPages& operator=(const TListPages&) = delete;

  TTextCommandsGui& TextCommands() { return *textCommands_; }
  TChatRoomsGui& ChatRooms() { return *chatRooms_; }
  TUserStatsGui& UserStats() { return *userStats_; }

  // How "Convert from Murn" shows its dialog: modally by default; tests
  // drive it instead.
  using TConvertRunner = std::function<void(TfrmConvert&)>;
  void SetConvertRunner(TConvertRunner runner) { convertRunner_ = std::move(runner); }
  void RunConvert(TfrmConvert& dialog);

  // TPageRefresh
  void TextCommandChanged(std::string_view name) override;

 private:
  TMainGui& gui_;
  std::unique_ptr<TTextCommandsGui> textCommands_;
  std::unique_ptr<TChatRoomsGui> chatRooms_;
  std::unique_ptr<TUserStatsGui> userStats_;
  TConvertRunner convertRunner_;
};
