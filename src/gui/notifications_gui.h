#pragma once

#include "gui/settings_binding.h"

class QWidget;
class TSettings;

// The Notifications page: which events reach the feed and the operators.
// The page's widgets belong to the window.
class TNotificaitonsGui {
 public:
  explicit TNotificaitonsGui(TSettings& settings);
  TNotificaitonsGui(const TNotificaitonsGui&) = delete;
  TNotificaitonsGui& operator=(const TNotificaitonsGui&) = delete;

  QWidget* Page() const { return page_; }
  void ShowSettings() { binder_.Show(); }
  void StoreSettings() { binder_.Store(); }

 private:
  TSettingsBinder binder_;
  QWidget* page_ = nullptr;
};
