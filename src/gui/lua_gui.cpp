#include "gui/lua_gui.h"

#include <QAction>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <array>

#include "core/kavro_root.h"
#include "gui/add_new_lua.h"
#include "gui/dialogs.h"
#include "gui/kavro_application.h"
#include "gui/page_busy.h"
#include "gui/text_1252.h"
#include "platform/file_io.h"
#include "scripting/lua_core.h"
#include "scripting/lua_scripts.h"
#include "utils/program_folder.h"

namespace {

bool IsKeyword(std::string_view word, bool outside) {
  return word == "function" || word == "end" || word == "if" || word == "then" ||
         (outside && word == "elseif");
}

QTextCharFormat Format(TLuaColour colour) {
  QTextCharFormat format;
  switch (colour) {
    case TLuaColour::Plain: format.setForeground(Qt::black); break;
    case TLuaColour::Keyword:
      format.setForeground(Qt::blue);
      format.setFontWeight(QFont::Bold);
      break;
    case TLuaColour::Paren:
      format.setForeground(Qt::darkGreen);
      format.setFontWeight(QFont::Bold);
      break;
    case TLuaColour::String: format.setForeground(QColor(128, 0, 128)); break;
    case TLuaColour::Comment: format.setForeground(QColor(128, 128, 0)); break;
  }
  return format;
}

const char* const kLibraryButtons[] = {"Disconnect", "Statistic", "SendToNick", "SendPmToNick",
                                       "SendToAll"};
const char* const kEventButtons[] = {"OnTimer", "UserConnected", "UserDisconnected", "ToArrival",
                                     "ChatArrival"};

}  // namespace

std::vector<TLuaColour> ColourLuaLine(std::string_view line) {
  std::vector<TLuaColour> colours(line.size(), TLuaColour::Plain);
  bool inString = false;
  bool inComment = false;
  std::size_t word = 0;  // where the current word starts
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    const bool outside = !inString && !inComment;
    const TLuaColour base =
        inComment ? TLuaColour::Comment : inString ? TLuaColour::String : TLuaColour::Plain;
    if (outside && c == '-' && i + 1 < line.size() && line[i + 1] == '-') {
      inComment = true;
      colours[i] = colours[i + 1] = TLuaColour::Comment;
      word = ++i + 1;
      continue;
    }
    if (!inComment && c == '"') {
      colours[i] = TLuaColour::String;
      inString = !inString;
      word = i + 1;
      continue;
    }
    if (outside && (c == '(' || c == ')')) {
      colours[i] = TLuaColour::Paren;
      word = i + 1;
      continue;
    }
    colours[i] = base;
    if (c == ' ' || (c == '\t' && outside)) {
      word = i + 1;
      continue;
    }
    if (IsKeyword(line.substr(word, i + 1 - word), outside)) {
      for (std::size_t k = word; k <= i; ++k) colours[k] = TLuaColour::Keyword;
      word = i + 1;
    }
  }
  return colours;
}

std::string ScriptBytes(const QString& text, std::string_view original) {
  return original.find("\r\n") != std::string_view::npos ? BytesFromMemo(text)
                                                          : BytesFromText(text);
}

