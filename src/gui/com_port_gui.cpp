#include "gui/com_port_gui.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <utility>

#include "core/com_port.h"
#include "core/com_port_control.h"
#include "gui/text_1252.h"
#include "platform/serial_port.h"

TComPortGui::TComPortGui(TComPort& port, TComPortLog& log, TErrorReport reportError, QWidget* parent)
    : QWidget(parent),
      port_(port),
      reportError_(std::move(reportError)),
      ports_(new QComboBox(this)),
      open_(new QPushButton("Open Port", this)),
      sendAfterOpen_(new QCheckBox("Send message after open the comport", this)),
      afterOpenText_(new QLineEdit("KV-PO", this)),
      sendBeforeClose_(new QCheckBox("Send message before close the comport", this)),
      beforeCloseText_(new QLineEdit("KV-PC", this)),
      logView_(new QPlainTextEdit(this)),
      sendField_(new QLineEdit(this)),
      send_(new QPushButton("Send", this)),
      commands_(new QTreeWidget(this)) {
  setObjectName("ComPort");
  ports_->setObjectName("cbPorts");
  open_->setObjectName("btnOpenPort");
  logView_->setObjectName("memLog");
  logView_->setReadOnly(true);
  sendField_->setObjectName("edSend");
  send_->setObjectName("btnSend");

  commands_->setHeaderLabels({"Command", "Action"});
  commands_->setRootIsDecorated(false);
  const std::pair<const char*, const char*> commands[] = {{"KV+SSST", "Stars the hub"},
                                                          {"KV+SSSP", "Stops the hub"},
                                                          {"KV+SSWP=<num>", "Change the Work pace"},
                                                          {"KV+STUC", "Shows Users in hub"},
                                                          {"KV+SSUL", "View the user limit"}};
  for (const auto& [command, hint] : commands) {
    auto* item = new QTreeWidgetItem(commands_, {command, hint});
    item->setToolTip(0, hint);
  }
  auto* commandBox = new QGroupBox("Commands", this);
  (new QVBoxLayout(commandBox))->addWidget(commands_);

  auto* top = new QHBoxLayout;
  top->addWidget(ports_, 1);
  top->addWidget(open_);
  auto* options = new QGridLayout;
  options->addWidget(sendAfterOpen_, 0, 0);
  options->addWidget(afterOpenText_, 0, 1);
  options->addWidget(sendBeforeClose_, 1, 0);
  options->addWidget(beforeCloseText_, 1, 1);
  auto* sendRow = new QHBoxLayout;
  sendRow->addWidget(sendField_, 1);
  sendRow->addWidget(send_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(options);
  layout->addWidget(logView_, 1);
  layout->addLayout(sendRow);
  layout->addWidget(commandBox);

  log.OnCleared = [this] { logView_->clear(); };
  log.OnAdded = [this](const std::string& line) {
    // The line still ends with its terminator; the view adds its own break.
    std::string shown = line;
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r')) shown.pop_back();
    logView_->appendPlainText(TextFromBytes(shown));
  };
  connect(open_, &QPushButton::clicked, this, [this] { Guarded([this] { OpenOrClose(); }); });
  connect(send_, &QPushButton::clicked, this, [this] { Guarded([this] { SendTyped(); }); });
  RefreshPorts();
}

void TComPortGui::Guarded(const std::function<void()>& action) {
  try {
    action();
  } catch (...) {
    if (reportError_) reportError_(std::current_exception());
  }
}

void TComPortGui::RefreshPorts() {
  if (!ports_->isEnabled()) return;  // the open port's entry stays put
  const QString current = ports_->currentText();
  ports_->clear();
  for (const std::string& name : TSerialPort::ListPorts()) ports_->addItem(QString::fromStdString(name));
  const int keep = ports_->findText(current);
  if (keep >= 0) ports_->setCurrentIndex(keep);
}

void TComPortGui::OpenOrClose() {
  if (ports_->isEnabled()) {
    ports_->setEnabled(false);
    open_->setText("Close Port");
    port_.Port = ports_->currentText().toStdString();
    try {
      port_.Open();
    } catch (...) {
      // Back to closed, so the next press opens again.
      ports_->setEnabled(true);
      open_->setText("Open Port");
      throw;
    }
    if (sendAfterOpen_->isChecked()) port_.Write(BytesFromText(afterOpenText_->text()) + "\r\n");
    return;
  }
  if (sendBeforeClose_->isChecked()) port_.Write(BytesFromText(beforeCloseText_->text()) + "\r\n");
  port_.Close();
  ports_->setEnabled(true);
  open_->setText("Open Port");
}

void TComPortGui::SendTyped() { port_.Write(BytesFromText(sendField_->text()) + "\r\n"); }
