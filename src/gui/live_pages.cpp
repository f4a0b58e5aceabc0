#include "gui/live_pages.h"

#include <memory>

#include "gui/main_gui.h"

void TMainGui::BuildLivePages() { livePages_ = std::make_unique<TLivePages>(); }
