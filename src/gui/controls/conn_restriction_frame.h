#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>

#include "settings/conn_restriction.h"

class QCheckBox;
class QComboBox;
class TAdvSpinEdit;

// The editor of one connection restriction. It edits either a restriction of
// its own (made with it) or an attached one it does not own. A value is
// written back only when its own control changed since the last show, so a
// share that the units cannot show exactly, or a count beyond its spin's
// range, survives a show and a save untouched.
class TframeConnRestriction : public QWidget {
  Q_OBJECT

 public:
  explicit TframeConnRestriction(QWidget* parent = nullptr);
  ~TframeConnRestriction() override;

  // Throw EGUIException naming the method, with the cause in parentheses.
  void GetValues(TConnRestriction* r);
  void SetValues(const TConnRestriction* r);
  void Attach(TConnRestriction* r);
  void Commit(bool cancel);
  void ResetValues();
  void SetControlsEnabled(bool on);
  void SetAutoApply(bool on);
  bool AutoApply() const { return autoApply_; }
  bool Modified() const { return modified_; }
  TConnRestriction* Restriction() const { return edited_; }

  QCheckBox* chkMinShare;
  QComboBox* cbMinShare;
  QComboBox* cbMaxShare;
  QCheckBox* chkMaxShare;
  QCheckBox* chkMaxHubs;
  QCheckBox* chkSlotRatio;
  QCheckBox* chkMaxSlots;
  QCheckBox* chkMinSlots;
  QCheckBox* chkMayBeInPassiveMode;
  QCheckBox* chkAllowTagLessToByPass;
  TAdvSpinEdit* seMinShare;
  TAdvSpinEdit* seMaxShare;
  TAdvSpinEdit* seMinSlots;
  TAdvSpinEdit* seMaxHubs;
  TAdvSpinEdit* seMaxSlots;
  TAdvSpinEdit* seSlotRatio;

 signals:
  void OnChange();
  void OnModifiedChange(bool modified);

 private:
  // The values a control stands for, changed ones marked.
  enum TValue { vMinShare, vMaxShare, vMaxHubs, vMinSlots, vMaxSlots, vSlotRatio, vCount };

  void ControlChanged(int value);
  void WriteValues(TConnRestriction& r) const;
  void SetModified(bool modified);

  std::unique_ptr<TConnRestriction> own_;
  TConnRestriction* edited_ = nullptr;
  // What the last show loaded: unchanged controls give these back.
  TConnRestriction shown_;
  std::array<bool, vCount> changed_{};
  bool external_ = false;
  bool modified_ = false;
  bool autoApply_ = false;
  bool updating_ = false;
};

// A share in the largest unit that leaves it at least 1: the number and the
// unit index (0 bytes .. 5 PiB); a zero share gives unit -1 (keep the box).
struct TShareDisplay {
  std::int64_t Number = 0;
  int Unit = -1;
};
TShareDisplay ShareForDisplay(std::int64_t bytes);
