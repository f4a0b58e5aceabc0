#pragma once

#include "gui/settings_binding.h"

class QWidget;
class TSettings;

// The Security page: automatic bans, general checks and time-outs, flood
// gates and the share trace. The page's widgets belong to the window.
class TSecurityGui {
 public:
  enum TGroup { gAutoBan, gGeneral, gSpam, gShareTrace };

  explicit TSecurityGui(TSettings& settings);
  TSecurityGui(const TSecurityGui&) = delete;
  TSecurityGui& operator=(const TSecurityGui&) = delete;

  QWidget* Page() const { return page_; }
  void ShowSettings();
  void StoreGeneral() { binder_.Store(gGeneral); }
  void StoreAutoBan() { binder_.Store(gAutoBan); }
  void StoreSpam() { binder_.Store(gSpam); }
  void StoreShareTrace() { binder_.Store(gShareTrace); }

 private:
  TSettingsBinder binder_;
  QWidget* page_ = nullptr;
};
