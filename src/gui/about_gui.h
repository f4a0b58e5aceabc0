#pragma once

#include <QWidget>

class QLabel;

// The About page: what the program is, its history, and two links opened
// with the desktop's default handler. Owns its labels.
class TAboutGui : public QWidget {
  Q_OBJECT
 public:
  explicit TAboutGui(QWidget* parent = nullptr);

  // Fills the texts; the start-up's "about" step.
  void Show();
  QLabel* Credits() const { return credits_; }

 private:
  QLabel* title_;
  QLabel* credits_;
  QLabel* history_;
  QLabel* homeLink_;
  QLabel* protocolLink_;
};
