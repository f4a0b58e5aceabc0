#pragma once

#include <QWidget>

class QTreeWidget;
class QTreeWidgetItem;
class QString;
class TKavroRoot;

// The Blocked page: one row (IP, nick, "0") per logged-in user an operator
// blocked. Owns its list; reads the root, which must outlive it.
class TBlockedGui : public QWidget {
  Q_OBJECT
 public:
  explicit TBlockedGui(TKavroRoot& root, QWidget* parent = nullptr);

  void Refresh();
  QTreeWidget* List() const { return list_; }

 private:
  QTreeWidgetItem* Row(const QString& nick) const;

  TKavroRoot& root_;
  QTreeWidget* list_;
};
