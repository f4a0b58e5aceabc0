#pragma once

#include <QList>
#include <QListWidget>
#include <QStringList>
#include <cstdint>

class QLabel;

// A list whose rows carry up to ten check boxes left of the text. Each row
// keeps its own user data and, per column, a state (0 unchecked, 1 checked,
// 2 grayed) and an enabled flag; they live in the row, so they go with it.
// Optional captions stand above the check columns, inside the list's frame.
class TMultiCheckListBox : public QListWidget {
  Q_OBJECT

 public:
  static constexpr int kMaxCheckboxes = 10;

  explicit TMultiCheckListBox(QWidget* parent = nullptr);

  int Checkboxes() const { return checkboxes_; }
  void SetCheckboxes(int count);  // clamped to 0..10
  bool Flat() const { return flat_; }
  void SetFlat(bool flat);
  bool AllowGrayed() const { return allowGrayed_; }
  void SetAllowGrayed(bool allow) { allowGrayed_ = allow; }

  // Throw std::out_of_range "List index out of bounds (n)" for a row that
  // is not there.
  int State(int row, int column) const;
  void SetState(int row, int column, int state);
  bool Checked(int row, int column) const { return State(row, column) == 1; }
  void SetChecked(int row, int column, bool checked) { SetState(row, column, checked ? 1 : 0); }
  bool ItemEnabled(int row, int column) const;
  void SetItemEnabled(int row, int column, bool enabled);
  std::intptr_t Data(int row) const;
  void SetData(int row, std::intptr_t value);

  // One caption per check column, centred over it; none: no caption line.
  void SetColumnCaptions(const QStringList& captions);

  int ColumnWidth() const;
  // The check column at a viewport x, or -1.
  int ColumnAt(int x) const;

 signals:
  void StateChanged(int row, int column);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  QListWidgetItem* Row(int row) const;
  void PlaceCaptions();

  int checkboxes_ = 3;
  bool flat_ = true;
  bool allowGrayed_ = false;
  QList<QLabel*> captions_;  // children of the list
};
