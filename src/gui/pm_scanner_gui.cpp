#include "gui/pm_scanner_gui.h"

#include "core/kavro_root.h"
#include "gui/main_gui.h"
#include "utils/general.h"

TPMScannerGui::TPMScannerGui(TMainGui& gui)
    : TWordScannerGui<TPMScannerItem>(gui, gui.Root().PMScanner(),
                          {"PMScanner", {QStringLiteral("Skip message"), QStringLiteral("Drop user"), QStringLiteral("Kick user")}, &PrivateScannerActionName}) {}
