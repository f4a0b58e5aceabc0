#include "gui/ban_isp_pages.h"

#include <memory>

#include "gui/main_gui.h"

void TMainGui::BuildBanIspPages() { banIspPages_ = std::make_unique<TBanIspPages>(); }
