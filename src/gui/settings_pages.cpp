#include "gui/settings_pages.h"

#include <memory>

#include "gui/main_gui.h"

void TMainGui::BuildSettingsPages() { settingsPages_ = std::make_unique<TSettingsPages>(); }
