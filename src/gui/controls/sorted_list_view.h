#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QTreeWidget>

class TColumnFitter;

// A report list kept in order of one column, with an index from each row's
// identifier text to the row. Rows added one at a time stand where a full
// re-sort would put them: one comparator decides both. Its columns follow
// their contents on each load. Owns its rows (as any QTreeWidget) and the
// index.
class TSortedListView : public QTreeWidget {
  Q_OBJECT

 public:
  explicit TSortedListView(QWidget* parent = nullptr);
  ~TSortedListView() override;

  // 0: the caption (column 0); n: column n.
  int UniqueIdentifierColumn() const { return idColumn_; }
  void SetUniqueIdentifierColumn(int column) { idColumn_ = column; }

  // texts[0] is the caption, the rest the further columns. A row whose
  // identifier is present already is returned unchanged.
  QTreeWidgetItem* AddItem(const QStringList& texts);
  QTreeWidgetItem* FindItem(const QString& key) const;

  int SortColumn() const { return sortColumn_; }
  void SetSortColumn(int column);
  bool SortReverse() const { return reverse_; }
  void SetSortReverse(bool reverse);
  // The header's click: the same column toggles the direction.
  void ClickColumn(int column);

  void BeginUpdate();
  void EndUpdate();
  int Count() const { return topLevelItemCount(); }
  QTreeWidgetItem* Item(int index) const { return topLevelItem(index); }

  // <0, 0, >0 as row a stands before, with, after row b.
  int CompareRows(const QTreeWidgetItem& a, const QTreeWidgetItem& b) const;

 private:
  QString Identifier(const QTreeWidgetItem& item) const { return item.text(idColumn_); }
  void Resort();
  void ForgetRows(int first, int last);

  int idColumn_ = 0;
  int sortColumn_ = 0;
  bool reverse_ = false;
  int updating_ = 0;
  TColumnFitter* fitter_ = nullptr;  // a child of the list
  QHash<QString, QTreeWidgetItem*> index_;
};
