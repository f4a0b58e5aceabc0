#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class QLabel;
class TKavroRoot;
struct THubFigures;

// The Statistics page: the hub's counters, list sizes, rates and the
// process and machine figures, rewritten by Refresh. Owns its labels; reads
// the root, which must outlive it.
class TStatisticsGui : public QWidget {
  Q_OBJECT
 public:
  using TFiguresSource = std::function<THubFigures()>;

  explicit TStatisticsGui(TKavroRoot& root, QWidget* parent = nullptr);
  ~TStatisticsGui() override;

  // Process and machine figures; the root's reader by default.
  void SetFiguresSource(TFiguresSource source) { figures_ = std::move(source); }
  void Refresh();
  // The shown value of `caption` in the group titled `group`; "" if none.
  QString Value(const QString& group, const QString& caption) const;

 private:
  struct TRow;
  TKavroRoot& root_;
  TFiguresSource figures_;
  std::vector<TRow> rows_;
};
