#include "gui/scanner_pages.h"

#include <memory>

#include "gui/main_gui.h"

void TMainGui::BuildScannerPages() { scannerPages_ = std::make_unique<TScannerPages>(); }
