#include "gui/notifications_gui.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <tuple>

#include "settings/settings.h"

TNotificaitonsGui::TNotificaitonsGui(TSettings& settings)
    : binder_("GUI.Notifications.StoreSettings", [this](int) { StoreSettings(); }) {
  page_ = new QWidget;
  page_->setObjectName(QStringLiteral("NotificationsPage"));
  auto* grid = new QGridLayout(page_);
  TSettings& s = settings;
  const std::tuple<const char*, QString, bool*> flags[] = {
      {"chkNotifyInvalidKey", QStringLiteral("Notify invalid key (if kicking)"),
       &s.NotifyInvalidKey},
      {"chkNotificationInvalidMyINFO", QStringLiteral("Notify invalid MyINFO"),
       &s.NotificationInvalidMyINFO},
      {"chkNotificationInvalidPM", QStringLiteral("Notify invalid private message"),
       &s.NotificationInvalidPM},
      {"chkNotifyInvalidMC", QStringLiteral("Notify invalid mainchat message"),
       &s.NotifyInvalidMC},
      {"chkNotifyInvalidIPInConnectToMe",
       QStringLiteral("Notify incorrect IP in connection attempt"),
       &s.NotifyInvalidIPInConnectToMe},
      {"chkNotifyInvalidCharsInNick", QStringLiteral("Notify incorrect characters in nick"),
       &s.NotifyInvalidCharsInNick},
      {"chkNotifyInvalidRevConnectToMe",
       QStringLiteral("Notify invalid passive connection attempt"),
       &s.NotifyInvalidRevConnectToMe},
      {"chkNotifyInvalidSR", QStringLiteral("Notify invalid search result (SR)"),
       &s.NotifyInvalidSR},
      {"chkNotifyMyINFOSpam", QStringLiteral("Notify on MyINFO spam"), &s.NotifyMyINFOSpam},
      {"chkNotifySearchSpam", QStringLiteral("Notify on search spam"), &s.NotifySearchSpam},
      {"chkNotifyMCSpam", QStringLiteral("Notify on mainchat spam"), &s.NotifyMCSpam},
      {"chkNotifyPMSpam", QStringLiteral("Notify on private message spam"), &s.NotifyPMSpam},
      {"chkNotifyGetNickListSpam", QStringLiteral("Notify on nicklist spam"),
       &s.NotifyGetNickListSpam},
      {"chkNotifyJunkDataSpam", QStringLiteral("Notify on junk data spam"),
       &s.NotifyJunkDataSpam},
      {"chkSuppressKickMessagesInMainChat",
       QStringLiteral("Suppress client kick message in mainchat"),
       &s.SuppressKickMessagesInMainChat},
      {"chkInformOperatorsInMcOnKick", QStringLiteral("Notify operators on kick in mainchat"),
       &s.InformOperatorsInMcOnKick},
      {"chkInformOperatorsInMcOnBan", QStringLiteral("Notify operators on ban in mainchat"),
       &s.InformOperatorsInMcOnBan},
      {"chkUseFeedCommand", QStringLiteral("Use the Feed command if supported"),
       &s.UseFeedCommand},
      {"chkSaveFeedToDisk", QStringLiteral("Save Feed to disk"), &s.SaveFeedToDisk},
  };
  int row = 0;
  for (const auto& [name, caption, value] : flags) {
    auto* box = NewCheck(page_, name, caption);
    grid->addWidget(box, row++, 0, 1, 2);
    binder_.Check(0, box, *value);
  }
  auto* feedName = NewEdit(page_, "edtFeedName");
  grid->addWidget(new QLabel(QStringLiteral("Feed name"), page_), row, 0);
  grid->addWidget(feedName, row++, 1);
  binder_.Text(0, feedName, s.FeedName);
  auto* incorrect =
      NewCheck(page_, "chkNotifyIncorrectPass", QStringLiteral("Notify incorrect pass after"));
  auto* count = NewSpin(page_, "seNotifyIncorrectPass", 0, 1000000);
  grid->addWidget(incorrect, row, 0);
  grid->addWidget(count, row++, 1);
  binder_.Check(0, incorrect, s.NotifyIncorrectPass.Enabled);
  binder_.Spin(0, count, s.NotifyIncorrectPass.Value);
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(2, 1);
}
