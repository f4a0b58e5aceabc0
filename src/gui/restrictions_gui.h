#pragma once

#include <memory>

#include "gui/settings_binding.h"

class QWidget;
class TDialogs;
class TfrmAllowedNickChars;
class TfrmWordDelimiter;
class TSettings;

// The Restrictions page: search, length, MyINFO, protocol and nick
// character limits, plus the two character-map editors. Owns the two
// dialogs; the page's widgets belong to the window.
class TRestrictionsGui {
 public:
  enum TGroup { gSearch, gLength, gMyINFO, gProtocol, gNickCheck };

  TRestrictionsGui(TSettings& settings, TDialogs& dialogs);
  ~TRestrictionsGui();
  TRestrictionsGui(const TRestrictionsGui&) = delete;
  TRestrictionsGui& operator=(const TRestrictionsGui&) = delete;

  QWidget* Page() const { return page_; }
  void ShowSettings();
  void StoreSearch() { binder_.Store(gSearch); }
  void StoreLength() { binder_.Store(gLength); }
  void StoreMyINFO() { binder_.Store(gMyINFO); }
  void StoreProtocol() { binder_.Store(gProtocol); }
  void StoreNickCheck() { binder_.Store(gNickCheck); }
  // Modal editors of the allowed nick characters and the word delimiters.
  void EditAllowedNickChars();
  void EditWordDelimiters();
  TfrmAllowedNickChars& AllowedNickCharsDialog();
  TfrmWordDelimiter& WordDelimiterDialog();

 private:
  void Build();

  TSettings& settings_;
  TDialogs& dialogs_;
  TSettingsBinder binder_;
  QWidget* page_ = nullptr;
  std::unique_ptr<TfrmAllowedNickChars> nickChars_;
  std::unique_ptr<TfrmWordDelimiter> wordDelimiters_;
};
