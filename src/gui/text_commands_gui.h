#pragma once

#include <QObject>
#include <QPlainTextEdit>
#include <QString>
#include <functional>
#include <string>
#include <string_view>

#include "core/commands/text_commands.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QTreeWidgetItem;
class QWidget;
class TMainGui;
class TSortedListView;
class TStateImages;

// The content box of a text command: what is typed, pasted or inserted
// from its menu passes one entry rule, so "$" and "|" cannot slip past it.
class TTextCommandContent final : public QPlainTextEdit {
  Q_OBJECT

 public:
  using TEncoder = std::function<QString(const QString&)>;
  explicit TTextCommandContent(QWidget* parent = nullptr) : QPlainTextEdit(parent) {}
  void SetEncoder(TEncoder encoder) { encoder_ = std::move(encoder); }
  // Inserts at the caret through the entry rule.
  void InsertEncoded(const QString& text);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;

 private:
  TEncoder encoder_;
};

// The text-commands page: the list of commands by name and the editor of
// one. Holds the loaded command by its name, never by pointer, so a reload
// or a command that removed it meanwhile cannot leave it dangling. Owns no
// widget (the window does) and no command (the list does).
class TTextCommandsGui final : public TTextCommandsView {
 public:
  explicit TTextCommandsGui(TMainGui& gui);
  ~TTextCommandsGui() override;
  TTextCommandsGui(const TTextCommandsGui&) = delete;
  TTextCommandsGui& operator=(const TTextCommandsGui&) = delete;

  QWidget* Page() const { return page_; }

  // TTextCommandsView
  void UpdateCommand(TTextCommand& command) override;
  void RemoveCommand(std::string_view name) override;
  void RefreshList() override;

  void LoadCommand(TTextCommand& command);
  void ClearEditor();
  bool SaveCommand(bool renameAllowed);
  void DeleteSelected();
  void Save();
  void SaveAs();
  void UpdateButtons();
  // The row of the name anew (its state may have changed), or gone.
  void CommandChanged(std::string_view name);

  // "$" and "|" as the message type wants them in the content.
  QString EncodeEntry(const QString& text) const;
  // The selection without broadcast markers, wrapped in the pair of
  // `target` (0 self, 1 operators, 2 everyone, 3 feed); all the text
  // selected: only the markers go and "Broadcast to" becomes `target`.
  void CustomizedBroadcast(int target);
  static QString RemoveBroadcastMarkers(QString text);

 private:
  void Build();
  void BuildContentMenu();
  TTextCommands& Commands() const;
  TTextCommand* Loaded() const;
  void AddRow(const TTextCommand& command);
  void SelectRow(const QString& name);
  void RowSelected();
  bool Changed() const;
  void FillFrom(TTextCommand& command);
  void ApplyEnableRules();
  void AccessMinEdited();
  void AccessMaxEdited();
  void ReceiveEdited();
  void EditorChanged();

  TMainGui& gui_;
  QObject guard_;  // connections end with the controller
  bool busy_ = false;
  bool loaded_ = false;
  std::string loadedName_;
  QWidget* page_ = nullptr;
  TSortedListView* list_ = nullptr;
  TStateImages* images_ = nullptr;  // a child of the list
  QAction* remove_ = nullptr;
  QLineEdit* name_ = nullptr;
  QCheckBox* enabled_ = nullptr;
  QCheckBox* muted_ = nullptr;
  QSpinBox* editLevel_ = nullptr;
  QSpinBox* accessMin_ = nullptr;
  QSpinBox* accessMax_ = nullptr;
  QSpinBox* receiveMin_ = nullptr;
  QSpinBox* receiveMax_ = nullptr;
  QComboBox* visibility_ = nullptr;
  QComboBox* broadcast_ = nullptr;
  QComboBox* messageType_ = nullptr;
  QComboBox* parameters_ = nullptr;
  TTextCommandContent* content_ = nullptr;
  QSpinBox* schedule_ = nullptr;
  QComboBox* autorun_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* saveAs_ = nullptr;
  QMenu* contentMenu_ = nullptr;
};
