#include "gui/controls/sorted_list_view.h"

#include <QHeaderView>
#include <algorithm>
#include <string>
#include <vector>

#include "base/case_tables.h"
#include "gui/controls/column_fitter.h"
#include "gui/text_1252.h"

namespace {

int CompareText(const QString& a, const QString& b) {
  const int r = CompareTextPChar(BytesFromText(a), BytesFromText(b));
  return (r > 0) - (r < 0);
}

}  // namespace

TSortedListView::TSortedListView(QWidget* parent) : QTreeWidget(parent) {
  setRootIsDecorated(false);
  setSortingEnabled(false);  // the order is ours, not the model's
  setSelectionMode(QAbstractItemView::SingleSelection);
  header()->setSectionsClickable(true);
  header()->setSortIndicatorShown(true);
  header()->setSortIndicator(0, Qt::AscendingOrder);
  connect(header(), &QHeaderView::sectionClicked, this, [this](int column) { ClickColumn(column); });
  // Rows may go by any means (delete, takeTopLevelItem, clear): the index
  // follows the model.
  connect(model(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
          [this](const QModelIndex& parentIndex, int first, int last) {
            if (!parentIndex.isValid()) ForgetRows(first, last);
          });
  connect(model(), &QAbstractItemModel::modelAboutToBeReset, this, [this] { index_.clear(); });
  fitter_ = &TColumnFitter::Attach(*this);
}

TSortedListView::~TSortedListView() {
  // The base class frees the rows after this part is gone: no index then.
  disconnect(model(), nullptr, this, nullptr);
  disconnect(model(), nullptr, fitter_, nullptr);
}

void TSortedListView::ForgetRows(int first, int last) {
  for (int row = first; row <= last; ++row) {
    if (QTreeWidgetItem* item = topLevelItem(row)) {
      const auto it = index_.find(Identifier(*item));
      if (it != index_.end() && it.value() == item) index_.erase(it);
    }
  }
}

int TSortedListView::CompareRows(const QTreeWidgetItem& a, const QTreeWidgetItem& b) const {
  const int ids = CompareText(Identifier(a), Identifier(b));
  if (sortColumn_ == idColumn_) return reverse_ ? -ids : ids;
  const int texts = CompareText(a.text(sortColumn_), b.text(sortColumn_));
  if (texts != 0) return reverse_ ? -texts : texts;
  return ids;  // equal texts: ascending by identifier in either direction
}

QTreeWidgetItem* TSortedListView::AddItem(const QStringList& texts) {
  const QString key = idColumn_ < texts.size() ? texts[idColumn_] : QString();
  if (QTreeWidgetItem* old = FindItem(key)) return old;
  auto* item = new QTreeWidgetItem(texts);
  // The first row that stands after the new one.
  int lo = 0;
  int hi = topLevelItemCount();
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (CompareRows(*topLevelItem(mid), *item) <= 0) lo = mid + 1;
    else hi = mid;
  }
  insertTopLevelItem(lo, item);
  index_.insert(key, item);
  return item;
}

QTreeWidgetItem* TSortedListView::FindItem(const QString& key) const { return index_.value(key, nullptr); }

void TSortedListView::SetSortColumn(int column) {
  if (column == sortColumn_) return;
  sortColumn_ = column;
  Resort();
}

void TSortedListView::SetSortReverse(bool reverse) {
  if (reverse == reverse_) return;
  reverse_ = reverse;
  Resort();
}

void TSortedListView::ClickColumn(int column) {
  reverse_ = column == sortColumn_ ? !reverse_ : false;
  sortColumn_ = column;
  Resort();
}

void TSortedListView::BeginUpdate() {
  if (updating_++ == 0) setUpdatesEnabled(false);
}

void TSortedListView::EndUpdate() {
  if (updating_ > 0 && --updating_ == 0) {
    fitter_->Flush();  // the filled list's columns, before it is painted
    setUpdatesEnabled(true);
  }
}

void TSortedListView::Resort() {
  header()->setSortIndicator(sortColumn_, reverse_ ? Qt::DescendingOrder : Qt::AscendingOrder);
  QTreeWidgetItem* current = currentItem();
  const QHash<QString, QTreeWidgetItem*> keep = index_;
  std::vector<QTreeWidgetItem*> rows;
  fitter_->SetPaused(true);  // the same rows in another order
  rows.reserve(static_cast<std::size_t>(topLevelItemCount()));
  while (topLevelItemCount() > 0) rows.push_back(takeTopLevelItem(0));
  std::stable_sort(rows.begin(), rows.end(),
                   [this](const QTreeWidgetItem* a, const QTreeWidgetItem* b) { return CompareRows(*a, *b) < 0; });
  for (QTreeWidgetItem* row : rows) addTopLevelItem(row);
  fitter_->SetPaused(false);
  index_ = keep;  // taking the rows out is no deletion
  if (current != nullptr) setCurrentItem(current);
}
