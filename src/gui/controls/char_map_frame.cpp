#include "gui/controls/char_map_frame.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <utility>

#include "gui/text_1252.h"
#include "settings/settings.h"
#include "utils/constants.h"

QString TframeCharMap::BoxCaption(int code) {
  QString ch(CharFromByte(static_cast<unsigned char>(code)));
  if (ch == "&") ch = "&&";
  return QString("%1:").arg(code, 3, 10, QChar('0')) + ch;
}

TframeCharMap::TframeCharMap(QWidget* parent) : QWidget(parent) {
  auto* tabs = new QTabWidget(this);
  for (int half = 0; half < 2; ++half) {
    auto* page = new QWidget(tabs);
    auto* grid = new QGridLayout(page);
    for (int i = 0; i < 128; ++i) {
      const int code = half * 128 + i;
      auto* box = new QCheckBox(BoxCaption(code), page);
      box->setObjectName(QString("chk%1").arg(code, 3, 10, QChar('0')));
      grid->addWidget(box, i % 16, i / 16);
      boxes_[static_cast<std::size_t>(code)] = box;
      connect(box, &QCheckBox::clicked, this, [this, box](bool on) {
        // The code is read back from the caption, as each box says it.
        const int n = box->text().left(3).toInt();
        map_[static_cast<std::size_t>(n)] = on ? '1' : '0';
      });
    }
    tabs->addTab(page, half == 0 ? "Standard" : "Extended");
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(tabs);
}

void TframeCharMap::SetMap(const std::string& text) {
  if (text.size() != 256 || text == map_) return;
  for (std::size_t n = 0; n < 256; ++n) boxes_[n]->setChecked(text[n] == '1');
  map_ = text;
}

TfrmCharMapDialog::TfrmCharMapDialog(const QString& caption, TSetting setting, TAsk ask, QWidget* parent)
    : QDialog(parent),
      setting_(std::move(setting)),
      ask_(std::move(ask)),
      frame_(new TframeCharMap(this)),
      apply_(new QPushButton("Apply", this)),
      close_(new QPushButton("Close", this)),
      reset_(new QPushButton("Reset to default", this)) {
  setWindowTitle(caption);
  apply_->setObjectName("btnApply");
  close_->setObjectName("btnClose");
  reset_->setObjectName("btnReset");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(reset_);
  buttons->addStretch();
  buttons->addWidget(apply_);
  buttons->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame_);
  layout->addLayout(buttons);
  connect(apply_, &QPushButton::clicked, this, [this] {
    applyFlag_ = true;
    accept();
  });
  connect(close_, &QPushButton::clicked, this, [this] {
    applyFlag_ = false;
    reject();
  });
  connect(reset_, &QPushButton::clicked, this, [this] {
    if (frame_->Map() != setting_.Default && ask_("Are you sure you'd like to change to default?"))
      frame_->SetMap(setting_.Default);
  });
}

std::string TfrmCharMapDialog::InForce() const {
  // The table the record works from, whatever the length of its stored text.
  std::string map(256, '0');
  for (int c = 0; c < 256; ++c)
    if (setting_.InForce(static_cast<unsigned char>(c))) map[static_cast<std::size_t>(c)] = '1';
  return map;
}

bool TfrmCharMapDialog::Edit() {
  frame_->SetMap(InForce());
  applyFlag_ = false;
  exec();
  if (!applyFlag_) return false;
  setting_.Apply(frame_->Map());
  return true;
}

void TfrmCharMapDialog::done(int result) {
  if (!applyFlag_ && frame_->Map() != InForce() && ask_("Do you wish to apply these changes?"))
    applyFlag_ = true;
  QDialog::done(result);
}

TfrmAllowedNickChars::TfrmAllowedNickChars(TSettings& settings, TAsk ask, QWidget* parent)
    : TfrmCharMapDialog("Allowed nick chars",
                        {[&settings](unsigned char c) { return settings.NickCharAllowed(static_cast<char>(c)); },
                         [&settings](const std::string& map) { settings.SetAllowedNickChars(map); },
                         std::string(DefaultAllowedNickChars)},
                        std::move(ask), parent) {
  setObjectName("frmAllowedNickChars");
  for (int c = 0; c <= 32; ++c) Frame()->Box(c)->setEnabled(false);
  for (int c : {36, 96, 124, 126}) Frame()->Box(c)->setEnabled(false);
}

TfrmWordDelimiter::TfrmWordDelimiter(TSettings& settings, TAsk ask, QWidget* parent)
    : TfrmCharMapDialog("Word delimiters",
                        {[&settings](unsigned char c) { return settings.IsWordDelimiter(static_cast<char>(c)); },
                         [&settings](const std::string& map) { settings.SetWordDelimiters(map); },
                         std::string(DefaultWordDelimiters)},
                        std::move(ask), parent) {
  setObjectName("frmWordDelimiter");
}
