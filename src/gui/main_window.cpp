#include "gui/main_window.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

#include "gui/feed_pane.h"
#include "gui/hub_page.h"

namespace {

constexpr int kPageRole = Qt::UserRole;
constexpr int kHeadingRole = Qt::UserRole + 1;

}  // namespace

const QStringList& TfrmMain::PageNames() {
  static const QStringList names = {
      "Hub",       "Statistics",    "Feed",      "About",      "Settings",      "Redirects",
      "Notifications", "TextCommands", "Security", "Restrictions", "Banlist",   "Miscellaneous",
      "Chatrooms", "Hublists",      "PMScanner", "MCScanner",  "SearchScanner", "UserStats",
      "Users",     "Profiles",      "Accounts",  "Register",   "ISPIP",         "ComPort",
      "WebAdmin",  "Lua",           "Blocked",   "Trafficinfo"};
  return names;
}

TfrmMain::TfrmMain(QWidget* parent)
    : QMainWindow(parent),
      tree_(new QTreeWidget),
      heading_(new QLabel),
      pages_(new QStackedWidget),
      status0_(new QLabel),
      status1_(new QLabel),
      hubPage_(new THubPage),
      feedPane_(new TFeedPane) {
  setObjectName(QStringLiteral("frmMain"));
  resize(1020, 615);
  setMinimumSize(688, 500);

  tree_->setObjectName(QStringLiteral("tvMain"));
  tree_->setHeaderHidden(true);
  tree_->setMinimumWidth(160);
  heading_->setObjectName(QStringLiteral("lblHeading"));
  heading_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QFont small = heading_->font();
  small.setPointSizeF(small.pointSizeF() * 0.9);
  heading_->setFont(small);
  pages_->setObjectName(QStringLiteral("pcMain"));

  for (const QString& name : PageNames()) {
    QWidget* page = nullptr;
    if (name == QLatin1String("Hub")) {
      page = hubPage_;
    } else if (name == QLatin1String("Feed")) {
      page = feedPane_;
    } else {
      page = new QWidget;
      auto* layout = new QVBoxLayout(page);
      auto* placeholder = new QLabel(name, page);
      placeholder->setObjectName(QStringLiteral("placeholder"));
      layout->addWidget(placeholder, 0, Qt::AlignCenter);
    }
    page->setObjectName(QStringLiteral("ts") + name);
    page->setProperty("pageName", name);
    // A page larger than the window scrolls rather than squeezing its
    // captions and fields below their own size.
    auto* holder = new QScrollArea;
    holder->setObjectName(QStringLiteral("sb") + name);
    holder->setProperty("pageName", name);
    holder->setFrameShape(QFrame::NoFrame);
    holder->setWidgetResizable(true);
    holder->setWidget(page);
    pages_->addWidget(holder);
    pageByLowerName_[name.toLower()] = page;
  }

  auto* right = new QWidget;
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  heading_->setContentsMargins(0, 2, 8, 2);
  rightLayout->addWidget(heading_);
  rightLayout->addWidget(pages_, 1);
  auto* splitter = new QSplitter;
  splitter->addWidget(tree_);
  splitter->addWidget(right);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({180, 840});
  setCentralWidget(splitter);

  // Panels with an edge of their own: an empty panel still shows, at the
  // bar's full height.
  for (QLabel* panel : {status0_, status1_}) {
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setMinimumHeight(panel->fontMetrics().height() + 2 * panel->frameWidth() + 2);
  }
  status0_->setObjectName(QStringLiteral("sbPanel0"));
  status0_->setMinimumWidth(600);
  status1_->setObjectName(QStringLiteral("sbPanel1"));
  status1_->setFixedWidth(50);
  statusBar()->setObjectName(QStringLiteral("sbMain"));
  statusBar()->addWidget(status0_, 1);
  statusBar()->addWidget(status1_);

  connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* node) {
    if (handlers_.PageChosen) handlers_.PageChosen(node);
  });
}

QTreeWidgetItem* TfrmMain::AddPageNode(QTreeWidgetItem* parent, const QString& heading,
                                       const QString& pageName, const QString& text) {
  auto* node = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
  node->setText(0, text);
  node->setData(0, kPageRole, pageName);
  node->setData(0, kHeadingRole, heading);
  node->setExpanded(true);
  if (parent != nullptr) parent->setExpanded(true);
  return node;
}

QString TfrmMain::NodePage(const QTreeWidgetItem* node) {
  return node == nullptr ? QString() : node->data(0, kPageRole).toString();
}

QString TfrmMain::NodeHeading(const QTreeWidgetItem* node) {
  return node == nullptr ? QString() : node->data(0, kHeadingRole).toString();
}

QTreeWidgetItem* TfrmMain::FindNode(const QString& text) const {
  const auto found = tree_->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
  return found.isEmpty() ? nullptr : found.first();
}

bool TfrmMain::OpenPage(const QString& name) {
  const auto it = pageByLowerName_.find(name.toLower());
  if (it == pageByLowerName_.end()) return false;
  pages_->setCurrentWidget(Holder(it->second));
  pages_->setVisible(true);
  return true;
}

QString TfrmMain::CurrentPage() const {
  const QWidget* page = pages_->currentWidget();
  return page == nullptr ? QString() : page->property("pageName").toString();
}

QWidget* TfrmMain::Holder(QWidget* page) const {
  QWidget* holder = page;
  while (holder->parentWidget() != pages_) holder = holder->parentWidget();
  return holder;
}

QWidget* TfrmMain::Page(const QString& name) const {
  const auto it = pageByLowerName_.find(name.toLower());
  return it == pageByLowerName_.end() ? nullptr : it->second;
}

void TfrmMain::SetHeading(const QString& text) { heading_->setText(text); }
QString TfrmMain::Heading() const { return heading_->text(); }
void TfrmMain::SetStatusText(const QString& text) { status0_->setText(text); }
QString TfrmMain::StatusText() const { return status0_->text(); }

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (!handlers_.CloseQuery || handlers_.CloseQuery()) {
    event->accept();
  } else {
    event->ignore();
  }
}

void TfrmMain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || !isMinimized()) return;
  // Hidden after the state change has settled, as the window system wants.
  if (handlers_.Minimized) QTimer::singleShot(0, this, [this] {
    if (isMinimized() && handlers_.Minimized) handlers_.Minimized();
  });
}

void TfrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (handlers_.Shown) handlers_.Shown();
}
