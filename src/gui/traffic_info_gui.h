#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>

class QGroupBox;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;
class TKavroRoot;

// The Traffic page: one row per logged-in nick, and the transfer counters
// of the chosen one. Owns its widgets and the shown nick; reads the root,
// which must outlive it.
class TTrafficInfoGui : public QWidget {
  Q_OBJECT
 public:
  explicit TTrafficInfoGui(TKavroRoot& root, QWidget* parent = nullptr);

  // Milliseconds of the hub clock; the connect tick's clock by default.
  void SetTicks(std::function<std::uint64_t()> ticks) { ticks_ = std::move(ticks); }
  void Refresh();
  // Shows the row of `nick`; a nick gone meanwhile loses its row.
  void SelectNick(const QString& nick);

  QTreeWidget* List() const { return list_; }
  QString Caption() const;
  QString ShownNick() const { return shown_; }
  QString Value(const QString& caption) const;

 private:
  QTreeWidgetItem* Row(const QString& nick) const;
  void DeleteRow(QTreeWidgetItem* row);
  void ShowDetails(const QString& nick);
  void ClearDetails();

  TKavroRoot& root_;
  std::function<std::uint64_t()> ticks_;
  QTreeWidget* list_;
  QGroupBox* box_;
  std::map<QString, QLabel*> values_;
  QString shown_;  // the row whose details are shown; "" for none
};
