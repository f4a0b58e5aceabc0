#include "gui/controls/conn_restriction_frame.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <exception>

#include "base/exceptions.h"
#include "gui/controls/adv_spin_edit.h"

namespace {

constexpr int kGiB = 3;

std::int64_t UnitFactor(int unit) {
  std::int64_t f = 1;
  for (int i = 0; i < unit; ++i) f *= 1024;
  return f;
}

QComboBox* MakeUnitBox(QWidget* parent, const char* name) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->addItems({"B", "KiB", "MiB", "GiB", "TiB", "PiB"});
  box->setCurrentIndex(kGiB);
  return box;
}

TAdvSpinEdit* MakeSpin(QWidget* parent, const char* name, int max) {
  auto* spin = new TAdvSpinEdit(parent);
  spin->setObjectName(name);
  spin->SetMinValue(0);
  spin->SetMaxValue(max);
  return spin;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* caption) {
  auto* check = new QCheckBox(caption, parent);
  check->setObjectName(name);
  return check;
}

}  // namespace

TShareDisplay ShareForDisplay(std::int64_t bytes) {
  TShareDisplay shown{bytes, -1};
  int divisions = 0;
  while (shown.Number >= 1024 && divisions < 5) {
    shown.Number /= 1024;
    ++divisions;
  }
  if (shown.Number != 0) shown.Unit = divisions;
  return shown;
}

TframeConnRestriction::TframeConnRestriction(QWidget* parent)
    : QWidget(parent), own_(std::make_unique<TConnRestriction>()), edited_(own_.get()) {
  setObjectName("TframeConnRestriction");
  chkMinShare = MakeCheck(this, "chkMinShare", "Min sharesize");
  cbMinShare = MakeUnitBox(this, "cbMinShare");
  cbMaxShare = MakeUnitBox(this, "cbMaxShare");
  chkMaxShare = MakeCheck(this, "chkMaxShare", "Max sharesize");
  chkMaxHubs = MakeCheck(this, "chkMaxHubs", "Max hubs");
  chkSlotRatio = MakeCheck(this, "chkSlotRatio", "Slot ratio");
  chkMaxSlots = MakeCheck(this, "chkMaxSlots", "Max slots");
  chkMinSlots = MakeCheck(this, "chkMinSlots", "Min slots");
  chkMayBeInPassiveMode = MakeCheck(this, "chkMayBeInPassiveMode", "May connect using passive mode");
  chkAllowTagLessToByPass =
      MakeCheck(this, "chkAllowTagLessToByPass", "Allow \"tag-less\" clients to bypass hub/slot restrictions");
  seMinShare = MakeSpin(this, "seMinShare", 1024);
  seMaxShare = MakeSpin(this, "seMaxShare", 1024);
  seMinSlots = MakeSpin(this, "seMinSlots", 99);
  seMaxHubs = MakeSpin(this, "seMaxHubs", 99);
  seMaxSlots = MakeSpin(this, "seMaxSlots", 99);
  seSlotRatio = MakeSpin(this, "seSlotRatio", 99);

  auto* grid = new QGridLayout(this);
  grid->addWidget(chkMinShare, 0, 0);
  grid->addWidget(seMinShare, 0, 1);
  grid->addWidget(cbMinShare, 0, 2);
  grid->addWidget(chkMaxShare, 1, 0);
  grid->addWidget(seMaxShare, 1, 1);
  grid->addWidget(cbMaxShare, 1, 2);
  grid->addWidget(chkMaxHubs, 2, 0);
  grid->addWidget(seMaxHubs, 2, 1);
  grid->addWidget(chkSlotRatio, 3, 0);
  grid->addWidget(seSlotRatio, 3, 1);
  grid->addWidget(chkMaxSlots, 4, 0);
  grid->addWidget(seMaxSlots, 4, 1);
  grid->addWidget(chkMinSlots, 5, 0);
  grid->addWidget(seMinSlots, 5, 1);
  grid->addWidget(chkMayBeInPassiveMode, 6, 0, 1, 3);
  grid->addWidget(chkAllowTagLessToByPass, 7, 0, 1, 3);

  for (QCheckBox* check : {chkMinShare, chkMaxShare, chkMaxHubs, chkSlotRatio, chkMaxSlots, chkMinSlots,
                           chkMayBeInPassiveMode, chkAllowTagLessToByPass})
    connect(check, &QCheckBox::toggled, this, [this] { ControlChanged(-1); });
  connect(cbMinShare, &QComboBox::currentIndexChanged, this, [this] { ControlChanged(vMinShare); });
  connect(cbMaxShare, &QComboBox::currentIndexChanged, this, [this] { ControlChanged(vMaxShare); });
  const std::pair<TAdvSpinEdit*, TValue> spins[] = {{seMinShare, vMinShare}, {seMaxShare, vMaxShare},
                                                    {seMaxHubs, vMaxHubs},   {seMinSlots, vMinSlots},
                                                    {seMaxSlots, vMaxSlots}, {seSlotRatio, vSlotRatio}};
  for (const auto& [spin, value] : spins)
    connect(spin, &TAdvSpinEdit::ValueChanged, this, [this, v = value] { ControlChanged(v); });
  shown_ = *edited_;
}

TframeConnRestriction::~TframeConnRestriction() = default;

