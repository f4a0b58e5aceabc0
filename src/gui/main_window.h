#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>

class QCloseEvent;
class QLabel;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;
class TFeedPane;
class THubPage;

// The main window: the page tree, the heading, the stack of named pages and
// the status bar. Its events only forward: page choice, close and minimise
// go to the program through the handlers. Owns its widgets and pages.
class TfrmMain : public QMainWindow {
  Q_OBJECT
 public:
  // The notebook's pages, by name; later work fills the placeholders.
  static const QStringList& PageNames();

  struct THandlers {
    std::function<void(QTreeWidgetItem* node)> PageChosen;
    std::function<bool()> CloseQuery;   // true: the window may close
    std::function<bool()> Minimized;    // true: it went to the tray
    std::function<void()> Shown;
  };

  explicit TfrmMain(QWidget* parent = nullptr);
  void SetHandlers(THandlers handlers) { handlers_ = std::move(handlers); }

  // A node of the page tree; its data: the page name and the heading.
  QTreeWidgetItem* AddPageNode(QTreeWidgetItem* parent, const QString& heading,
                               const QString& pageName, const QString& text);
  static QString NodePage(const QTreeWidgetItem* node);
  static QString NodeHeading(const QTreeWidgetItem* node);
  QTreeWidgetItem* FindNode(const QString& text) const;

  // Opens the page named `name` (any letter case); false when none.
  bool OpenPage(const QString& name);
  // The exact name of the page shown.
  QString CurrentPage() const;
  QWidget* Page(const QString& name) const;
  void SetHeading(const QString& text);
  QString Heading() const;
  void SetStatusText(const QString& text);
  QString StatusText() const;

  QTreeWidget* Tree() const { return tree_; }
  THubPage* HubPage() const { return hubPage_; }
  TFeedPane* FeedPane() const { return feedPane_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // The scroll area in the stack that holds `page`.
  QWidget* Holder(QWidget* page) const;

  QTreeWidget* tree_;
  QLabel* heading_;
  QStackedWidget* pages_;
  QLabel* status0_;
  QLabel* status1_;
  THubPage* hubPage_;
  TFeedPane* feedPane_;
  std::map<QString, QWidget*> pageByLowerName_;
  THandlers handlers_;
};
