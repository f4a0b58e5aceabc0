#pragma once

#include <QObject>

class QTreeView;

// Keeps a list's columns as wide as their contents: a load (rows into an
// empty list) sizes every column to its contents, later changes only widen
// a column the rows outgrow. Between changes the user may drag the columns
// as they like. A child of the list it serves; it owns nothing else.
class TColumnFitter : public QObject {
  Q_OBJECT

 public:
  // The list's fitter, made on the first call.
  static TColumnFitter& Attach(QTreeView& view);

  // Sizes the columns now: every column to its contents, or (widenOnly)
  // only those narrower than their contents.
  void Fit(bool widenOnly);
  // Runs the fit the changes so far asked for now rather than later.
  void Flush();
  // While paused, row changes are not fits' business (a re-sort moves rows,
  // it adds none).
  void SetPaused(bool paused) { paused_ = paused; }

 private:
  explicit TColumnFitter(QTreeView& view);
  // One fit after the current change is complete: rows are often filled
  // column by column after they are inserted.
  void Schedule(bool load);

  QTreeView& view_;
  bool pending_ = false;
  bool pendingLoad_ = false;
  bool paused_ = false;
};
