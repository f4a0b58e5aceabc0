#pragma once

#include <QTime>
#include <QWidget>
#include <functional>
#include <string_view>

#include "core/hub_feed.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTextEdit;
class QTimer;

// The Feed page: the coloured feed lines, newest at the top, its cleaner,
// "Clear" and the bot's main-chat field. Each feed entry is one paragraph
// of the view (line breaks inside a text stay inside it), so the cleaner
// counts entries, not screen lines. Text goes in as plain text, never as
// markup. Owns its child widgets and the cleaner timer.
class TFeedPane : public QWidget, public TFeedView {
  Q_OBJECT
 public:
  using TClock = std::function<QTime()>;
  // Gets "[hh:mm:ss] - text" of each feed line (the status bar).
  using TStatusSink = std::function<void(const QString& line)>;
  // Gets the bot field's text when Enter is pressed.
  using TBotSink = std::function<void(const QString& text)>;

  explicit TFeedPane(QWidget* parent = nullptr);

  void SetClock(TClock clock) { clock_ = std::move(clock); }
  void SetStatusSink(TStatusSink sink) { statusSink_ = std::move(sink); }
  void SetBotSink(TBotSink sink) { botSink_ = std::move(sink); }

  void ShowFeedLine(TFeedKind kind, std::string_view text) override;
  void ShowScriptOutput(std::string_view text) override;

  // The entries shown, newest first, as plain text.
  int EntryCount() const;
  QString Entry(int index) const;
  // The colour of the entry's text (after the time stamp).
  QColor EntryColour(int index) const;
  QColor StampColour(int index) const;

  // One tick of the cleaner (its timer runs every second).
  void CleanFeed();
  void Clear();

  static QColor KindColour(TFeedKind kind);

 private:
  void Insert(const QString& text, const QColor& textColour, const QColor& stampColour);
  void TrimTo(int limit);
  int Limit() const;
  void SendBotLine();

  QTextEdit* view_;
  QCheckBox* autoClean_;
  QSpinBox* autoCleanLimit_;
  QPushButton* clear_;
  QLineEdit* botLine_;
  QTimer* cleaner_;
  TClock clock_;
  TStatusSink statusSink_;
  TBotSink botSink_;
};
