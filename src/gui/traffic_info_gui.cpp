#include "gui/traffic_info_gui.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTreeWidget>
#include <algorithm>

#include "core/hub_core.h"
#include "core/hub_socket.h"
#include "core/kavro_root.h"
#include "core/nick_list.h"
#include "gui/text_1252.h"
#include "utils/byte_size.h"
#include "utils/hub_time.h"

namespace {

const QString kCaption = QStringLiteral("Traffic Info");

const char* const kCaptions[] = {
    "Mainchat messages:",         "Private messages:",         "Active searches:",
    "Passive searches:",          "Search replies:",           "MyINFOs sent:",
    "MyINFOs requested:",         "Nicklists requested:",      "Active connection attempts:",
    "Passive connection attempts:", "Kicks:",                  "Redirects:",
    "Bandwidth:",                 "Data sent (to user):",      "Data recv (from user):",
    "Junk data recv (from user):"};

QString Size(std::int64_t bytes) { return TextFromBytes(FormatByteSize(bytes)); }

}  // namespace

TTrafficInfoGui::TTrafficInfoGui(TKavroRoot& root, QWidget* parent)
    : QWidget(parent),
      root_(root),
      ticks_([] { return TTime::Now(); }),
      list_(new QTreeWidget(this)),
      box_(new QGroupBox(kCaption, this)) {
  setObjectName(QStringLiteral("TrafficInfoGui"));
  list_->setObjectName(QStringLiteral("lvTrafficInfo"));
  list_->setHeaderLabels({QStringLiteral("Nick")});
  list_->setRootIsDecorated(false);
  list_->setSortingEnabled(false);
  box_->setObjectName(QStringLiteral("gbTrafficInfo"));
  auto* form = new QFormLayout(box_);
  for (const char* caption : kCaptions) {
    auto* label = new QLabel;
    form->addRow(QString::fromLatin1(caption), label);
    values_[QString::fromLatin1(caption)] = label;
  }
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addWidget(box_, 2);
  // Queued: choosing a gone nick deletes its row, which must not happen
  // inside the list's own signal.
  connect(list_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
            if (current == nullptr) return;
            const QString nick = current->text(0);
            QMetaObject::invokeMethod(this, [this, nick] { SelectNick(nick); },
                                      Qt::QueuedConnection);
          });
}

QString TTrafficInfoGui::Caption() const { return box_->title(); }

QString TTrafficInfoGui::Value(const QString& caption) const {
  const auto it = values_.find(caption);
  return it == values_.end() ? QString() : it->second->text();
}

QTreeWidgetItem* TTrafficInfoGui::Row(const QString& nick) const {
  for (int i = 0; i < list_->topLevelItemCount(); ++i)
    if (list_->topLevelItem(i)->text(0) == nick) return list_->topLevelItem(i);
  return nullptr;
}

void TTrafficInfoGui::DeleteRow(QTreeWidgetItem* row) {
  if (row->text(0) == shown_) ClearDetails();
  delete row;
}

void TTrafficInfoGui::ClearDetails() {
  shown_.clear();
  box_->setTitle(kCaption);
  for (auto& [caption, label] : values_) label->clear();
}

void TTrafficInfoGui::Refresh() {
  TNickList& users = root_.NickList();
  for (int i = list_->topLevelItemCount() - 1; i >= 0; --i) {
    QTreeWidgetItem* row = list_->topLevelItem(i);
    if (users.FindUser(BytesFromText(row->text(0))) == nullptr) DeleteRow(row);
  }
  THubCore& core = root_.HubCore();
  for (int i = core.ConnectionCount() - 1; i >= 0; --i) {
    const THubSocket& user = *core.ConnectionAt(i);
    if (user.Nick.empty()) continue;
    // Only the user the list holds speaks for the nick: a refused second
    // login with the same nick must not touch his row.
    if (users.FindUser(user.Nick) != &user) continue;
    const QString nick = TextFromBytes(user.Nick);
    QTreeWidgetItem* row = Row(nick);
    if (user.LifeState == lsClosing) {
      if (row != nullptr) DeleteRow(row);
    } else if (user.LifeState == lsInitialised) {
      if (row == nullptr) {
        list_->addTopLevelItem(new QTreeWidgetItem(QStringList{nick}));
      } else if (nick == shown_) {
        ShowDetails(nick);
      }
    }
  }
}

void TTrafficInfoGui::SelectNick(const QString& nick) {
  QTreeWidgetItem* row = Row(nick);
  const THubSocket* user = root_.NickList().FindUser(BytesFromText(nick));
  if (user == nullptr || user->LifeState != lsInitialised) {
    if (row != nullptr) DeleteRow(row);
    ClearDetails();
    return;
  }
  ShowDetails(nick);
}

void TTrafficInfoGui::ShowDetails(const QString& nick) {
  const THubSocket* user = root_.NickList().FindUser(BytesFromText(nick));
  if (user == nullptr) return;
  shown_ = nick;
  box_->setTitle(QStringLiteral("Traffic Info for user: ") + nick);
  const TTransferInfo& t = user->UserInfo().Transfer;
  const std::uint64_t now = ticks_();
  // Under a second counts as one: never a division by zero.
  const std::uint64_t seconds = std::max<std::uint64_t>(
      1, now > user->ConnectTick ? (now - user->ConnectTick) / 1000 : 0);
  const std::int64_t numbers[] = {t.MainChatLines, t.PrivateMessages, t.SearchesActive,
                                  t.SearchesPassive, t.ResultsSent,    t.MyINFOs,
                                  t.GetINFOs,        t.NickLists,      t.ConnectToMe,
                                  t.RevConnectToMe,  t.Kicks,          t.Redirects};
  std::size_t i = 0;
  for (const std::int64_t value : numbers)
    values_[QString::fromLatin1(kCaptions[i++])]->setText(QString::number(value));
  values_[QStringLiteral("Bandwidth:")]->setText(
      Size(t.BytesSent / static_cast<std::int64_t>(seconds)) + QStringLiteral("/s"));
  values_[QStringLiteral("Data sent (to user):")]->setText(Size(t.BytesSent));
  values_[QStringLiteral("Data recv (from user):")]->setText(Size(t.BytesReceived));
  values_[QStringLiteral("Junk data recv (from user):")]->setText(Size(t.JunkBytes));
}
