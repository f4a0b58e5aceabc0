#include "gui/settings_binding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <algorithm>

#include "base/exceptions.h"
#include "gui/kavro_application.h"
#include "gui/page_busy.h"
#include "gui/text_1252.h"

int TriStateToCheck(TTriState state) {
  switch (state) {
    case TTriState::Checked: return Qt::Checked;
    case TTriState::Grayed: return Qt::PartiallyChecked;
    case TTriState::Unchecked: break;
  }
  return Qt::Unchecked;
}

TTriState TriStateFromCheck(int checkState) {
  if (checkState == Qt::Checked) return TTriState::Checked;
  if (checkState == Qt::PartiallyChecked) return TTriState::Grayed;
  return TTriState::Unchecked;
}

TSettingsBinder::TEntry& TSettingsBinder::Add(int group, const QWidget* control,
                                              std::function<void()> show,
                                              std::function<void()> store) {
  entries_.push_back(TEntry{group, control, std::move(show), std::move(store), false});
  return entries_.back();
}

void TSettingsBinder::Edited(TEntry& entry) {
  if (busy_) return;
  entry.Touched = true;
  if (changed_) GuardSlot([&] { changed_(entry.Group); });
}

void TSettingsBinder::Show(int group) {
  TBusyScope busy(busy_);
  for (TEntry& entry : entries_) {
    if (group >= 0 && entry.Group != group) continue;
    entry.Show();
    entry.Touched = false;
  }
}

void TSettingsBinder::Store(int group) {
  if (busy_) return;
  try {
    for (TEntry& entry : entries_)
      if (entry.Touched && (group < 0 || entry.Group == group)) entry.Store();
  } catch (const std::exception& e) {
    Show(group);
    throw EGUIException(place_, e.what());
  }
}

bool TSettingsBinder::Touched(const QWidget* control) const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [&](const TEntry& e) { return e.Control == control && e.Touched; });
}

void TSettingsBinder::Check(int group, QCheckBox* box, bool& value) {
  Check(group, box, [&value] { return value; }, [&value](bool on) { value = on; });
}

void TSettingsBinder::Check(int group, QCheckBox* box, std::function<bool()> get,
                            std::function<void(bool)> set) {
  TEntry& entry = Add(
      group, box, [box, get] { box->setChecked(get()); },
      [box, set] { set(box->isChecked()); });
  QObject::connect(box, &QCheckBox::toggled, box, [this, &entry] { Edited(entry); });
}

void TSettingsBinder::TriState(int group, QCheckBox* box, TTriState& value) {
  box->setTristate(true);
  TEntry& entry = Add(
      group, box,
      [box, &value] { box->setCheckState(static_cast<Qt::CheckState>(TriStateToCheck(value))); },
      [box, &value] { value = TriStateFromCheck(box->checkState()); });
  QObject::connect(box, &QCheckBox::stateChanged, box, [this, &entry] { Edited(entry); });
}

void TSettingsBinder::Spin(int group, QSpinBox* spin, int& value) {
  TEntry& entry = Add(
      group, spin, [spin, &value] { spin->setValue(value); },
      [spin, &value] { value = spin->value(); });
  QObject::connect(spin, &QSpinBox::valueChanged, spin, [this, &entry] { Edited(entry); });
}

void TSettingsBinder::SpinMs(int group, QSpinBox* spin, std::int64_t& value,
                             std::int64_t unitMs) {
  TEntry& entry = Add(
      group, spin,
      [spin, &value, unitMs] {
        const std::int64_t shown = std::clamp<std::int64_t>(value / unitMs, spin->minimum(),
                                                            spin->maximum());
        spin->setValue(static_cast<int>(shown));
      },
      [spin, &value, unitMs] { value = static_cast<std::int64_t>(spin->value()) * unitMs; });
  QObject::connect(spin, &QSpinBox::valueChanged, spin, [this, &entry] { Edited(entry); });
}

void TSettingsBinder::Text(int group, QLineEdit* edit, std::string& value) {
  Text(group, edit, [&value] { return value; }, [&value](const std::string& text) { value = text; });
}

void TSettingsBinder::Text(int group, QLineEdit* edit, std::function<std::string()> get,
                           std::function<void(const std::string&)> set) {
  TEntry& entry = Add(
      group, edit, [edit, get] { edit->setText(TextFromBytes(get())); },
      [edit, set] { set(BytesFromText(edit->text())); });
  QObject::connect(edit, &QLineEdit::textChanged, edit, [this, &entry] { Edited(entry); });
}

void TSettingsBinder::Memo(int group, QPlainTextEdit* memo, std::string& value) {
  TEntry& entry = Add(
      group, memo, [memo, &value] { memo->setPlainText(MemoFromBytes(value)); },
      [memo, &value] { value = BytesFromMemo(memo->toPlainText()); });
  QObject::connect(memo, &QPlainTextEdit::textChanged, memo, [this, &entry] { Edited(entry); });
}

void TSettingsBinder::Combo(int group, QComboBox* combo, std::function<int()> get,
                            std::function<void(int)> set) {
  TEntry& entry = Add(
      group, combo, [combo, get] { combo->setCurrentIndex(get()); },
      [combo, set] {
        if (combo->currentIndex() >= 0) set(combo->currentIndex());
      });
  QObject::connect(combo, &QComboBox::currentIndexChanged, combo,
                   [this, &entry] { Edited(entry); });
}

QCheckBox* NewCheck(QWidget* parent, const char* name, const QString& caption) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

QSpinBox* NewSpin(QWidget* parent, const char* name, int minimum, int maximum, int step) {
  auto* spin = new QSpinBox(parent);
  spin->setObjectName(QString::fromLatin1(name));
  spin->setRange(minimum, maximum);
  spin->setSingleStep(step);
  return spin;
}

QLineEdit* NewEdit(QWidget* parent, const char* name, const QString& hint) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  if (!hint.isEmpty()) edit->setToolTip(hint);
  return edit;
}
