#pragma once

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "core/settings_file_set.h"
#include "gui/account_pages.h"
#include "gui/accounts_gui.h"
#include "gui/controls/sorted_list_view.h"
#include "gui/gui_fixture.h"
#include "gui/profiles_gui.h"
#include "gui/text_1252.h"
#include "gui/user_registered_gui.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "security/user_registered.h"

// The window with its accounts, protected-nicks and profiles pages, and a
// few ways to reach into them by their controls.
class TAccountPagesTest : public TGuiTest {
 protected:
  TAccountPages& Pages() { return gui_->AccountPages(); }
  TAccounts& Accounts() { return Root().Accounts(); }
  TProfiles& Profiles() { return Root().Profiles(); }
  TUserRegistered& Registered() { return Root().Registered(); }

  std::string ReadSettingsFile(const std::string& name) const {
    std::ifstream in(home_.String() + "/settings/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // Selects the row whose column `column` reads `text`, as a click would.
  bool SelectRow(const QString& list, const QString& text, int column) {
    auto* view = Control<TSortedListView>(list);
    for (int i = 0; i < view->Count(); ++i) {
      if (view->Item(i)->text(column) != text) continue;
      view->clearSelection();
      view->setCurrentItem(view->Item(i));
      view->Item(i)->setSelected(true);
      return true;
    }
    return false;
  }
  QStringList Column(const QString& list, int column) {
    QStringList texts;
    auto* view = Control<TSortedListView>(list);
    for (int i = 0; i < view->Count(); ++i) texts.append(view->Item(i)->text(column));
    return texts;
  }
  int GuiLineCount() const {
    int n = 0;
    for (const QString& line : FeedLines())
      if (line.contains("via GUI")) ++n;
    return n;
  }
  void Type(const QString& name, const QString& text) { Control<QLineEdit>(name)->setText(text); }
  void Click(const QString& name) { Control<QPushButton>(name)->click(); }

  // A user-defined profile and an account of it.
  std::shared_ptr<TAccount> AddAccount(const std::string& nick, const std::string& profile,
                                       const std::string& pass = "pw") {
    if (Profiles().Find(profile) == nullptr) Profiles().Add(profile);
    std::shared_ptr<TAccount> account = Accounts().Add(nick, profile);
    account->Pass = pass;
    Pages().Accounts().UpdateAccount(*account);
    return account;
  }
};
