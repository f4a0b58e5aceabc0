#pragma once

#include "gui/word_scanner_gui.h"

// The search scanner page.
class TSearchScannerGui final : public TWordScannerGui<TSearchScannerItem> {
 public:
  explicit TSearchScannerGui(TMainGui& gui);
};
