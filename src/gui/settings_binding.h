#pragma once

#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "utils/xml_values.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QWidget;

// The two-way copy between one page's controls and fields of the settings
// record. A show fills every control and forgets which ones the operator
// touched; a store writes back only the controls touched since then, so a
// value the control cannot show exactly (finer than its unit, beyond its
// range) stays as stored until its own control is edited. Does not own the
// controls or the record. Main thread only.
class TSettingsBinder {
 public:
  // Told the group of a control the operator changed (never during a show).
  using TChanged = std::function<void(int group)>;
  // `place` names the page's store in errors ("GUI.Users.StoreSettings").
  TSettingsBinder(std::string place, TChanged changed)
      : place_(std::move(place)), changed_(std::move(changed)) {}
  TSettingsBinder(const TSettingsBinder&) = delete;
  TSettingsBinder& operator=(const TSettingsBinder&) = delete;

  bool Busy() const { return busy_; }
  bool& BusyFlag() { return busy_; }
  // Fills every control of `group` (-1: all groups) from the record.
  void Show(int group = -1);
  // Writes the touched controls of `group` (-1: all) back to the record. A
  // write that fails shows the record again and throws EGUIException.
  void Store(int group = -1);
  // Does `control` hold an edit not yet shown over?
  bool Touched(const QWidget* control) const;

  void Check(int group, QCheckBox* box, bool& value);
  void Check(int group, QCheckBox* box, std::function<bool()> get, std::function<void(bool)> set);
  // 0 unticked, 1 ticked, 2 grey; any other stored state shows unticked.
  void TriState(int group, QCheckBox* box, TTriState& value);
  void Spin(int group, QSpinBox* spin, int& value);
  // A 64-bit millisecond value shown in units of `unitMs` (rounded down).
  void SpinMs(int group, QSpinBox* spin, std::int64_t& value, std::int64_t unitMs);
  void Text(int group, QLineEdit* edit, std::string& value);
  void Text(int group, QLineEdit* edit, std::function<std::string()> get,
            std::function<void(const std::string&)> set);
  // CR LF in the record, "\n" in the box.
  void Memo(int group, QPlainTextEdit* memo, std::string& value);
  void Combo(int group, QComboBox* combo, std::function<int()> get, std::function<void(int)> set);

 private:
  struct TEntry {
    int Group = 0;
    const QWidget* Control = nullptr;
    std::function<void()> Show;
    std::function<void()> Store;
    bool Touched = false;
  };
  TEntry& Add(int group, const QWidget* control, std::function<void()> show,
              std::function<void()> store);
  void Edited(TEntry& entry);

  std::string place_;
  TChanged changed_;
  std::deque<TEntry> entries_;  // stable addresses: the signals hold them
  bool busy_ = false;
};

// Named controls for the settings pages; each belongs to `parent`.
QCheckBox* NewCheck(QWidget* parent, const char* name, const QString& caption);
QSpinBox* NewSpin(QWidget* parent, const char* name, int minimum, int maximum, int step = 1);
QLineEdit* NewEdit(QWidget* parent, const char* name, const QString& hint = {});

// Three-state box states as the record stores them.
int TriStateToCheck(TTriState state);
TTriState TriStateFromCheck(int checkState);
