#include "gui/account_pages.h"

#include <memory>

#include "gui/main_gui.h"

void TMainGui::BuildAccountPages() { accountPages_ = std::make_unique<TAccountPages>(); }
