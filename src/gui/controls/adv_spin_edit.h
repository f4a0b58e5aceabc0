#pragma once

#include <QWidget>
#include <cstdint>

class QLineEdit;
class QToolButton;

enum TSpinDirection { sdForward, sdBackward };

// An integer edit with up and down buttons. Unlike QSpinBox it can be
// unbounded (both bounds 0) and can count backwards (MaxValue below
// MinValue). Owns its line edit and buttons.
class TAdvSpinEdit : public QWidget {
  Q_OBJECT

 public:
  explicit TAdvSpinEdit(QWidget* parent = nullptr);

  std::int32_t Value() const { return value_; }
  void SetValue(std::int32_t value);
  std::int32_t MinValue() const { return minValue_; }
  void SetMinValue(std::int32_t value);
  std::int32_t MaxValue() const { return maxValue_; }
  void SetMaxValue(std::int32_t value);
  std::int32_t Increment() const { return increment_; }
  void SetIncrement(std::int32_t value) { increment_ = value; }
  TSpinDirection Direction() const { return direction_; }
  void SetDirection(TSpinDirection direction);
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool on) { autoSelect_ = on; }

  void StepUp();
  void StepDown();

  QLineEdit* Edit() const { return edit_; }
  QToolButton* UpButton() const { return up_; }
  QToolButton* DownButton() const { return down_; }

 signals:
  void ValueChanged(int value);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::int32_t Clamp(std::int64_t value) const;
  // The text as a number; the current value when it does not read as one.
  std::int32_t TextValue() const;
  void Store(std::int32_t value);
  void ShowValue();

  QLineEdit* edit_;
  QToolButton* up_;
  QToolButton* down_;
  std::int32_t value_ = 0;
  std::int32_t minValue_ = 0;
  std::int32_t maxValue_ = 0;
  std::int32_t increment_ = 1;
  TSpinDirection direction_ = sdForward;
  bool autoSelect_ = true;
};
