#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTextEdit;
class QTreeWidget;
class QTreeWidgetItem;
class TDialogs;
class TKavroRoot;
class TLuaScripts;

// How the script editor draws one byte of a line.
enum class TLuaColour : std::uint8_t {
  Plain,    // black
  Keyword,  // bold blue
  Paren,    // bold green
  String,   // purple, the quotes included
  Comment,  // olive
};

// The colour of each byte of one script line. Words end at blanks (tabs
// only outside strings and comments), parentheses and quotes; a word is
// cut where it has grown into "function", "end", "if" or "then" (inside
// strings and comments too) or "elseif" (outside them), so "endless" shows
// "end" as a keyword and "less" plain. String and comment state start anew
// on each line.
std::vector<TLuaColour> ColourLuaLine(std::string_view line);

// The bytes to store for an edited script: the editor's text in
// Windows-1252, with CR LF line breaks when the script had them.
std::string ScriptBytes(const QString& text, std::string_view original);

// The Lua page: the loaded scripts with their memory, the editor with its
// colouring and counters, "Save" (written whole and run again), and "Add"
// (a new empty script file that the scan timer then loads). Owns its
// widgets and the edited script's original bytes; not the scripts.
class TTLuaGui : public QWidget {
  Q_OBJECT
 public:
  TTLuaGui(TKavroRoot& root, TLuaScripts& scripts, TDialogs& dialogs, QWidget* parent = nullptr);

  // A script about to load; it gets a row.
  void AddScript(const std::string& name);
  // Every row's memory column.
  void Refresh();
  // Fills the editor with the script's text.
  void SelectScript(const QString& name);
  void Save();
  // The "Add new" dialog's "Add": false when the name is refused.
  bool AddNewScript(const QString& typed);
  // The "Add" menu entry: the dialog, modally.
  void ShowAddDialog();
  // Arms an insertion of a function button's text at the editor's next
  // mouse release.
  void ArmInsertion(const QString& text) { armed_ = text; }

  // The parent the scripts' own controls go on.
  QWidget* ScriptPanel() const { return panel_; }
  QTreeWidget* List() const { return list_; }
  QTextEdit* Editor() const { return editor_; }
  QString LineCounter() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QTreeWidgetItem* Row(const QString& name) const;
  void FillEditor(const std::string& source);
  void ShowCounter();

  TKavroRoot& root_;
  TLuaScripts& scripts_;
  TDialogs& dialogs_;
  QTreeWidget* list_;
  QLineEdit* name_;
  QTextEdit* editor_;
  QLabel* lines_;
  QLabel* caretLine_;
  QPushButton* save_;
  QPushButton* saveAs_;
  QTabWidget* functions_;
  QWidget* panel_;
  bool busy_ = false;
  std::string shown_;     // the script in the editor; "" for none
  std::string original_;  // its bytes as shown
  QString shownText_;     // the editor's text right after the fill
  QString armed_;         // a function button's text waiting for a click
};
