#include "gui/ban_isp_pages.h"

#include <memory>

#include "core/kavro_root.h"
#include "gui/ban_list_gui.h"
#include "gui/isp_list_gui.h"
#include "gui/main_gui.h"

TBanIspPages::TBanIspPages(TKavroRoot& root, TBanListGui* banList, TISPListGui* ispList)
    : root_(root), banList_(banList), ispList_(ispList) {
  root_.PageRefresh().Add(this);
}

TBanIspPages::~TBanIspPages() {
  root_.PageRefresh().Remove(this);
  // The window outlives this group: its ISP page stops being the list's view.
  root_.ISPs().SetView(nullptr);
}

void TBanIspPages::ISPRangeAdded(std::string_view isp, std::string_view range) {
  if (TISP* found = root_.ISPs().Find(isp)) ispList_->AddIPNode(range, *found);
}

void TBanIspPages::ISPRangeRemoved(std::string_view isp, std::string_view range) {
  if (TISP* found = root_.ISPs().Find(isp)) ispList_->RemoveIPNode(range, *found);
}

void TMainGui::BuildBanIspPages() {
  const auto report = [this](const std::string& line) { root_->ReportGUI(line); };
  auto* banList = new TBanListGui(root_->Bans(), dialogs_, report);
  auto* ispList = new TISPListGui(root_->ISPs(), root_->Settings(), dialogs_, report);
  InstallPage(QStringLiteral("Banlist"), banList);
  InstallPage(QStringLiteral("ISPIP"), ispList);
  SetShowStep(TShowStep::BanList, [banList] { banList->ShowBans(); });
  SetShowStep(TShowStep::ISPs, [ispList] { ispList->ShowISPs(); });
  banIspPages_ = std::make_unique<TBanIspPages>(*root_, banList, ispList);
}
