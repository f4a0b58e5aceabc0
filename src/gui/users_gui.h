#pragma once

#include "gui/settings_binding.h"

class QCheckBox;
class QLineEdit;
class QWidget;
class TframeConnRestriction;
class TSettings;

// The Users page: admission switches, the prefix rule, the hub password and
// the hub-wide connection restriction, which its frame edits in place.
// The page's widgets belong to the window; the record to the root.
class TUsersGui {
 public:
  explicit TUsersGui(TSettings& settings);
  TUsersGui(const TUsersGui&) = delete;
  TUsersGui& operator=(const TUsersGui&) = delete;

  QWidget* Page() const { return page_; }
  TframeConnRestriction* Restriction() const { return frame_; }

  void Initialize();
  void ShowSettings();
  void StoreSettings();
  // Binds the frame to the record's restriction again (after a reload).
  void ShowRestriction();
  // Reloads the frame's controls from the restriction.
  void RefreshRestriction();

 private:
  void Build();
  void UpdateEnabled();

  TSettings& settings_;
  TSettingsBinder binder_;
  QWidget* page_ = nullptr;
  QCheckBox* chkUseISPCheck_ = nullptr;
  QCheckBox* chkNoISPAllowed_ = nullptr;
  QCheckBox* chkPassword_ = nullptr;
  QLineEdit* edtPassword_ = nullptr;
  TframeConnRestriction* frame_ = nullptr;
};
