#include "gui/controls/profile_access_check_box.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

TProfileAccessCheckBox::TProfileAccessCheckBox(QWidget* parent)
    : QAbstractButton(parent),
      hints_{"Not allowed", "Allowed on users with less profile level",
             "Allowed on users with less or equal profile level",
             "Allowed on all users, regardless of profile level"} {
  setCheckable(true);  // so a click runs nextCheckState
  setFocusPolicy(Qt::StrongFocus);
  setToolTip(hints_[state_]);
  connect(this, &QAbstractButton::clicked, this, [this] { emit OnClick(); });
}

void TProfileAccessCheckBox::SetState(TProfileAccess state) {
  state_ = state;
  setToolTip(hints_[state_]);
  update();
}

void TProfileAccessCheckBox::SetHint(TProfileAccess state, const QString& text) {
  hints_[state] = text;
  if (state == state_) setToolTip(text);
}

void TProfileAccessCheckBox::nextCheckState() {
  setFocus(Qt::MouseFocusReason);
  SetState(static_cast<TProfileAccess>((state_ + 1) % 4));
}

void TProfileAccessCheckBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect box(0, (height() - 13) / 2, 13, 13);
  p.setPen(palette().color(isEnabled() ? QPalette::WindowText : QPalette::Mid));
  p.fillRect(box, palette().color(isDown() ? QPalette::Button : QPalette::Base));
  p.drawRect(box.adjusted(0, 0, -1, -1));
  const QRect inner = box.adjusted(3, 3, -3, -3);
  switch (state_) {
    case paLower: p.drawLine(inner.bottomLeft(), inner.bottomRight()); break;  // below only
    case paSame: p.fillRect(inner.adjusted(0, inner.height() / 2, 0, 0), p.pen().color()); break;
    case paHigher: p.fillRect(inner, p.pen().color()); break;
    case paNone: break;
  }
  const QRect caption = rect().adjusted(18, 0, 0, 0);
  p.drawText(caption, Qt::AlignVCenter | Qt::AlignLeft, text());
  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = p.boundingRect(caption, Qt::AlignVCenter | Qt::AlignLeft, text()).adjusted(-1, 0, 1, 0);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
  }
}