TTLuaGui::TTLuaGui(TKavroRoot& root, TLuaScripts& scripts, TDialogs& dialogs, QWidget* parent)
    : QWidget(parent),
      root_(root),
      scripts_(scripts),
      dialogs_(dialogs),
      list_(new QTreeWidget(this)),
      name_(new QLineEdit(this)),
      editor_(new QTextEdit(this)),
      lines_(new QLabel(QStringLiteral("0"), this)),
      caretLine_(new QLabel(QStringLiteral("0"), this)),
      save_(new QPushButton(QStringLiteral("Save"), this)),
      saveAs_(new QPushButton(QStringLiteral("Save As"), this)),
      functions_(new QTabWidget(this)),
      panel_(new QWidget(this)) {
  setObjectName(QStringLiteral("LuaGui"));
  list_->setObjectName(QStringLiteral("lvScripts"));
  list_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Memory")});
  list_->setRootIsDecorated(false);
  list_->setContextMenuPolicy(Qt::ActionsContextMenu);
  auto* add = new QAction(QStringLiteral("Add"), list_);
  add->setObjectName(QStringLiteral("actAddScript"));
  list_->addAction(add);
  name_->setObjectName(QStringLiteral("edtScriptName"));
  name_->setReadOnly(true);
  editor_->setObjectName(QStringLiteral("memScript"));
  editor_->setAcceptRichText(false);
  editor_->setLineWrapMode(QTextEdit::NoWrap);
  editor_->viewport()->installEventFilter(this);
  lines_->setObjectName(QStringLiteral("lblScriptLines"));
  caretLine_->setObjectName(QStringLiteral("lblScriptCaretLine"));
  save_->setObjectName(QStringLiteral("btnScriptSave"));
  saveAs_->setObjectName(QStringLiteral("btnScriptSaveAs"));
  functions_->setObjectName(QStringLiteral("tabScriptFunctions"));
  panel_->setObjectName(QStringLiteral("pnlScripts"));

  const auto buttons = [this](const char* const* names, std::size_t count, bool events) {
    auto* page = new QWidget;
    auto* row = new QHBoxLayout(page);
    for (std::size_t i = 0; i < count; ++i) {
      const QString name = QString::fromLatin1(names[i]);
      auto* button = new QToolButton(page);
      button->setObjectName(QStringLiteral("btnLua") + name);
      button->setText(name);
      button->setToolTip(name);
      const QString text =
          events ? TextFromBytes(TLuaScripts::GetFunctionTemplate(names[i]))
                 : QStringLiteral("core.") + name + QStringLiteral("()\n");
      connect(button, &QToolButton::clicked, this, [this, text] { ArmInsertion(text); });
      row->addWidget(button);
    }
    row->addStretch(1);
    return page;
  };
  functions_->addTab(buttons(kLibraryButtons, std::size(kLibraryButtons), false),
                     QStringLiteral("Library"));
  functions_->addTab(buttons(kEventButtons, std::size(kEventButtons), true),
                     QStringLiteral("Events"));

  auto* left = new QVBoxLayout;
  left->addWidget(list_, 1);
  left->addWidget(panel_);
  auto* right = new QVBoxLayout;
  right->addWidget(name_);
  right->addWidget(functions_);
  right->addWidget(editor_, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(lines_);
  bottom->addWidget(caretLine_);
  bottom->addStretch(1);
  bottom->addWidget(save_);
  bottom->addWidget(saveAs_);
  right->addLayout(bottom);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addLayout(right, 3);

  connect(add, &QAction::triggered, this, [this] { GuardSlot([this] { ShowAddDialog(); }); });
  connect(list_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
            if (busy_ || current == nullptr) return;
            const QString name = current->text(0);
            GuardSlot([this, &name] { SelectScript(name); });
          });
  connect(save_, &QPushButton::clicked, this, [this] { GuardSlot([this] { Save(); }); });
  // "Save As" has nothing to do: a script's name is its file's.
  connect(functions_, &QTabWidget::currentChanged, this, [this] { armed_.clear(); });
  connect(editor_, &QTextEdit::cursorPositionChanged, this, [this] {
    if (!busy_) ShowCounter();
  });
}

QTreeWidgetItem* TTLuaGui::Row(const QString& name) const {
  for (int i = 0; i < list_->topLevelItemCount(); ++i)
    if (list_->topLevelItem(i)->text(0) == name) return list_->topLevelItem(i);
  return nullptr;
}

void TTLuaGui::AddScript(const std::string& name) {
  const QString text = TextFromBytes(name);
  if (Row(text) != nullptr) return;
  TBusyScope busy(busy_);
  list_->addTopLevelItem(new QTreeWidgetItem(QStringList{text, QStringLiteral("0")}));
}

void TTLuaGui::Refresh() {
  list_->setUpdatesEnabled(false);
  for (int i = 0; i < list_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = list_->topLevelItem(i);
    if (const TLuaCore* script = scripts_.Find(BytesFromText(row->text(0))))
      row->setText(1, QString::number(script->MemoryKB()));
  }
  list_->setUpdatesEnabled(true);
}

