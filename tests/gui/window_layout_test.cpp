// The window at its smallest and default sizes: every page's captions and
// fields can be read whole and reached, and the status bar shows both panels.

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <cstdlib>

#include "gui/gui_fixture.h"
#include "gui/main_window.h"

namespace {

// Pictures of the pages for a look by eye: KAVRO_LAYOUT_SHOTS=folder.
void SaveShot(QWidget& window, const QString& name) {
  const QString folder = QString::fromLocal8Bit(std::getenv("KAVRO_LAYOUT_SHOTS"));
  if (folder.isEmpty()) return;
  QDir().mkpath(folder);
  window.grab().save(folder + QStringLiteral("/") + name + QStringLiteral(".png"));
}

// Whether `w` lies inside every widget it sits in, up to the window; the
// inside of a scroll area counts as reachable.
bool Reachable(const QWidget* w, const QWidget* window) {
  for (const QWidget* inner = w; inner != window && inner->parentWidget() != nullptr;
       inner = inner->parentWidget()) {
    const QWidget* outer = inner->parentWidget();
    if (qobject_cast<const QAbstractScrollArea*>(outer->parentWidget()) != nullptr &&
        outer == static_cast<const QAbstractScrollArea*>(outer->parentWidget())->viewport())
      return true;
    const QRect mine(w->mapTo(outer, QPoint(0, 0)), w->size());
    if (!outer->rect().contains(mine)) return false;
  }
  return true;
}

QString Describe(const QWidget* w) {
  QString text;
  if (const auto* label = qobject_cast<const QLabel*>(w)) text = label->text();
  if (const auto* box = qobject_cast<const QCheckBox*>(w)) text = box->text();
  return QStringLiteral("%1 %2 \"%3\" %4x%5 (needs %6x%7)")
      .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName(), text)
      .arg(w->width())
      .arg(w->height())
      .arg(w->minimumSizeHint().width())
      .arg(w->minimumSizeHint().height());
}

// What is wrong with one control, or empty.
QString Fault(const QWidget* w, const QWidget* window) {
  if (!Reachable(w, window)) return QStringLiteral("out of reach: ") + Describe(w);
  if (const auto* label = qobject_cast<const QLabel*>(w)) {
    if (label->wordWrap() || label->text().isEmpty() || Qt::mightBeRichText(label->text())) return {};
    const QFontMetrics metrics(label->font());
    int widest = 0;
    for (const QString& line : label->text().split(QLatin1Char('\n')))
      widest = std::max(widest, metrics.horizontalAdvance(line));
    if (widest > label->contentsRect().width()) return QStringLiteral("cut: ") + Describe(w);
    return {};
  }
  const QSize need = w->minimumSizeHint();
  if (w->width() < need.width() || w->height() < need.height()) return QStringLiteral("squashed: ") + Describe(w);
  return {};
}

bool Checked(const QWidget* w) {
  if (qobject_cast<const QLabel*>(w) || qobject_cast<const QCheckBox*>(w) ||
      qobject_cast<const QAbstractSpinBox*>(w))
    return true;
  // A spin box's or a combo box's own editor is its owner's business.
  return qobject_cast<const QLineEdit*>(w) != nullptr &&
         qobject_cast<const QAbstractSpinBox*>(w->parentWidget()) == nullptr &&
         qobject_cast<const QComboBox*>(w->parentWidget()) == nullptr;
}

// How many pixels of a panel's left edge differ from its middle: an empty
// panel without an edge of its own cannot be seen at all.
int DrawnEdge(QWidget& panel) {
  const QImage image = panel.grab().toImage();
  const QRgb middle = image.pixel(image.width() / 2, image.height() / 2);
  int drawn = 0;
  for (int y = 0; y < image.height(); ++y)
    if (image.pixel(0, y) != middle) ++drawn;
  return drawn;
}

class TWindowLayoutTest : public TGuiTest {
 protected:
  // Opens a page in the shown window and lets the layouts settle.
  void Open(const QString& name) {
    ASSERT_TRUE(gui_->Window().OpenPage(name)) << name.toStdString();
    SpinUntil([] { return false; }, std::chrono::milliseconds(20));
  }
};

