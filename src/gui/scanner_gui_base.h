#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QAction;
class QCheckBox;
class QGridLayout;
class QLineEdit;
class QObject;
class QPushButton;
class QTreeWidgetItem;
class QVBoxLayout;
class QWidget;
class TMainGui;
class TSortedListView;
class TStateImages;

// Opens the word-delimiter dialog over the settings record; true when the
// operator applied a new set.
bool EditWordDelimiters(TMainGui& gui, QWidget* parent);

// The list's texts: the state column (a no-break space when enabled), and
// the word with its bound marks ("." restricted, "<" / ">" expanded).
QString ScannerStateText(bool enable);
QString ScannerPhrase(std::string_view word, bool restrictStart, bool restrictStop, bool expandStart,
                      bool expandStop);
// The hint of the pages' level boxes.
QString ScannerLevelHint();

// What the three scanner pages share: the item list keyed by the search
// word, the word box with its enable and restrict boxes, "Save", "Save As",
// "&Remove" and "Customize word delimiters", and the load / save / delete
// flow over them. The loaded item is held by its word, never by address: a
// reload or a command may free it while a question is open. The page widget
// goes to the window; this object owns the connections, so none outlives it.
class TScannerGuiBase {
 public:
  // `area`: "MCScanner", "PMScanner" or "SearchScanner": the page's name,
  // the prefix of its control names and of its error places.
  TScannerGuiBase(TMainGui& gui, QString area, const QStringList& columns);
  virtual ~TScannerGuiBase();
  TScannerGuiBase(const TScannerGuiBase&) = delete;
  TScannerGuiBase& operator=(const TScannerGuiBase&) = delete;

  QWidget* Page() const { return page_; }
  const QString& Area() const { return area_; }

  // Clears and refills the rows from the scanner, in its order.
  void RefreshList();
  // Before the scanner frees the item: its row goes, and it is no longer
  // the loaded one.
  void ForgetItem(std::string_view name);
  void ClearEditor();
  void LoadItem(std::string_view name);
  // The editor into the scanner; false when refused (a message said why).
  bool SaveItem(bool renameAllowed);
  void Save();
  void SaveAs();
  void DeleteItem();

  bool HasLoadedItem() const { return loaded_; }
  const std::string& LoadedName() const { return loadedName_; }
  // The editor differs from the loaded item as it was shown.
  bool ItemChanged() const;
  void RefreshButtons();

 protected:
  // The scanner, by name; `FindName` gives the stored name (any case).
  virtual int ItemCount() const = 0;
  virtual std::string ItemName(int index) const = 0;
  virtual const std::string* FindName(std::string_view word) const = 0;
  // texts[0] the state column, texts[1] the word, then the page's columns.
  virtual QStringList RowTexts(std::string_view name) const = 0;
  virtual bool ScannerAdd(std::string_view word) = 0;
  virtual bool ScannerRename(std::string_view name, std::string_view newName) = 0;
  virtual bool ScannerDelete(std::string_view name) = 0;

  // The page's own fields. Show: item to controls (busy set); Shown:
  // remember what they show; Store: controls to the item, only the fields
  // edited since shown unless `all`.
  virtual void ShowFields(std::string_view name) = 0;
  virtual void ClearFields() = 0;
  virtual bool FieldsChanged() const = 0;
  virtual void StoreFields(std::string_view name, bool all) = 0;
  // Before a save: the main-chat page takes its action editor along.
  virtual void BeforeSave() {}

  // The common boxes, for the pages' Show / Store.
  void ShowCommon(std::string_view name, bool enable, bool restrictStart, bool restrictStop);
  void StoreCommon(bool& enable, bool& restrictStart, bool& restrictStop, bool all) const;

  // "<prefix><area><suffix>": the control names.
  QString Name(const char* prefix, const char* suffix = "") const;
  void Inform(const QString& text) const;
  bool Confirm(const QString& text) const;
  // Selects the word's row without loading it.
  void SelectRow(std::string_view name);
  // "GUI.<area>.<operation>"
  std::string Place(const char* operation) const;
  // Runs a change of the scanner; on failure refreshes the list and throws
  // "GUI.<area>.<operation>" with the cause.
  void Guarded(const char* operation, const std::function<void()>& change);
  // Loads the stored item, selects its row and reports `format` for it.
  void ShowStored(const std::string& name, const char* format);

  TMainGui& gui_;
  QString area_;
  bool busy_ = false;
  std::unique_ptr<QObject> context_;  // the connections' receiver
  QWidget* page_;
  QVBoxLayout* editorBox_;  // the pages' own fields go here
  TSortedListView* list_;
  TStateImages* images_;  // a child of the list
  QLineEdit* word_;
  QCheckBox* enable_;
  QCheckBox* restrictStart_;
  QCheckBox* restrictStop_;
  QPushButton* save_;
  QPushButton* saveAs_;
  QPushButton* delimiters_;
  QAction* remove_;

 private:
  void ItemSelectionChanged();
  QTreeWidgetItem* AddRow(std::string_view name);
  void RemoveRow(std::string_view name);

  bool loaded_ = false;
  std::string loadedName_;
  bool shownEnable_ = true;
  bool shownRestrictStart_ = false;
  bool shownRestrictStop_ = false;
};
