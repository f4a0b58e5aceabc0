#include "gui/restrictions_gui.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <tuple>

#include "gui/controls/char_map_frame.h"
#include "gui/dialogs.h"
#include "gui/kavro_application.h"
#include "settings/settings.h"

namespace {

constexpr int kMaxLength = 1000000;

}  // namespace

TRestrictionsGui::TRestrictionsGui(TSettings& settings, TDialogs& dialogs)
    : settings_(settings), dialogs_(dialogs), binder_("GUI.Restrictions.Store", [this](int group) { binder_.Store(group); }) {
  Build();
}

TRestrictionsGui::~TRestrictionsGui() = default;

void TRestrictionsGui::Build() {
  page_ = new QWidget;
  page_->setObjectName(QStringLiteral("RestrictionsPage"));
  auto* columns = new QGridLayout(page_);
  TSettings& s = settings_;

  // A switch with its value, one row of a group's grid.
  auto limit = [this](QGroupBox* group, int id, const char* key, const QString& caption,
                      TEnabledInt& value) {
    auto* grid = static_cast<QGridLayout*>(group->layout());
    const int row = grid->rowCount();
    const QByteArray box = QByteArray("chk") + key;
    const QByteArray spin = QByteArray("se") + key;
    auto* check = NewCheck(group, box.constData(), caption);
    auto* edit = NewSpin(group, spin.constData(), 0, kMaxLength);
    grid->addWidget(check, row, 0);
    grid->addWidget(edit, row, 1);
    binder_.Check(id, check, value.Enabled);
    binder_.Spin(id, edit, value.Value);
  };
  auto newGroup = [this](const QString& caption) {
    auto* group = new QGroupBox(caption, page_);
    new QGridLayout(group);
    return group;
  };

  QGroupBox* search = newGroup(QStringLiteral("Search"));
  limit(search, gSearch, "SRMaxCount", QStringLiteral("Max search replies:"), s.SRMaxCount);
  limit(search, gSearch, "SearchMinLengthAny", QStringLiteral("Min length any file type:"),
        s.SearchMinLengthAny);
  limit(search, gSearch, "SearchMinLengthSpec", QStringLiteral("Min length specific file type:"),
        s.SearchMinLengthSpec);

  QGroupBox* length = newGroup(QStringLiteral("Length"));
  limit(length, gLength, "NickMinLength", QStringLiteral("Nick min length:"), s.NickMinLength);
  limit(length, gLength, "NickMaxLength", QStringLiteral("Nick max length:"), s.NickMaxLength);
  limit(length, gLength, "SearchMaxLength", QStringLiteral("Search max length:"),
        s.SearchMaxLength);
  limit(length, gLength, "MyINFOMaxLength", QStringLiteral("MyINFO max length:"),
        s.MyINFOMaxLength);
  limit(length, gLength, "MainChatMaxMessageLength", QStringLiteral("Mainchat max length:"),
        s.MainChatMaxMessageLength);
  limit(length, gLength, "PrivateMessageMaxMessageLength",
        QStringLiteral("Private message max length:"), s.PrivateMessageMaxMessageLength);
  limit(length, gLength, "TopicMaxMessageLength", QStringLiteral("Topic max length:"),
        s.TopicMaxMessageLength);

  QGroupBox* myinfo = newGroup(QStringLiteral("MyINFO"));
  auto* myinfoGrid = static_cast<QGridLayout*>(myinfo->layout());
  auto* pooling = NewCheck(myinfo, "chkMyINFOPooling", QStringLiteral("Pool MyINFO changes for"));
  auto* poolingMinutes = NewSpin(myinfo, "seMyINFOPooling", 0, 10000);
  myinfoGrid->addWidget(pooling, 0, 0);
  myinfoGrid->addWidget(poolingMinutes, 0, 1);
  myinfoGrid->addWidget(new QLabel(QStringLiteral("minutes"), myinfo), 0, 2);
  binder_.TriState(gMyINFO, pooling, s.MyINFOPooling.State);
  binder_.SpinMs(gMyINFO, poolingMinutes, s.MyINFOPooling.Value, 60000);
  const std::tuple<const char*, QString, TTriState*> disables[] = {
      {"chkDisableMyINFODescription", QStringLiteral("Disable description"),
       &s.DisableMyINFODescription},
      {"chkDisableMyINFODescriptionTag", QStringLiteral("Disable description tag"),
       &s.DisableMyINFODescriptionTag},
      {"chkDisableMyINFOEmail", QStringLiteral("Disable email"), &s.DisableMyINFOEmail},
      {"chkDisableMyINFOConnectionSpeed", QStringLiteral("Disable connection speed information"),
       &s.DisableMyINFOConnectionSpeed},
  };
  for (const auto& [name, caption, value] : disables) {
    auto* box = NewCheck(myinfo, name, caption);
    myinfoGrid->addWidget(box, myinfoGrid->rowCount(), 0, 1, 3);
    binder_.TriState(gMyINFO, box, *value);
  }

  QGroupBox* protocol = newGroup(QStringLiteral("Protocol"));
  auto* protocolGrid = static_cast<QGridLayout*>(protocol->layout());
  const std::tuple<const char*, QString, bool*> rights[] = {
      {"chkSearchAllowed", QStringLiteral("May search"), &s.SearchAllowed},
      {"chkPassiveSearchAllowed", QStringLiteral("May search in passive mode"),
       &s.PassiveSearchAllowed},
      {"chkMainChatMessageAllowed", QStringLiteral("May send Mainchat messages"),
       &s.MainChatMessageAllowed},
      {"chkPrivateMessageAllowed", QStringLiteral("May send Private messages"),
       &s.PrivateMessageAllowed},
      {"chkConnectToMeAllowed", QStringLiteral("May connect to other users in active mode"),
       &s.ConnectToMeAllowed},
      {"chkRevConnectToMeAllowed", QStringLiteral("May connect to other users in passive mode"),
       &s.RevConnectToMeAllowed},
      {"chkKickAllowed", QStringLiteral("May use kick"), &s.KickAllowed},
      {"chkRedirectAllowed", QStringLiteral("May use redirect"), &s.RedirectAllowed},
  };
  for (const auto& [name, caption, value] : rights) {
    auto* box = NewCheck(protocol, name, caption);
    protocolGrid->addWidget(box, protocolGrid->rowCount(), 0);
    binder_.Check(gProtocol, box, *value);
  }

  QGroupBox* nick = newGroup(QStringLiteral("Nick characters"));
  auto* nickGrid = static_cast<QGridLayout*>(nick->layout());
  auto* nickCheck =
      NewCheck(nick, "chkAllowedNickChars", QStringLiteral("Enable check of nick characters"));
  auto* customize = new QPushButton(QStringLiteral("Customize"), nick);
  customize->setObjectName(QStringLiteral("btnCustomizeNickChars"));
  nickGrid->addWidget(nickCheck, 0, 0);
  nickGrid->addWidget(customize, 0, 1);
  binder_.Check(gNickCheck, nickCheck, s.AllowedNickCharsEnabled);
  QObject::connect(customize, &QPushButton::clicked, customize,
                   [this] { GuardSlot([this] { EditAllowedNickChars(); }); });

  columns->addWidget(search, 0, 0);
  columns->addWidget(length, 1, 0);
  columns->addWidget(protocol, 0, 1);
  columns->addWidget(myinfo, 1, 1);
  columns->addWidget(nick, 2, 0);
  columns->setRowStretch(3, 1);
}

void TRestrictionsGui::ShowSettings() {
  for (const TGroup group : {gSearch, gLength, gProtocol, gMyINFO, gNickCheck})
    binder_.Show(group);
}

TfrmAllowedNickChars& TRestrictionsGui::AllowedNickCharsDialog() {
  if (!nickChars_)
    nickChars_ = std::make_unique<TfrmAllowedNickChars>(
        settings_, [this](const QString& question) { return dialogs_.Confirm(question); });
  return *nickChars_;
}

TfrmWordDelimiter& TRestrictionsGui::WordDelimiterDialog() {
  if (!wordDelimiters_)
    wordDelimiters_ = std::make_unique<TfrmWordDelimiter>(
        settings_, [this](const QString& question) { return dialogs_.Confirm(question); });
  return *wordDelimiters_;
}

void TRestrictionsGui::EditAllowedNickChars() { AllowedNickCharsDialog().Edit(); }

void TRestrictionsGui::EditWordDelimiters() { WordDelimiterDialog().Edit(); }
