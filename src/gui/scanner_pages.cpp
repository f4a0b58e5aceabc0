#include "gui/scanner_pages.h"

#include <memory>

#include "gui/main_gui.h"
#include "gui/mc_scanner_gui.h"
#include "gui/pm_scanner_gui.h"
#include "gui/search_scanner_gui.h"

TScannerPages::TScannerPages(TMainGui& gui)
    : mcScanner_(std::make_unique<TMCScannerGui>(gui)),
      pmScanner_(std::make_unique<TPMScannerGui>(gui)),
      searchScanner_(std::make_unique<TSearchScannerGui>(gui)) {
  gui.InstallPage(mcScanner_->Area(), mcScanner_->Page());
  gui.InstallPage(pmScanner_->Area(), pmScanner_->Page());
  gui.InstallPage(searchScanner_->Area(), searchScanner_->Page());
  TMCScannerGui* mc = mcScanner_.get();
  TPMScannerGui* pm = pmScanner_.get();
  TSearchScannerGui* search = searchScanner_.get();
  gui.SetShowStep(TShowStep::MCScanner, [mc] { mc->RefreshList(); });
  gui.SetShowStep(TShowStep::PMScanner, [pm] { pm->RefreshList(); });
  gui.SetShowStep(TShowStep::SearchScanner, [search] { search->RefreshList(); });
}

TScannerPages::~TScannerPages() = default;

void TMainGui::BuildScannerPages() { scannerPages_ = std::make_unique<TScannerPages>(*this); }
