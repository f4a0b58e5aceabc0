#include "gui/search_scanner_gui.h"

#include "core/kavro_root.h"
#include "gui/main_gui.h"
#include "utils/general.h"

TSearchScannerGui::TSearchScannerGui(TMainGui& gui)
    : TWordScannerGui<TSearchScannerItem>(gui, gui.Root().SearchScanner(),
                          {"SearchScanner", {QStringLiteral("Filter whole search"), QStringLiteral("Drop user"), QStringLiteral("Kick user")}, &SearchScannerActionName}) {}
