#include "gui/list_pages.h"

#include <memory>

#include "core/kavro_root.h"
#include "core/program_lifecycle.h"
#include "gui/chat_rooms_gui.h"
#include "gui/dialogs.h"
#include "gui/frm_convert.h"
#include "gui/main_gui.h"
#include "gui/main_window.h"
#include "gui/text_commands_gui.h"
#include "gui/user_stats_gui.h"

TListPages::TListPages(TMainGui& gui) : gui_(gui) {
  textCommands_ = std::make_unique<TTextCommandsGui>(gui);
  gui.InstallPage(QStringLiteral("TextCommands"), textCommands_->Page());
  gui.SetShowStep(TShowStep::TextCommands, [this] { textCommands_->RefreshList(); });
  chatRooms_ = std::make_unique<TChatRoomsGui>(gui);
  gui.InstallPage(QStringLiteral("Chatrooms"), chatRooms_->Page());
  gui.SetShowStep(TShowStep::ChatRooms, [this] { chatRooms_->RefreshList(); });
  gui.AddProfileChoices(chatRooms_.get());
  userStats_ = std::make_unique<TUserStatsGui>(gui);
  gui.InstallPage(QStringLiteral("UserStats"), userStats_->Page());
  gui.SetShowStep(TShowStep::UserStats, [this] { userStats_->ShowSettings(); });
  gui.Root().PageRefresh().Add(this);
}

TListPages::~TListPages() { gui_.Root().PageRefresh().Remove(this); }

void TListPages::TextCommandChanged(std::string_view name) { textCommands_->CommandChanged(name); }

void TMainGui::BuildListPages() { listPages_ = std::make_unique<TListPages>(*this); }

void TListPages::RunConvert(TfrmConvert& dialog) {
  if (convertRunner_) convertRunner_(dialog);
  else dialog.exec();
}

// The import replaces lists the running hub serves from: it stops first.
void TMainGui::ConvertFromMurn() {
  if (Lifecycle().HubRunning()) {
    const QString question = QStringLiteral(
        "You're not allowed to convert settings while running the hub.\r\n\r\nDo you wish to stop "
        "the hub?");
    if (Dialogs().Ask(question, TDialogs::TKind::Information,
                      {TDialogs::TButton::Yes, TDialogs::TButton::No}) != TDialogs::TButton::Yes)
      return;
    StopHubAction();
    if (Lifecycle().HubRunning()) return;
  }
  TfrmConvert dialog(Root().Converter(), Dialogs(), &Window());
  ListPages().RunConvert(dialog);
}
