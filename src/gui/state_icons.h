#pragma once

#include <QObject>
#include <Qt>

class QEvent;
class QIcon;
class QTreeWidget;
class QTreeWidgetItem;

// The lists that mark each row with a state image; each has its own set.
enum class TStateImageSet { Accounts, Scanner, TextCommands, Profiles, HubList };

// Column 0 of a marked row keeps its state and the image it shows.
inline constexpr int kRowStateRole = Qt::UserRole + 20;
inline constexpr int kRowImageRole = Qt::UserRole + 21;

// The states of a set. A row selected in the focused list shows image
// state + StateCount: the second half of the set.
int StateCount(TStateImageSet set);
// Image `image` of a set, drawn once per process; null outside the set.
QIcon StateIcon(TStateImageSet set, int image);
// The state a row keeps, and the image it shows; -1 for an unmarked row.
int RowState(const QTreeWidgetItem& row);
int RowImage(const QTreeWidgetItem& row);

// Keeps the state images of one list: a row's state is set by its page,
// and the image follows the selection and the list's focus. Lives as a
// child of the list; owns nothing else.
class TStateImages final : public QObject {
 public:
  TStateImages(QTreeWidget& list, TStateImageSet set);

  void SetState(QTreeWidgetItem& row, int state);
  // Every row's image anew.
  void Refresh();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowImage(QTreeWidgetItem& row, bool focused);

  QTreeWidget& list_;
  TStateImageSet set_;
};
