#pragma once

#include <QWidget>
#include <exception>
#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class TComPort;
class TComPortLog;

// The "ComPort" page: opens and closes the serial control line, sends a
// line by hand and shows the log of received lines. Does not own the port
// or the log.
class TComPortGui : public QWidget {
  Q_OBJECT

 public:
  using TErrorReport = std::function<void(std::exception_ptr)>;

  // `reportError` takes what a button's action raised (a failed open).
  TComPortGui(TComPort& port, TComPortLog& log, TErrorReport reportError, QWidget* parent = nullptr);

  // Fills the port list with the serial devices present.
  void RefreshPorts();

  // The button's actions; they raise what the port raises.
  void OpenOrClose();
  void SendTyped();

  QComboBox* PortList() const { return ports_; }
  QPushButton* OpenButton() const { return open_; }
  QCheckBox* SendAfterOpen() const { return sendAfterOpen_; }
  QLineEdit* AfterOpenText() const { return afterOpenText_; }
  QCheckBox* SendBeforeClose() const { return sendBeforeClose_; }
  QLineEdit* BeforeCloseText() const { return beforeCloseText_; }
  QPlainTextEdit* LogView() const { return logView_; }
  QLineEdit* SendField() const { return sendField_; }
  QPushButton* SendButton() const { return send_; }
  QTreeWidget* Commands() const { return commands_; }

 private:
  void Guarded(const std::function<void()>& action);

  TComPort& port_;
  TErrorReport reportError_;
  QComboBox* ports_;
  QPushButton* open_;
  QCheckBox* sendAfterOpen_;
  QLineEdit* afterOpenText_;
  QCheckBox* sendBeforeClose_;
  QLineEdit* beforeCloseText_;
  QPlainTextEdit* logView_;
  QLineEdit* sendField_;
  QPushButton* send_;
  QTreeWidget* commands_;
};
