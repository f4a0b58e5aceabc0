#include "gui/list_pages.h"

#include <memory>

#include "core/kavro_root.h"
#include "gui/chat_rooms_gui.h"
#include "gui/main_gui.h"
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

void TMainGui::ConvertFromMurn() {}