// At the smallest size the window allows, each page can still be read:
// no caption cut, no field squashed, nothing beyond reach.
TEST_F(TWindowLayoutTest, EveryPageIsReadableAtTheMinimumSize) {
  TfrmMain& window = gui_->Window();
  window.show();
  window.resize(window.minimumSize());
  SpinUntil([] { return false; }, std::chrono::milliseconds(20));
  ASSERT_EQ(window.size(), QSize(688, 500));
  for (const QString& name : TfrmMain::PageNames()) {
    if (name == QLatin1String("WebAdmin")) continue;  // nothing opens it
    Open(name);
    SaveShot(window, QStringLiteral("min-") + name);
    QStringList faults;
    for (const QWidget* w : window.Page(name)->findChildren<QWidget*>()) {
      if (!w->isVisible() || !Checked(w)) continue;
      const QString fault = Fault(w, &window);
      if (!fault.isEmpty()) faults.append(fault);
    }
    EXPECT_TRUE(faults.isEmpty()) << name.toStdString() << ":\n  "
                                  << faults.join(QStringLiteral("\n  ")).toStdString();
  }
}

// At the first size the profile editor shows every tab whole, without
// scroll arrows.
TEST_F(TWindowLayoutTest, ProfileEditorShowsEveryTabAtTheFirstSize) {
  TfrmMain& window = gui_->Window();
  window.show();
  window.resize(1020, 615);
  for (const QString& name : TfrmMain::PageNames()) {
    if (name == QLatin1String("WebAdmin")) continue;
    Open(name);
    SaveShot(window, QStringLiteral("first-") + name);
  }
  Open(QStringLiteral("Profiles"));
  const auto* tabs =
      window.Page(QStringLiteral("Profiles"))->findChild<QTabWidget*>(QStringLiteral("pcProfileSettings"));
  ASSERT_NE(tabs, nullptr);
  const QTabBar* bar = tabs->tabBar();
  for (int i = 0; i < bar->count(); ++i) {
    const QRect tab = bar->tabRect(i);
    EXPECT_TRUE(bar->rect().contains(tab)) << bar->tabText(i).toStdString();
    EXPECT_GE(tab.width(), bar->fontMetrics().horizontalAdvance(bar->tabText(i)))
        << bar->tabText(i).toStdString();
  }
  for (const QToolButton* arrow : bar->findChildren<QToolButton*>()) EXPECT_FALSE(arrow->isVisible());
}

// The heading keeps clear of the window's edge.
TEST_F(TWindowLayoutTest, HeadingKeepsAMarginToTheRightEdge) {
  TfrmMain& window = gui_->Window();
  window.show();
  SpinUntil([] { return false; }, std::chrono::milliseconds(20));
  const auto* heading = window.findChild<QLabel*>(QStringLiteral("lblHeading"));
  ASSERT_NE(heading, nullptr);
  const QRect text = heading->contentsRect();
  const int right = heading->mapTo(&window, text.topRight()).x();
  EXPECT_GE(window.width() - 1 - right, 4);
}

// Both status panels, 600 and 50 pixels wide, at the bar's full height: at
// the first size, maximised and on a large screen.
TEST_F(TWindowLayoutTest, StatusBarShowsBothPanelsWhole) {
  TfrmMain& window = gui_->Window();
  window.SetStatusText(QStringLiteral("[12:00:00] - a feed line"));
  const auto check = [&window](const QString& when) {
    SpinUntil([] { return false; }, std::chrono::milliseconds(20));
    SaveShot(window, QStringLiteral("status-") + when);
    QStatusBar* bar = window.statusBar();
    for (const auto& [panel, width] : {std::pair{"sbPanel0", 600}, std::pair{"sbPanel1", 50}}) {
      auto* label = bar->findChild<QLabel*>(QString::fromLatin1(panel));
      ASSERT_NE(label, nullptr) << panel;
      const std::string where = std::string(panel) + " " + when.toStdString();
      EXPECT_TRUE(label->isVisible()) << where;
      EXPECT_TRUE(bar->rect().contains(label->geometry())) << where;
      EXPECT_GE(label->width(), width) << where;
      EXPECT_GE(label->height(), label->fontMetrics().height()) << where;
      EXPECT_GE(label->height(), bar->contentsRect().height() - 8) << where;
      EXPECT_GE(DrawnEdge(*label), label->height() - 2) << where;
    }
  };
  window.show();
  window.resize(1020, 615);
  check(QStringLiteral("default"));
  window.showMaximized();
  check(QStringLiteral("maximised"));
  window.showNormal();
  window.resize(1920, 1080);
  check(QStringLiteral("large"));
}

}  // namespace
