#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QCloseEvent;
class QLabel;

// The start-up window: says what the start-up is doing. It refuses every
// close request; the program hides and frees it when the start-up is done.
class TfrmSplashScreen : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmSplashScreen(QWidget* parent = nullptr);

  // Shows the line at once (pending paint events run).
  void SetStatus(const QString& text);
  // Every line shown, in order.
  const QStringList& History() const { return history_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* status_;
  QStringList history_;
};
