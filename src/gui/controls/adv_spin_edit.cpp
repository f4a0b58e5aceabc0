#include "gui/controls/adv_spin_edit.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

namespace {

bool TypedKeyAllowed(const QString& text) {
  if (text.size() != 1) return text.isEmpty();  // a bare key (arrows, Home) types nothing
  const QChar c = text[0];
  if (c.unicode() < 32) return c.unicode() != 13;
  return c == '+' || c == '-' || (c >= '0' && c <= '9');
}

}  // namespace

TAdvSpinEdit::TAdvSpinEdit(QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  edit_->setText("0");
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* b : {up_, down_}) {
    b->setFixedWidth(15);
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
  }
  auto* buttons = new QVBoxLayout;
  buttons->setContentsMargins(0, 0, 0, 0);
  buttons->setSpacing(0);
  buttons->addWidget(up_);
  buttons->addWidget(down_);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(edit_);
  layout->addLayout(buttons);
  setFocusProxy(edit_);
  edit_->installEventFilter(this);
  connect(up_, &QToolButton::clicked, this, [this] { StepUp(); });
  connect(down_, &QToolButton::clicked, this, [this] { StepDown(); });
}

std::int32_t TAdvSpinEdit::Clamp(std::int64_t value) const {
  std::int64_t v = value;
  if (minValue_ != 0 || maxValue_ != 0) {
    if (direction_ == sdForward) {
      if (v > maxValue_) v = maxValue_;
      if (v < minValue_) v = minValue_;
    } else {  // MaxValue holds the smaller bound
      if (v < maxValue_) v = maxValue_;
      if (v > minValue_) v = minValue_;
    }
  }
  // Unbounded still means a 32-bit value: a step past the end stops there.
  v = std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::int32_t>::max());
  return static_cast<std::int32_t>(v);
}

std::int32_t TAdvSpinEdit::TextValue() const {
  bool ok = false;
  const int v = edit_->text().toInt(&ok);
  return ok ? v : value_;
}

void TAdvSpinEdit::Store(std::int32_t value) {
  const std::int32_t clamped = Clamp(value);
  const bool changed = clamped != value_;
  value_ = clamped;
  ShowValue();
  if (changed) emit ValueChanged(value_);
}

void TAdvSpinEdit::ShowValue() {
  const QString text = QString::number(value_);
  if (edit_->text() == text) return;
  const int caret = edit_->cursorPosition();
  edit_->setText(text);
  edit_->setCursorPosition(std::min(caret, static_cast<int>(text.size())));
}

void TAdvSpinEdit::SetValue(std::int32_t value) {
  if (value == value_) return;
  Store(value);
}

void TAdvSpinEdit::SetMinValue(std::int32_t value) {
  minValue_ = value;
  if (minValue_ > maxValue_) direction_ = sdBackward;
  else if (minValue_ < maxValue_) direction_ = sdForward;
}

void TAdvSpinEdit::SetMaxValue(std::int32_t value) {
  maxValue_ = value;
  if (maxValue_ < minValue_) direction_ = sdBackward;
  else if (maxValue_ > minValue_) direction_ = sdForward;
}

void TAdvSpinEdit::SetDirection(TSpinDirection direction) {
  direction_ = direction;
  if (direction == sdForward && maxValue_ < minValue_) minValue_ = maxValue_;
  if (direction == sdBackward && minValue_ < maxValue_) maxValue_ = minValue_;
}

void TAdvSpinEdit::StepUp() {
  const std::int64_t step = direction_ == sdForward ? increment_ : -std::int64_t{increment_};
  Store(Clamp(std::int64_t{value_} + step));
}

void TAdvSpinEdit::StepDown() {
  const std::int64_t step = direction_ == sdForward ? increment_ : -std::int64_t{increment_};
  Store(Clamp(std::int64_t{value_} - step));
}

bool TAdvSpinEdit::eventFilter(QObject* watched, QEvent* event) {
  if (watched != edit_) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::KeyPress: {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Up) {
        StepUp();
        return true;
      }
      if (key->key() == Qt::Key_Down) {
        StepDown();
        return true;
      }
      if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || !TypedKeyAllowed(key->text())) {
        QApplication::beep();
        return true;
      }
      break;
    }
    case QEvent::KeyRelease: {
      const std::int32_t typed = TextValue();
      if (typed != value_) Store(typed);
      break;
    }
    case QEvent::FocusOut:
      Store(TextValue());
      break;
    case QEvent::FocusIn:
      if (autoSelect_) edit_->selectAll();
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}
