#include "gui/feed_pane.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/text_1252.h"

namespace {

constexpr int kDefaultLimit = 50;
constexpr int kCleanerMs = 1000;

// Line breaks stay inside the entry's paragraph.
QString OneParagraph(std::string_view bytes) {
  QString text = TextFromBytes(bytes);
  text.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
  text.replace(QChar(u'\n'), QChar::LineSeparator);
  text.replace(QChar(u'\r'), QChar::LineSeparator);
  return text;
}

}  // namespace

TFeedPane::TFeedPane(QWidget* parent)
    : QWidget(parent),
      view_(new QTextEdit(this)),
      autoClean_(new QCheckBox(QStringLiteral("Autoclean feed, keep lines:"), this)),
      autoCleanLimit_(new QSpinBox(this)),
      clear_(new QPushButton(QStringLiteral("Clear"), this)),
      botLine_(new QLineEdit(this)),
      cleaner_(new QTimer(this)),
      clock_([] { return QTime::currentTime(); }) {
  view_->setObjectName(QStringLiteral("reFeed"));
  view_->setReadOnly(true);
  view_->setAcceptRichText(false);
  view_->setUndoRedoEnabled(false);
  autoClean_->setObjectName(QStringLiteral("cbAutocleanEnabled"));
  autoClean_->setChecked(true);
  autoCleanLimit_->setObjectName(QStringLiteral("aseAutoClean"));
  autoCleanLimit_->setRange(0, 100000);
  autoCleanLimit_->setValue(kDefaultLimit);
  clear_->setObjectName(QStringLiteral("btnClearFeed"));
  botLine_->setObjectName(QStringLiteral("edtBotMessage"));
  botLine_->setToolTip(QStringLiteral("Send message to mainchat as bot"));
  botLine_->setPlaceholderText(QStringLiteral("Send message to mainchat as bot"));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_, 1);
  auto* row = new QHBoxLayout;
  row->addWidget(autoClean_);
  row->addWidget(autoCleanLimit_);
  row->addStretch(1);
  row->addWidget(clear_);
  layout->addLayout(row);
  layout->addWidget(botLine_);

  connect(clear_, &QPushButton::clicked, this, &TFeedPane::Clear);
  connect(botLine_, &QLineEdit::returnPressed, this, &TFeedPane::SendBotLine);
  connect(cleaner_, &QTimer::timeout, this, &TFeedPane::CleanFeed);
  cleaner_->start(kCleanerMs);
}

QColor TFeedPane::KindColour(TFeedKind kind) {
  switch (kind) {
    case TFeedKind::Event: return QColor(Qt::blue);
    case TFeedKind::Action:
    case TFeedKind::Kick: return QColor(Qt::darkGreen);
    case TFeedKind::GUI: return QColor(0x80, 0x80, 0x00);  // olive
    case TFeedKind::Error: return QColor(Qt::red);
    case TFeedKind::TextCommand: break;
  }
  return QColor(Qt::black);
}

void TFeedPane::ShowFeedLine(TFeedKind kind, std::string_view text) {
  if (text.empty()) return;
  const QString stamp = clock_().toString(QStringLiteral("hh:mm:ss"));
  Insert(OneParagraph(text), KindColour(kind), QColor(Qt::black));
  if (statusSink_)
    statusSink_(QStringLiteral("[") + stamp + QStringLiteral("] - ") + TextFromBytes(text));
}

void TFeedPane::ShowScriptOutput(std::string_view text) {
  if (text.empty()) return;
  // Script lines trim at once; they never reach the status bar.
  if (autoClean_->isChecked() && Limit() > 0) TrimTo(Limit() - 1);
  Insert(OneParagraph(text), QColor(Qt::gray), QColor(Qt::gray));
}

void TFeedPane::Insert(const QString& text, const QColor& textColour, const QColor& stampColour) {
  QTextCursor cursor(view_->document());
  cursor.movePosition(QTextCursor::Start);
  QTextCharFormat stampFormat;
  stampFormat.setForeground(stampColour);
  QTextCharFormat textFormat;
  textFormat.setForeground(textColour);
  const QString stamp = clock_().toString(QStringLiteral("hh:mm:ss"));
  cursor.beginEditBlock();
  cursor.insertText(QStringLiteral("[") + stamp + QStringLiteral("]"), stampFormat);
  cursor.insertText(QStringLiteral(" ") + text, textFormat);
  cursor.insertBlock();
  cursor.endEditBlock();
}

// The document keeps one empty paragraph after the newest-first entries.
int TFeedPane::EntryCount() const { return view_->document()->blockCount() - 1; }

QString TFeedPane::Entry(int index) const {
  QString text = view_->document()->findBlockByNumber(index).text();
  text.replace(QChar::LineSeparator, QChar(u'\n'));
  return text;
}

QColor TFeedPane::EntryColour(int index) const {
  const QTextBlock block = view_->document()->findBlockByNumber(index);
  const int stampEnd = static_cast<int>(block.text().indexOf(u']'));
  QTextCursor cursor(block);
  cursor.setPosition(block.position() + stampEnd + 2);
  return cursor.charFormat().foreground().color();
}

QColor TFeedPane::StampColour(int index) const {
  const QTextBlock block = view_->document()->findBlockByNumber(index);
  QTextCursor cursor(block);
  cursor.setPosition(block.position() + 1);
  return cursor.charFormat().foreground().color();
}

int TFeedPane::Limit() const { return autoCleanLimit_->value(); }

void TFeedPane::TrimTo(int limit) {
  const int excess = EntryCount() - limit;
  if (excess <= 0) return;
  QTextCursor cursor(view_->document());
  // From the start of the oldest entry to kept to the document's end.
  cursor.setPosition(view_->document()->findBlockByNumber(limit).position());
  cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
}

void TFeedPane::CleanFeed() {
  if (Limit() <= 0 || !autoClean_->isChecked()) return;
  if (EntryCount() > Limit()) TrimTo(Limit());
}

void TFeedPane::Clear() { view_->clear(); }

void TFeedPane::SendBotLine() {
  const QString text = botLine_->text();
  if (botSink_) botSink_(text);
  botLine_->clear();
}
