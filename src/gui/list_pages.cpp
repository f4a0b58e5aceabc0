#include "gui/list_pages.h"

#include <memory>

#include "gui/main_gui.h"

void TMainGui::BuildListPages() { listPages_ = std::make_unique<TListPages>(); }

void TMainGui::ConvertFromMurn() {}
