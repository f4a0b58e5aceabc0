#include "gui/blocked_gui.h"

#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/hub_core.h"
#include "core/hub_socket.h"
#include "core/kavro_root.h"
#include "core/nick_list.h"
#include "gui/text_1252.h"

TBlockedGui::TBlockedGui(TKavroRoot& root, QWidget* parent)
    : QWidget(parent), root_(root), list_(new QTreeWidget(this)) {
  setObjectName(QStringLiteral("BlockedGui"));
  list_->setObjectName(QStringLiteral("lvBlocked"));
  list_->setHeaderLabels({QStringLiteral("IP"), QStringLiteral("Nick"), QStringLiteral("Count")});
  list_->setRootIsDecorated(false);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
}

QTreeWidgetItem* TBlockedGui::Row(const QString& nick) const {
  for (int i = 0; i < list_->topLevelItemCount(); ++i)
    if (list_->topLevelItem(i)->text(1) == nick) return list_->topLevelItem(i);
  return nullptr;
}

void TBlockedGui::Refresh() {
  TNickList& users = root_.NickList();
  // A blocked user who left would otherwise keep his row for good.
  for (int i = list_->topLevelItemCount() - 1; i >= 0; --i) {
    QTreeWidgetItem* row = list_->topLevelItem(i);
    const THubSocket* user = users.FindUser(BytesFromText(row->text(1)));
    if (user == nullptr || user->LifeState != lsInitialised) delete row;
  }
  THubCore& core = root_.HubCore();
  for (int i = core.ConnectionCount() - 1; i >= 0; --i) {
    const THubSocket& user = *core.ConnectionAt(i);
    // Only the user the list holds speaks for the nick.
    if (user.Nick.empty() || users.FindUser(user.Nick) != &user) continue;
    const QString nick = TextFromBytes(user.Nick);
    QTreeWidgetItem* row = Row(nick);
    if (user.UserInfo().Blocked && user.LifeState == lsInitialised) {
      if (row == nullptr)
        list_->addTopLevelItem(
            new QTreeWidgetItem(QStringList{TextFromBytes(user.IP), nick, QStringLiteral("0")}));
    } else if (row != nullptr) {
      delete row;
    }
  }
}
