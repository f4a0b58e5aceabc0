#pragma once

#include <memory>

class TMainGui;
class TMCScannerGui;
class TPMScannerGui;
class TSearchScannerGui;

// The controllers of the three scanner pages.
// Built by the window's composition and gone before the window.
class TScannerPages {
 public:
  explicit TScannerPages(TMainGui& gui);
  ~TScannerPages();
  TScannerPages(const TScannerPages&) = delete;
  TScannerPages& operator=(const TScannerPages&) = delete;

  TMCScannerGui& MCScanner() { return *mcScanner_; }
  TPMScannerGui& PMScanner() { return *pmScanner_; }
  TSearchScannerGui& SearchScanner() { return *searchScanner_; }

 private:
  std::unique_ptr<TMCScannerGui> mcScanner_;
  std::unique_ptr<TPMScannerGui> pmScanner_;
  std::unique_ptr<TSearchScannerGui> searchScanner_;
};
