#include "gui/dialogs.h"

#include <QMessageBox>

namespace {

QMessageBox::Icon IconOf(TDialogs::TKind kind) {
  switch (kind) {
    case TDialogs::TKind::Confirmation: return QMessageBox::Question;
    case TDialogs::TKind::Information: return QMessageBox::Information;
    case TDialogs::TKind::Warning: return QMessageBox::Warning;
    case TDialogs::TKind::Error: return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButton StandardOf(TDialogs::TButton button) {
  switch (button) {
    case TDialogs::TButton::Yes: return QMessageBox::Yes;
    case TDialogs::TButton::No: return QMessageBox::No;
    case TDialogs::TButton::Ok: return QMessageBox::Ok;
    case TDialogs::TButton::Cancel: return QMessageBox::Cancel;
  }
  return QMessageBox::NoButton;
}

}  // namespace

TDialogs::TButton TMessageBoxDialogs::Ask(const QString& text, TKind kind,
                                          const std::vector<TButton>& buttons) {
  QMessageBox box(IconOf(kind), QStringLiteral("Kavro"), text, QMessageBox::NoButton, parent_);
  for (const TButton button : buttons) box.addButton(StandardOf(button));
  const int answer = box.exec();
  for (const TButton button : buttons)
    if (answer == StandardOf(button)) return button;
  // Closed by Escape or the title bar: the last button is the safe one.
  return buttons.empty() ? TButton::Cancel : buttons.back();
}

void TMessageBoxDialogs::Inform(const QString& text, TKind kind) {
  QMessageBox box(IconOf(kind), QStringLiteral("Kavro"), text, QMessageBox::Ok, parent_);
  box.exec();
}
