#pragma once

#include <QAbstractButton>
#include <array>

#include "security/profile_access.h"

// A four-state check box over a level right: each click moves to the next
// state and the hint tells what the state allows.
class TProfileAccessCheckBox : public QAbstractButton {
  Q_OBJECT

 public:
  explicit TProfileAccessCheckBox(QWidget* parent = nullptr);

  TProfileAccess State() const { return state_; }
  void SetState(TProfileAccess state);
  QString Hint(TProfileAccess state) const { return hints_[state]; }
  void SetHint(TProfileAccess state, const QString& text);

  QSize sizeHint() const override { return {200, 17}; }

 signals:
  void OnClick();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void nextCheckState() override;

 private:
  TProfileAccess state_ = paNone;
  std::array<QString, 4> hints_;
};
