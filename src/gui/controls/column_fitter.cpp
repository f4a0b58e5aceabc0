#include "gui/controls/column_fitter.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QTimer>
#include <QTreeView>
#include <algorithm>

TColumnFitter& TColumnFitter::Attach(QTreeView& view) {
  if (auto* fitter = view.findChild<TColumnFitter*>(QString(), Qt::FindDirectChildrenOnly)) return *fitter;
  return *new TColumnFitter(view);
}

TColumnFitter::TColumnFitter(QTreeView& view) : QObject(&view), view_(view) {
  QAbstractItemModel* model = view.model();
  connect(model, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex& parent, int first, int last) {
            if (paused_) return;
            // Rows into an empty list: a load.
            Schedule(!parent.isValid() && view_.model()->rowCount() == last - first + 1);
          });
  connect(model, &QAbstractItemModel::modelReset, this, [this] {
    if (!paused_) Schedule(true);
  });
  connect(model, &QAbstractItemModel::dataChanged, this, [this] {
    if (!paused_) Schedule(false);
  });
  if (model->rowCount() > 0) Schedule(true);
}

void TColumnFitter::Schedule(bool load) {
  pendingLoad_ = pendingLoad_ || load;
  if (pending_) return;
  pending_ = true;
  QTimer::singleShot(0, this, [this] { Flush(); });
}

void TColumnFitter::Flush() {
  if (!pending_) return;
  const bool widenOnly = !pendingLoad_;
  pending_ = false;
  pendingLoad_ = false;
  Fit(widenOnly);
}

void TColumnFitter::Fit(bool widenOnly) {
  QHeaderView* header = view_.header();
  // Public in the base, virtual: the tree's own measure.
  const QAbstractItemView& measure = view_;
  const int columns = view_.model()->columnCount();
  for (int column = 0; column < columns; ++column) {
    if (view_.isColumnHidden(column)) continue;
    const int contents = std::max(measure.sizeHintForColumn(column),
                                  header->isHidden() ? 0 : header->sectionSizeHint(column));
    // The stretched last column already takes the room that is left.
    const bool stretched = header->stretchLastSection() && column == columns - 1;
    if (contents > view_.columnWidth(column) || (!widenOnly && !stretched))
      view_.setColumnWidth(column, contents);
  }
}
