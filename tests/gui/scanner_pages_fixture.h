#pragma once

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "gui/controls/sorted_list_view.h"
#include "core/settings_file_set.h"
#include "gui/gui_fixture.h"
#include "platform/file_io.h"
#include "utils/constants.h"
#include "utils/xml_document.h"

// One main-chat action and item as the hub writes them.
struct TMCActionRow {
  int Level = 10;
  int Action = 6;
  std::string Replace;
  bool UseTime = false;
  std::string Start = "00:00:00";
  std::string Stop = "23:59:59";
};
struct TMCItemRow {
  std::string Name;
  bool Enable = true;
  bool RestrictStart = false;
  bool RestrictStop = false;
  bool ExpandStart = false;
  bool ExpandStop = false;
  std::vector<TMCActionRow> Actions;
};
// One private-message or search item as the hub writes it.
struct TWordItemRow {
  std::string Name;
  int Level = 10;
  bool Enable = true;
  bool RestrictStart = false;
  bool RestrictStop = false;
  int Action = 0;
  std::string Reason;
};

inline TMCItemRow MCNamed(const std::string& name) {
  TMCItemRow row;
  row.Name = name;
  return row;
}
inline TWordItemRow WordNamed(const std::string& name) {
  TWordItemRow row;
  row.Name = name;
  return row;
}

// The hub's own layout of the scanner files (items in name order), so a
// file the pages leave alone saves byte for byte.
inline std::string ScannerXmlElement(int depth, const std::string& name, const std::string& text) {
  std::string out = "\r\n" + std::string(2 * static_cast<std::size_t>(depth), ' ');
  if (text.empty()) return out + "<" + name + "/>";
  return out + "<" + name + ">" + EscapeXML(text) + "</" + name + ">";
}
inline std::string ScannerXmlFlag(int depth, const std::string& name, bool on) {
  return ScannerXmlElement(depth, name, on ? "true" : "false");
}
inline std::string ScannerXmlHead(const std::string& root) {
  return "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<" + root + " version=\"" +
         std::string(kProgramVersion) + "\">";
}

inline std::string MCFile(const std::vector<TMCItemRow>& items) {
  std::string out = ScannerXmlHead("MainChatScanner");
  for (const TMCItemRow& item : items) {
    out += "\r\n  <Item>";
    out += ScannerXmlElement(2, "Name", item.Name);
    out += ScannerXmlFlag(2, "Enable", item.Enable);
    out += ScannerXmlFlag(2, "RestrictStart", item.RestrictStart);
    out += ScannerXmlFlag(2, "RestrictStop", item.RestrictStop);
    out += ScannerXmlFlag(2, "ExpandStart", item.ExpandStart);
    out += ScannerXmlFlag(2, "ExpandStop", item.ExpandStop);
    if (item.Actions.empty()) {
      out += "\r\n    <Actions/>";
    } else {
      out += "\r\n    <Actions>";
      for (const TMCActionRow& action : item.Actions) {
        out += "\r\n      <Action>";
        out += ScannerXmlElement(4, "Level", std::to_string(action.Level));
        out += ScannerXmlElement(4, "Action", std::to_string(action.Action));
        out += ScannerXmlElement(4, "Replace", action.Replace);
        out += ScannerXmlFlag(4, "UseTime", action.UseTime);
        out += ScannerXmlElement(4, "Start", action.Start);
        out += ScannerXmlElement(4, "Stop", action.Stop);
        out += "\r\n      </Action>";
      }
      out += "\r\n    </Actions>";
    }
    out += "\r\n  </Item>";
  }
  return out + (items.empty() ? "" : "\r\n") + "</MainChatScanner>";
}

inline std::string WordFile(const std::vector<TWordItemRow>& items) {
  std::string out = ScannerXmlHead("PrivateMessageScanner");
  for (const TWordItemRow& item : items) {
    out += "\r\n  <Item>";
    out += ScannerXmlElement(2, "Name", item.Name);
    out += ScannerXmlElement(2, "Level", std::to_string(item.Level));
    out += ScannerXmlFlag(2, "Enable", item.Enable);
    out += ScannerXmlFlag(2, "RestrictStart", item.RestrictStart);
    out += ScannerXmlFlag(2, "RestrictStop", item.RestrictStop);
    out += ScannerXmlElement(2, "Action", std::to_string(item.Action));
    out += ScannerXmlElement(2, "Reason", item.Reason);
    out += "\r\n  </Item>";
  }
  return out + (items.empty() ? "" : "\r\n") + "</PrivateMessageScanner>";
}

// The window with scanner files written before it starts; drives the
// pages through their named controls.
class TScannerPagesTest : public TGuiTest {
 protected:
  void PrepareHome() override {
    for (const auto& [name, bytes] : files_) ASSERT_TRUE(WriteFileAtomic(SettingsFile(name), bytes));
  }

  std::string SettingsFile(const std::string& name) const { return home_.File("settings/" + name); }
  // The file as a save of all settings writes it: the pages change the
  // scanners, the save runs write them.
  std::string FileBytes(const std::string& name) {
    Root().SettingsFiles().SaveAll(false);
    std::string bytes;
    ReadFileBytes(SettingsFile(name), bytes);
    return bytes;
  }

  void Click(const QString& name) { Control<QPushButton>(name)->click(); }
  void Trigger(const QString& name) { Control<QAction>(name)->trigger(); }
  void Type(const QString& name, const QString& text) { Control<QLineEdit>(name)->setText(text); }
  void Select(const QString& list, const QString& word) {
    TSortedListView* view = Control<TSortedListView>(list);
    QTreeWidgetItem* row = view->FindItem(word);
    ASSERT_NE(row, nullptr) << word.toStdString();
    view->setCurrentItem(row);
  }
  QStringList Words(const QString& list) {
    QStringList words;
    TSortedListView* view = Control<TSortedListView>(list);
    for (int i = 0; i < view->Count(); ++i) words.append(view->Item(i)->text(1));
    return words;
  }
  QString SelectedWord(const QString& list) {
    const QList<QTreeWidgetItem*> rows = Control<TSortedListView>(list)->selectedItems();
    return rows.isEmpty() ? QString() : rows.front()->text(1);
  }
  int GuiLines() const {
    int count = 0;
    for (const QString& line : FeedLines())
      if (line.contains(QStringLiteral("via GUI"))) ++count;
    return count;
  }

  std::map<std::string, std::string> files_;
};
