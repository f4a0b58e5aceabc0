#include "gui/controls/multi_check_list_box.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyledItemDelegate>
#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

constexpr int kStatesRole = Qt::UserRole + 1;    // QByteArray, one byte per column
constexpr int kDisabledRole = Qt::UserRole + 2;  // bit per column
constexpr int kDataRole = Qt::UserRole + 3;

// Draws the row's boxes, then the text right of them.
class TMultiCheckDelegate : public QStyledItemDelegate {
 public:
  explicit TMultiCheckDelegate(TMultiCheckListBox& list) : QStyledItemDelegate(&list), list_(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const int width = list_.ColumnWidth();
    const QByteArray states = index.data(kStatesRole).toByteArray();
    const int disabled = index.data(kDisabledRole).toInt();
    for (int c = 0; c < list_.Checkboxes(); ++c) {
      QStyleOptionButton box;
      box.rect = QRect(option.rect.left() + c * width, option.rect.top(), width, option.rect.height());
      const int state = c < states.size() ? states[c] : 0;
      box.state = state == 1 ? QStyle::State_On : state == 2 ? QStyle::State_NoChange : QStyle::State_Off;
      if (list_.isEnabled() && !(disabled & (1 << c))) box.state |= QStyle::State_Enabled;
      if (list_.Flat()) box.features |= QStyleOptionButton::Flat;
      list_.style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, &list_);
    }
    QStyleOptionViewItem text = option;
    text.rect.setLeft(option.rect.left() + list_.Checkboxes() * width);
    QStyledItemDelegate::paint(painter, text, index);
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(list_.fontMetrics().boundingRect(QStringLiteral("Wg")).height());
    size.rwidth() += list_.Checkboxes() * list_.ColumnWidth();
    return size;
  }

 private:
  TMultiCheckListBox& list_;
};

}  // namespace

TMultiCheckListBox::TMultiCheckListBox(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new TMultiCheckDelegate(*this));
}

void TMultiCheckListBox::SetCheckboxes(int count) {
  checkboxes_ = std::clamp(count, 0, kMaxCheckboxes);
  doItemsLayout();
  PlaceCaptions();
}

void TMultiCheckListBox::SetColumnCaptions(const QStringList& captions) {
  qDeleteAll(captions_);
  captions_.clear();
  for (const QString& text : captions) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("lblColumnCaption"));
    label->setAlignment(Qt::AlignCenter);
    label->show();
    captions_.append(label);
  }
  setViewportMargins(0, captions_.isEmpty() ? 0 : fontMetrics().height() + 2, 0, 0);
  PlaceCaptions();
}

void TMultiCheckListBox::PlaceCaptions() {
  if (captions_.isEmpty()) return;
  const QRect area = viewport()->geometry();
  const int height = viewportMargins().top();
  // Where the rows' boxes start: the first row, or the viewport's edge.
  const int left = area.left() + (count() > 0 ? visualRect(model()->index(0, 0)).left() : -horizontalOffset());
  const int column = ColumnWidth();
  for (int c = 0; c < static_cast<int>(captions_.size()); ++c) {
    QLabel* label = captions_[c];
    label->setVisible(c < checkboxes_);
    const int width = std::max(label->sizeHint().width(), column);
    const int x = left + c * column + column / 2 - width / 2;
    label->setGeometry(std::max(x, area.left()), area.top() - height, width, height);
  }
}

void TMultiCheckListBox::resizeEvent(QResizeEvent* event) {
  QListWidget::resizeEvent(event);
  PlaceCaptions();
}

void TMultiCheckListBox::scrollContentsBy(int dx, int dy) {
  QListWidget::scrollContentsBy(dx, dy);
  if (dx != 0) PlaceCaptions();
}

void TMultiCheckListBox::SetFlat(bool flat) {
  flat_ = flat;
  viewport()->update();
}

int TMultiCheckListBox::ColumnWidth() const {
  return style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this) + 2;
}

int TMultiCheckListBox::ColumnAt(int x) const {
  const int column = x / ColumnWidth();
  return x >= 0 && column < checkboxes_ ? column : -1;
}

QListWidgetItem* TMultiCheckListBox::Row(int row) const {
  QListWidgetItem* it = item(row);
  if (it == nullptr) throw std::out_of_range("List index out of bounds (" + std::to_string(row) + ")");
  return it;
}

int TMultiCheckListBox::State(int row, int column) const {
  const QByteArray states = Row(row)->data(kStatesRole).toByteArray();
  return column >= 0 && column < states.size() ? states[column] : 0;
}

void TMultiCheckListBox::SetState(int row, int column, int state) {
  QListWidgetItem* it = Row(row);
  if (column < 0 || column >= kMaxCheckboxes) return;
  QByteArray states = it->data(kStatesRole).toByteArray();
  if (states.size() < kMaxCheckboxes) states.append(kMaxCheckboxes - states.size(), '\0');
  states[column] = static_cast<char>(state);
  it->setData(kStatesRole, states);  // repaints the row
  emit StateChanged(row, column);
}

bool TMultiCheckListBox::ItemEnabled(int row, int column) const {
  return !(Row(row)->data(kDisabledRole).toInt() & (1 << column));
}

void TMultiCheckListBox::SetItemEnabled(int row, int column, bool enabled) {
  QListWidgetItem* it = Row(row);
  int disabled = it->data(kDisabledRole).toInt();
  disabled = enabled ? disabled & ~(1 << column) : disabled | (1 << column);
  it->setData(kDisabledRole, disabled);
}

std::intptr_t TMultiCheckListBox::Data(int row) const {
  return static_cast<std::intptr_t>(Row(row)->data(kDataRole).toLongLong());
}

void TMultiCheckListBox::SetData(int row, std::intptr_t value) {
  Row(row)->setData(kDataRole, static_cast<qlonglong>(value));
}

void TMultiCheckListBox::mousePressEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  const int column = index.isValid() && event->button() == Qt::LeftButton
                         ? ColumnAt(event->position().toPoint().x() - visualRect(index).left())
                         : -1;
  if (column >= 0 && isEnabled()) {
    const int row = index.row();
    if (ItemEnabled(row, column)) {
      const int state = State(row, column);
      SetState(row, column, state == 0 ? (allowGrayed_ ? 2 : 1) : state == 2 ? 1 : 0);
    }
    return;
  }
  QListWidget::mousePressEvent(event);
}
