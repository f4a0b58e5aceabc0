#include "gui/state_icons.h"

#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPointer>
#include <QPolygonF>
#include <QTreeWidget>
#include <array>
#include <vector>

namespace {

constexpr int kSize = 16;
constexpr int kSetCount = 5;

const QColor kGrey(128, 128, 128);
const QColor kGreen(0, 150, 40);
const QColor kBlue(30, 90, 200);
const QColor kOrange(230, 130, 0);
const QColor kRed(200, 30, 30);
const QColor kGold(210, 160, 0);

void Person(QPainter& p, const QColor& colour, bool filled) {
  p.setPen(QPen(colour.darker(130), 1.2));
  p.setBrush(filled ? QBrush(colour) : QBrush(Qt::NoBrush));
  p.drawEllipse(QPointF(8, 5), 3, 3);
  QPainterPath body;
  body.moveTo(2.5, 15);
  body.cubicTo(2.5, 9, 13.5, 9, 13.5, 15);
  body.closeSubpath();
  p.drawPath(body);
}

void Dot(QPainter& p, const QColor& colour, bool filled) {
  p.setPen(QPen(colour.darker(130), 1.5));
  p.setBrush(filled ? QBrush(colour) : QBrush(Qt::NoBrush));
  p.drawEllipse(QPointF(8, 8), 5, 5);
}

void Check(QPainter& p, const QColor& colour) {
  p.setPen(QPen(colour, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
}

void Cross(QPainter& p, const QColor& colour) {
  p.setPen(QPen(colour, 2.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(4, 4), QPointF(12, 12));
  p.drawLine(QPointF(12, 4), QPointF(4, 12));
}

void Page(QPainter& p, const QColor& colour) {
  p.setPen(QPen(colour, 1.2));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(3.5, 1.5, 9, 13));
  for (double y : {5.0, 8.0, 11.0}) p.drawLine(QPointF(5.5, y), QPointF(10.5, y));
}

void Play(QPainter& p, const QColor& colour) {
  p.setPen(QPen(colour.darker(130), 1.2));
  p.setBrush(colour);
  p.drawPolygon(QPolygonF({QPointF(4, 2.5), QPointF(13.5, 8), QPointF(4, 13.5)}));
}

void Clock(QPainter& p, const QColor& colour) {
  p.setPen(QPen(colour.darker(130), 1.5));
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(8, 8), 6, 6);
  p.setPen(QPen(colour.darker(150), 1.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(8, 8), QPointF(8, 4));
  p.drawLine(QPointF(8, 8), QPointF(11, 9.5));
}

// The glyph of one state of a set.
void DrawState(QPainter& p, TStateImageSet set, int state) {
  switch (set) {
    case TStateImageSet::Accounts:  // offline, online
      if (state == 1) Person(p, kGreen, true);
      else Person(p, kGrey, false);
      break;
    case TStateImageSet::Scanner:  // disabled, enabled
      if (state == 1) Check(p, kGreen);
      else Cross(p, kGrey);
      break;
    case TStateImageSet::TextCommands:  // called, run by itself, scheduled
      if (state == 2) Clock(p, kOrange);
      else if (state == 1) Play(p, kBlue);
      else Page(p, kGrey);
      break;
    case TStateImageSet::Profiles:  // unused, used by accounts, built-in
      if (state == 2) Person(p, kGold, true);
      else if (state == 1) Person(p, kBlue, true);
      else Person(p, kGrey, false);
      break;
    case TStateImageSet::HubList:  // waiting; failed connecting; failed; in a pass; failed, done
      if (state == 4) Cross(p, kRed);
      else if (state == 3) Dot(p, kGreen, true);
      else if (state == 2) Dot(p, kRed, true);
      else if (state == 1) Dot(p, kOrange, true);
      else Dot(p, kGrey, false);
      break;
  }
}

QIcon Draw(TStateImageSet set, int state, bool marked) {
  QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // The marked image stands on the selection's colour: a light plate
  // keeps the glyph readable there.
  if (marked) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 210));
    p.drawRoundedRect(QRectF(0.5, 0.5, kSize - 1, kSize - 1), 3, 3);
  }
  DrawState(p, set, state);
  p.end();
  return QIcon(QPixmap::fromImage(image));
}

// The drawn sets; a child of the application, so the pixmaps go before it.
class TIconCache final : public QObject {
 public:
  explicit TIconCache(QObject* parent) : QObject(parent) {
    for (int s = 0; s < kSetCount; ++s) {
      const auto set = static_cast<TStateImageSet>(s);
      const int count = StateCount(set);
      for (int image = 0; image < 2 * count; ++image)
        icons[static_cast<std::size_t>(s)].push_back(Draw(set, image % count, image >= count));
    }
  }
  std::array<std::vector<QIcon>, kSetCount> icons;
};

}  // namespace

int StateCount(TStateImageSet set) {
  switch (set) {
    case TStateImageSet::Accounts:
    case TStateImageSet::Scanner:
      return 2;
    case TStateImageSet::TextCommands:
    case TStateImageSet::Profiles:
      return 3;
    case TStateImageSet::HubList:
      return 5;
  }
  return 0;
}

QIcon StateIcon(TStateImageSet set, int image) {
  static QPointer<TIconCache> cache;
  if (qGuiApp == nullptr) return {};
  if (cache.isNull()) cache = new TIconCache(qGuiApp);
  const std::vector<QIcon>& icons = cache->icons[static_cast<std::size_t>(set)];
  if (image < 0 || image >= static_cast<int>(icons.size())) return {};
  return icons[static_cast<std::size_t>(image)];
}

int RowState(const QTreeWidgetItem& row) {
  const QVariant state = row.data(0, kRowStateRole);
  return state.isValid() ? state.toInt() : -1;
}

int RowImage(const QTreeWidgetItem& row) {
  const QVariant image = row.data(0, kRowImageRole);
  return image.isValid() ? image.toInt() : -1;
}

TStateImages::TStateImages(QTreeWidget& list, TStateImageSet set) : QObject(&list), list_(list), set_(set) {
  list_.installEventFilter(this);
  connect(&list_, &QTreeWidget::itemSelectionChanged, this, [this] { Refresh(); });
}

void TStateImages::SetState(QTreeWidgetItem& row, int state) {
  row.setData(0, kRowStateRole, state);
  ShowImage(row, list_.hasFocus());
}

void TStateImages::Refresh() {
  const bool focused = list_.hasFocus();
  for (int i = 0; i < list_.topLevelItemCount(); ++i) ShowImage(*list_.topLevelItem(i), focused);
}

void TStateImages::ShowImage(QTreeWidgetItem& row, bool focused) {
  const int state = RowState(row);
  if (state < 0) return;
  const int image = state + (focused && row.isSelected() ? StateCount(set_) : 0);
  if (RowImage(row) == image) return;
  row.setData(0, kRowImageRole, image);
  row.setIcon(0, StateIcon(set_, image));
}

bool TStateImages::eventFilter(QObject* watched, QEvent* event) {
  // Entering and leaving the list moves its selected rows between the
  // two halves of the set.
  if (watched == &list_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) Refresh();
  return QObject::eventFilter(watched, event);
}