void TTLuaGui::SelectScript(const QString& name) {
  const std::string key = BytesFromText(name);
  const TLuaCore* script = scripts_.Find(key);
  if (script == nullptr) return;
  armed_.clear();
  shown_ = key;
  name_->setText(name);
  FillEditor(script->Text());
}

void TTLuaGui::FillEditor(const std::string& source) {
  TBusyScope busy(busy_);
  editor_->setUpdatesEnabled(false);
  editor_->clear();
  QTextCursor cursor(editor_->document());
  std::array<QTextCharFormat, 5> formats;
  for (std::size_t i = 0; i < formats.size(); ++i) formats[i] = Format(static_cast<TLuaColour>(i));
  std::string_view rest = source;
  bool first = true;
  while (true) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!first) cursor.insertBlock();
    first = false;
    const std::vector<TLuaColour> colours = ColourLuaLine(line);
    const QString text = TextFromBytes(line);  // one character per byte
    std::size_t start = 0;
    while (start < colours.size()) {
      std::size_t stop = start;
      while (stop < colours.size() && colours[stop] == colours[start]) ++stop;
      cursor.insertText(text.mid(static_cast<qsizetype>(start), static_cast<qsizetype>(stop - start)),
                        formats[static_cast<std::size_t>(colours[start])]);
      start = stop;
    }
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  original_ = source;
  shownText_ = editor_->toPlainText();
  editor_->moveCursor(QTextCursor::Start);
  lines_->setText(QString::number(editor_->document()->blockCount()));
  caretLine_->setText(QStringLiteral("0"));
  editor_->setUpdatesEnabled(true);
}

void TTLuaGui::ShowCounter() {
  lines_->setText(QString::number(editor_->document()->blockCount()));
  caretLine_->setText(QString::number(editor_->textCursor().blockNumber() + 1));
}

QString TTLuaGui::LineCounter() const { return lines_->text() + "/" + caretLine_->text(); }

void TTLuaGui::Save() {
  const QTreeWidgetItem* current = list_->currentItem();
  if (shown_.empty() || current == nullptr || BytesFromText(current->text(0)) != shown_) return;
  if (scripts_.Find(shown_) == nullptr) return;
  const QString text = editor_->toPlainText();
  // Untouched text is written as it was read: the editor cannot show every
  // byte sequence (a lone CR, mixed line breaks) faithfully.
  const std::string bytes = text == shownText_ ? original_ : ScriptBytes(text, original_);
  if (!WriteFileAtomic(ProgramPath(kScriptsFolder, shown_), bytes)) {
    root_.ReportError("ECoreCriticalError:TTLuaGui.Save(the file could not be written): for file " +
                      shown_);
    return;
  }
  original_ = bytes;
  shownText_ = text;
  scripts_.LoadScript(shown_);
}

bool TTLuaGui::AddNewScript(const QString& typed) {
  if (typed.isEmpty() || typed.contains(QLatin1Char('/')) || typed.contains(QLatin1Char('\\')) ||
      typed.startsWith(QLatin1Char('.'))) {
    dialogs_.Inform(QStringLiteral("A script name may not be empty, contain \"/\" or \"\\\" or "
                                   "start with \".\"."),
                    TDialogs::TKind::Information);
    return false;
  }
  const std::string path = ProgramPath(kScriptsFolder, BytesFromText(typed) + ".lua");
  if (FileExists(path)) return true;
  if (!WriteFileAtomic(path, ""))
    root_.ReportError("ECoreCriticalError:TTLuaGui.Add(the file could not be created): for file " +
                      BytesFromText(typed) + ".lua");
  return true;
}

void TTLuaGui::ShowAddDialog() {
  TfrmAddNewLua dialog([this](const QString& typed) { return AddNewScript(typed); }, this);
  dialog.exec();
}

bool TTLuaGui::eventFilter(QObject* watched, QEvent* event) {
  if (watched == editor_->viewport() && event->type() == QEvent::MouseButtonRelease &&
      !armed_.isEmpty()) {
    QTextCursor cursor = editor_->textCursor();
    cursor.insertText(armed_, Format(TLuaColour::Plain));
    armed_.clear();
  }
  return QWidget::eventFilter(watched, event);
}
