#pragma once

#include "gui/settings_binding.h"

class QWidget;
class TSettings;

// The Redirects page: twelve redirect switches with their addresses. The
// page's widgets belong to the window; the record to the root.
class TRedirectsGui {
 public:
  explicit TRedirectsGui(TSettings& settings);
  TRedirectsGui(const TRedirectsGui&) = delete;
  TRedirectsGui& operator=(const TRedirectsGui&) = delete;

  QWidget* Page() const { return page_; }
  void ShowSettings();
  void StoreSettings();

 private:
  TSettingsBinder binder_;
  QWidget* page_ = nullptr;
};