void TframeConnRestriction::WriteValues(TConnRestriction& r) const {
  r.MinShareEnabled = chkMinShare->isChecked();
  r.MaxShareEnabled = chkMaxShare->isChecked();
  r.MaxHubsEnabled = chkMaxHubs->isChecked();
  r.MinSlotsEnabled = chkMinSlots->isChecked();
  r.MaxSlotsEnabled = chkMaxSlots->isChecked();
  r.SlotRatioEnabled = chkSlotRatio->isChecked();
  r.MayBeInPassiveMode = chkMayBeInPassiveMode->isChecked();
  r.AllowTagLessToByPass = chkAllowTagLessToByPass->isChecked();
  r.MinShare = changed_[vMinShare] ? seMinShare->Value() * UnitFactor(cbMinShare->currentIndex()) : shown_.MinShare;
  r.MaxShare = changed_[vMaxShare] ? seMaxShare->Value() * UnitFactor(cbMaxShare->currentIndex()) : shown_.MaxShare;
  r.MaxHubs = changed_[vMaxHubs] ? seMaxHubs->Value() : shown_.MaxHubs;
  r.MinSlots = changed_[vMinSlots] ? seMinSlots->Value() : shown_.MinSlots;
  r.MaxSlots = changed_[vMaxSlots] ? seMaxSlots->Value() : shown_.MaxSlots;
  r.SlotRatio = changed_[vSlotRatio] ? seSlotRatio->Value() : shown_.SlotRatio;
}

void TframeConnRestriction::GetValues(TConnRestriction* r) {
  if (r == nullptr) return;
  try {
    WriteValues(*r);
  } catch (const std::exception& e) {
    throw EGUIException("TframeConnRestriction.GetValues", e.what());
  }
}

void TframeConnRestriction::SetValues(const TConnRestriction* r) {
  if (r == nullptr) return;
  updating_ = true;
  try {
    const TConnRestriction source = *r;  // r may be the edited one
    chkMinShare->setChecked(source.MinShareEnabled);
    chkMaxShare->setChecked(source.MaxShareEnabled);
    chkMaxHubs->setChecked(source.MaxHubsEnabled);
    chkMinSlots->setChecked(source.MinSlotsEnabled);
    chkMaxSlots->setChecked(source.MaxSlotsEnabled);
    chkSlotRatio->setChecked(source.SlotRatioEnabled);
    chkMayBeInPassiveMode->setChecked(source.MayBeInPassiveMode);
    chkAllowTagLessToByPass->setChecked(source.AllowTagLessToByPass);
    const std::pair<std::int64_t, std::pair<TAdvSpinEdit*, QComboBox*>> shares[] = {
        {source.MinShare, {seMinShare, cbMinShare}}, {source.MaxShare, {seMaxShare, cbMaxShare}}};
    for (const auto& [bytes, controls] : shares) {
      const TShareDisplay shown = ShareForDisplay(bytes);
      if (shown.Unit >= 0) controls.second->setCurrentIndex(shown.Unit);
      controls.first->SetValue(static_cast<std::int32_t>(std::min<std::int64_t>(shown.Number, 1024)));
    }
    seMaxHubs->SetValue(source.MaxHubs);
    seMinSlots->SetValue(source.MinSlots);
    seMaxSlots->SetValue(source.MaxSlots);
    seSlotRatio->SetValue(source.SlotRatio);
    shown_ = source;
    changed_.fill(false);
    WriteValues(*edited_);
  } catch (const std::exception& e) {
    updating_ = false;
    throw EGUIException("TframeConnRestriction.SetValues", e.what());
  }
  updating_ = false;
  SetModified(false);
}

void TframeConnRestriction::Attach(TConnRestriction* r) {
  if (r == nullptr) {
    if (!external_) autoApply_ = false;
    if (external_) {
      own_ = std::make_unique<TConnRestriction>();
      edited_ = own_.get();
      external_ = false;
      autoApply_ = false;
    }
    return;
  }
  own_.reset();
  edited_ = r;
  external_ = true;
  SetValues(r);
}

void TframeConnRestriction::ControlChanged(int value) {
  if (updating_) return;
  if (value >= 0) changed_[static_cast<std::size_t>(value)] = true;
  if (autoApply_) {
    GetValues(edited_);
  } else {
    TConnRestriction now = *edited_;
    WriteValues(now);
    SetModified(!(now == *edited_));
  }
  emit OnChange();
}

void TframeConnRestriction::SetModified(bool modified) {
  if (modified == modified_) return;
  modified_ = modified;
  emit OnModifiedChange(modified_);
}

void TframeConnRestriction::Commit(bool cancel) {
  if (cancel) return;
  if (autoApply_) {
    SetValues(edited_);
    return;
  }
  GetValues(edited_);
  SetModified(false);
}

void TframeConnRestriction::SetAutoApply(bool on) {
  if (!external_) return;
  if (on && modified_) {
    GetValues(edited_);
    SetModified(false);
  }
  autoApply_ = on;
}

void TframeConnRestriction::ResetValues() {
  // A new restriction's values: passive mode allowed, units in GiB.
  cbMinShare->blockSignals(true);
  cbMaxShare->blockSignals(true);
  cbMinShare->setCurrentIndex(kGiB);
  cbMaxShare->setCurrentIndex(kGiB);
  cbMinShare->blockSignals(false);
  cbMaxShare->blockSignals(false);
  const TConnRestriction fresh;
  SetValues(&fresh);
}

void TframeConnRestriction::SetControlsEnabled(bool on) {
  for (QWidget* w : std::initializer_list<QWidget*>{
           chkMinShare, cbMinShare, cbMaxShare, chkMaxShare, chkMaxHubs, chkSlotRatio, chkMaxSlots, chkMinSlots,
           chkMayBeInPassiveMode, chkAllowTagLessToByPass, seMinShare, seMaxShare, seMinSlots, seMaxHubs,
           seMaxSlots, seSlotRatio})
    w->setEnabled(on);
}
