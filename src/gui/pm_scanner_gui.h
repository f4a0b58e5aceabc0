#pragma once

#include "gui/word_scanner_gui.h"

// The private-message scanner page.
class TPMScannerGui final : public TWordScannerGui<TPMScannerItem> {
 public:
  explicit TPMScannerGui(TMainGui& gui);
};
