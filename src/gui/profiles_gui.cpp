#include "gui/profiles_gui.h"

#include <QAction>
#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QTabWidget>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <map>

#include "base/case_tables.h"
#include "base/exceptions.h"
#include "core/kavro_root.h"
#include "gui/controls/conn_restriction_frame.h"
#include "gui/controls/profile_access_check_box.h"
#include "gui/controls/sorted_list_view.h"
#include "gui/dialogs.h"
#include "gui/kavro_application.h"
#include "gui/main_gui.h"
#include "gui/page_busy.h"
#include "gui/profile_choices.h"
#include "gui/state_icons.h"
#include "gui/text_1252.h"
#include "security/profiles.h"
#include "utils/text_format.h"

namespace {

using R = TProfileRight;

struct TRightCaption {
  TProfileRight Right;
  const char* Caption;
};

// Every right with a control; MayReceiveNickListBeforeMyINFO has none.
constexpr TRightCaption kCaptions[] = {
    {R::IsOperator, "Is operator"},
    {R::ForceHideShare, "Force hide share"},
    {R::MayHideShare, "May hide share"},
    {R::MayHideMe, "May hide self"},
    {R::MayShowHidden, "May see hidden users"},
    {R::MayUseHubCommands, "May use hub commands"},
    {R::MayEnterEvenIfHubIsFull, "Can enter even if hub is full"},
    {R::MayLockHub, "Lock hub"},
    {R::MayRedirectAll, "Redirect all"},
    {R::MaySetTopic, "Set topic"},
    {R::MaySaveSettings, "Save settings"},
    {R::MayChangeUserLimit, "Change userlimit"},
    {R::MaySetMinShare, "Set min share"},
    {R::MaySetMaxShare, "Set max share"},
    {R::MaySetMaxHubs, "Set max hubs"},
    {R::MaySetMinSlots, "Set min slots"},
    {R::MaySetMaxSlots, "Set max slots"},
    {R::MaySetSlotRatio, "Set slotratio"},
    {R::MaySetWorkPace, "Set workpace"},
    {R::MayDisabledMainChat, "Lock mainchat"},
    {R::MayShowHubInfo, "Hub info"},
    {R::MayShowUserInfo, "User info"},
    {R::MayShowIPInfo, "IP info"},
    {R::MayShowNickInfo, "Nick info"},
    {R::MayShowTrafficInfo, "Traffic info"},
    {R::MayShowTrafficStats, "Traffic stats"},
    {R::MayAccessUserIP, "May access UserIP"},
    {R::MayAccessUserIP2, "May access UserIP2"},
    {R::MayAccessMCTo, "May access MCTo"},
    {R::MayUseDHT, "May use DHT support"},
    {R::MayAccountsAdd, "Add account"},
    {R::MayAccountsDel, "Remove account"},
    {R::MayAccountsList, "List accounts"},
    {R::MayAccountsSetProfile, "Set profile"},
    {R::MayAccountsSetIPs, "Set required IP/IP range"},
    {R::MayAccountsShowIPs, "Show required IP/IP range"},
    {R::MayAccountsSetComment, "Set comment"},
    {R::MayAccountsSetGreeting, "Set greeting"},
    {R::MayAccountsSetExpireDate, "Set expiredate"},
    {R::MayAccountsSetOwner, "Set owner"},
    {R::MayAccountsSetPass, "Set password"},
    {R::MayAccountsShowPass, "Show passwords"},
    {R::MayAccountsProfilesShow, "Show profiles"},
    {R::MayBlockUser, "Block user"},
    {R::MayRedirect, "Redirect user"},
    {R::MayDropUser, "Drop user"},
    {R::MayKickUser, "Kick user"},
    {R::MayBanNick, "Ban nick"},
    {R::MayBanIP, "Ban IP/IP range"},
    {R::MayBanDNS, "Ban DNS"},
    {R::MayBanClients, "Ban clients"},
    {R::MayBanTempban, "Tempban"},
    {R::MayUseMuteUser, "Mute user"},
    {R::MayUseLunarizeUser, "Lunarize user"},
    {R::MayUseKennylizeUser, "Kennylize user"},
    {R::MayISPAddISP, "Add ISP"},
    {R::MayISPDelISP, "Remove ISP"},
    {R::MayISPShowISPs, "List ISPs"},
    {R::MayISPSetMinShare, "Set min share"},
    {R::MayISPSetMaxShare, "Set max share"},
    {R::MayISPSetMaxHubs, "Set max hubs"},
    {R::MayISPSetMinSlots, "Set min slots"},
    {R::MayISPSetMaxSlots, "Set max slots"},
    {R::MayISPSetSlotRatio, "Set slotratio"},
    {R::MayISPShowIPsOnISP, "Show IPs on ISP"},
    {R::MayISPAddIP, "Add IP to ISP"},
    {R::MayISPDelIP, "Remove IP from ISP"},
    {R::MayRedirectChangeOnHubFull, "Hub full"},
    {R::MayRedirectChangeOnIncorrectISP, "Incorrect ISP/IP"},
    {R::MayRedirectChangeOnLowShare, "Low share"},
    {R::MayRedirectChangeOnHighShare, "High share"},
    {R::MayRedirectChangeOnRegOnly, "Reg. only"},
    {R::MayRedirectChangeOnPassive, "Passive"},
    {R::MayRedirectChangeOnNoTag, "No tag"},
    {R::MayRedirectChangeOnHighHubs, "High hubs"},
    {R::MayRedirectChangeOnLowSlots, "Low slots"},
    {R::MayRedirectChangeOnHighSlots, "High slots"},
    {R::MayRedirectChangeOnLowSlotRatio, "Low slot ratio"},
    {R::MayRedirectChangeOnBaned, "Banned"},
    {R::MayAdminChatRooms, "Admin chatrooms"},
    {R::MayAdminTextFiles, "Admin textfiles"},
    {R::MayAdminRegistered, "Admin registered"},
    {R::MayUseSay, "Use say command"},
    {R::MayUseMC, "Use MC command"},
    {R::MayUseWarn, "Use warn command"},
    {R::MayUseInform, "Use inform"},
    {R::MayUsePM, "Use PM command"},
    {R::MayUsePMProfile, "Use PM profile command"},
    {R::MayUseOPM, "Use OPM command"},
    {R::MayByPassNickBans, "Nickban"},
    {R::MayByPassIPBans, "IP/IP range ban"},
    {R::MayByPassDNSBans, "DNS ban"},
    {R::MayByPassClientBans, "Client ban"},
    {R::MayByPassTmpBans, "Tempban"},
    {R::MayByPassFloodCheck, "Flood check"},
    {R::MayByPassMCLengthCheck, "Mainchat length limit check"},
    {R::MayByPassPMLengthCheck, "PM length limit check"},
    {R::MayByPassIPCheckOnSearchAndConnectToMe, "IP check on search/connect"},
    {R::MayByPassMessageOriginCheck, "Nick check in PM/MC"},
    {R::MayByPassISPIPCheck, "Bypass ISP/IP check"},
    {R::UseProfileConnRestriction, "Override default/ISP tag restrictions"},
    {R::MaySearch, "Search in active mode"},
    {R::MaySearchPassive, "Search in passive mode"},
    {R::MaySendMainChatMessages, "Send Mainchat messages"},
    {R::MaySendPrivateMessage, "Send Private messages"},
    {R::MaySendConnectToMe, "Connect in active mode"},
    {R::MaySendRevConnectToMe, "Connect in passive mode"},
    {R::MayNeverBeDropped, "Cannot be dropped"},
    {R::MayNeverBeKicked, "Cannot be kicked"},
    {R::MayNeverBeRedirected, "Cannot be redirected"},
    {R::MayReceiveActionFeed, "Receive action feed"},
    {R::MayReceiveKickFeed, "Receive kick feed"},
    {R::MayReceiveEventFeed, "Receive event feed"},
    {R::MayReceiveGUIFeed, "Receive GUI feed"},
    {R::MayReceiveErrorFeed, "Receive error feed"},
    {R::MayReceiveTextCommandFeed, "Receive feed"},
};

std::size_t Index(TProfileRight right) { return static_cast<std::size_t>(right); }

// The away time is a time of day; the picker works in whole seconds.
QTime AwayTimeOf(TDateTime value) {
  return QTime(0, 0).addSecs(static_cast<int>(TimeOfDay(value)));
}

QString RowLevel(const TProfile& profile) { return QString::number(profile.ProfileLevel); }

constexpr int kBuiltInState = 2;

// The row's state image: built-in, used by accounts, neither.
int RowStateOf(const TProfile& profile) {
  if (!profile.UserDefined) return kBuiltInState;
  return profile.AccountCount > 0 ? 1 : 0;
}

constexpr int kIdentityRole = Qt::UserRole;

}  // namespace

TProfilesGui::TProfilesGui(TMainGui& gui) : gui_(gui) {
  Build();
  ClearEditor();
  gui_.Root().Profiles().SetView(this);
}

TProfilesGui::~TProfilesGui() { gui_.Root().Profiles().SetView(nullptr); }

void TProfilesGui::Build() {
  page_ = new QWidget;
  page_->setObjectName("ProfilesPage");
  auto* layout = new QHBoxLayout(page_);

  lvProfiles_ = new TSortedListView(page_);
  lvProfiles_->setObjectName("lvProfiles");
  lvProfiles_->setHeaderLabels({"Name", "Level"});
  lvProfiles_->setSelectionMode(QAbstractItemView::SingleSelection);
  lvProfiles_->setRootIsDecorated(false);
  lvProfiles_->setContextMenuPolicy(Qt::CustomContextMenu);
  images_ = new TStateImages(*lvProfiles_, TStateImageSet::Profiles);
  layout->addWidget(lvProfiles_, 1);

  auto* editor = new QWidget(page_);
  auto* editorLayout = new QVBoxLayout(editor);
  auto* head = new QFormLayout;
  edtProfileName_ = new QLineEdit(editor);
  edtProfileName_->setObjectName("edtProfileName");
  leProfileDescription_ = new QLineEdit(editor);
  leProfileDescription_->setObjectName("leProfileDescription");
  tbProfileLevel_ = new QSlider(Qt::Horizontal, editor);
  tbProfileLevel_->setObjectName("tbProfileLevel");
  tbProfileLevel_->setRange(0, 9);
  tbProfileLevel_->setTickPosition(QSlider::TicksBelow);
  head->addRow("Name", edtProfileName_);
  head->addRow("Description", leProfileDescription_);
  head->addRow("Level", tbProfileLevel_);
  editorLayout->addLayout(head);

  // One tab per first part of the right's group, a box per second part.
  pcProfileSettings_ = new QTabWidget(editor);
  pcProfileSettings_->setObjectName("pcProfileSettings");
  // Every tab in sight: the bar asks for its whole width, the tabs' pages
  // scroll instead of asking for their whole height.
  pcProfileSettings_->setUsesScrollButtons(false);
  std::map<QString, QGridLayout*> boxes;
  std::map<QString, QVBoxLayout*> tabs;
  for (const TRightCaption& entry : kCaptions) {
    const TProfileRightInfo& info = ProfileRightInfo(entry.Right);
    const QString group = TextFromBytes(info.Group);
    const QString tabName = group.section('/', 0, 0);
    QVBoxLayout*& tab = tabs[tabName];
    if (tab == nullptr) {
      auto* scroll = new QScrollArea(pcProfileSettings_);
      auto* inner = new QWidget(scroll);
      tab = new QVBoxLayout(inner);
      scroll->setWidget(inner);
      scroll->setWidgetResizable(true);
      pcProfileSettings_->addTab(scroll, tabName);
    }
    QGridLayout*& grid = boxes[group];
    if (grid == nullptr) {
      auto* box = new QGroupBox(group.section('/', 1), tab->parentWidget());
      grid = new QGridLayout(box);
      tab->addWidget(box);
    }
    QAbstractButton* control = nullptr;
    if (info.Kind == TRightKind::Level) {
      control = new TProfileAccessCheckBox(grid->parentWidget());
      connect(static_cast<TProfileAccessCheckBox*>(control), &TProfileAccessCheckBox::OnClick, this,
              [this] { UpdateButtons(); });
    } else {
      control = new QCheckBox(grid->parentWidget());
      connect(static_cast<QCheckBox*>(control), &QCheckBox::toggled, this, [this] { UpdateButtons(); });
    }
    control->setText(entry.Caption);
    control->setObjectName("chk" + TextFromBytes(info.Name));
    const int n = grid->count();
    grid->addWidget(control, n / 2, n % 2);
    rights_[Index(entry.Right)] = control;
  }
  for (auto& [name, tab] : tabs) tab->addStretch(1);

  auto* otherScroll = new QScrollArea(pcProfileSettings_);
  otherScroll->setWidgetResizable(true);
  auto* other = new QWidget(otherScroll);
  otherScroll->setWidget(other);
  auto* otherLayout = new QVBoxLayout(other);
  frameProfileConnRestrictions_ = new TframeConnRestriction(other);
  frameProfileConnRestrictions_->setObjectName("frameProfileConnRestrictions");
  otherLayout->addWidget(frameProfileConnRestrictions_);
  chkJoinAnnouncement_ = new QCheckBox("Enable joining announcement (announced to all in hub)", other);
  chkJoinAnnouncement_->setObjectName("chkJoinAnnouncement");
  memProfileJoinAnnouncement_ = new QPlainTextEdit(other);
  memProfileJoinAnnouncement_->setObjectName("memProfileJoinAnnouncement");
  auto* away = new QHBoxLayout;
  chkAwayTime_ = new QCheckBox("Show announcement only if user has been away for", other);
  chkAwayTime_->setObjectName("chkAllowUseAnnouncementAwayTime");
  dtpAwayTime_ = new QTimeEdit(other);
  dtpAwayTime_->setObjectName("dtpAllowUseAnnouncementAwayTime");
  dtpAwayTime_->setDisplayFormat("HH:mm:ss");
  away->addWidget(chkAwayTime_);
  away->addWidget(dtpAwayTime_);
  otherLayout->addWidget(chkJoinAnnouncement_);
  otherLayout->addWidget(memProfileJoinAnnouncement_);
  otherLayout->addLayout(away);
  pcProfileSettings_->addTab(otherScroll, "Restrictions");
  editorLayout->addWidget(pcProfileSettings_, 1);

  auto* buttons = new QHBoxLayout;
  btnProfilesSave_ = new QPushButton("Save", editor);
  btnProfilesSave_->setObjectName("btnProfilesSave");
  btnProfilesSaveAs_ = new QPushButton("Save As", editor);
  btnProfilesSaveAs_->setObjectName("btnProfilesSaveAs");
  buttons->addStretch(1);
  buttons->addWidget(btnProfilesSave_);
  buttons->addWidget(btnProfilesSaveAs_);
  editorLayout->addLayout(buttons);
  layout->addWidget(editor, 2);

  menu_ = new QMenu(page_);
  actRemove_ = menu_->addAction("&Remove");
  actRemove_->setObjectName("actProfileRemove");

  connect(lvProfiles_, &QTreeWidget::itemSelectionChanged, this,
          [this] { GuardSlot([this] { SelectionChanged(); }); });
  connect(lvProfiles_, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateMenu(); });
  connect(lvProfiles_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    UpdateMenu();
    menu_->exec(lvProfiles_->viewport()->mapToGlobal(at));
  });
  connect(btnProfilesSave_, &QPushButton::clicked, this, [this] { GuardSlot([this] { Save(); }); });
  connect(btnProfilesSaveAs_, &QPushButton::clicked, this, [this] { GuardSlot([this] { SaveAs(); }); });
  connect(actRemove_, &QAction::triggered, this, [this] { GuardSlot([this] { DeleteSelected(); }); });
  connect(edtProfileName_, &QLineEdit::textChanged, this, [this] { UpdateButtons(); });
  UpdateMenu();
}

void TProfilesGui::Show() {
  // The first show: first tab, ordered by level.
  pcProfileSettings_->setCurrentIndex(0);
  lvProfiles_->SetSortColumn(1);
  RefreshList();
}

void TProfilesGui::Inform(const QString& text) {
  gui_.Dialogs().Inform(text, TDialogs::TKind::Information);
}

// --- rows --------------------------------------------------------------

QTreeWidgetItem* TProfilesGui::RowOf(const TProfile& profile) const {
  // Compared as an identity only, never followed.
  const auto key = reinterpret_cast<quintptr>(&profile);
  for (int i = 0; i < lvProfiles_->Count(); ++i)
    if (lvProfiles_->Item(i)->data(0, kIdentityRole).value<quintptr>() == key) return lvProfiles_->Item(i);
  return nullptr;
}

QTreeWidgetItem* TProfilesGui::AddRow(TProfile& profile) {
  QTreeWidgetItem* item = lvProfiles_->AddItem({TextFromBytes(profile.Name), RowLevel(profile)});
  item->setData(0, kIdentityRole, QVariant::fromValue(reinterpret_cast<quintptr>(&profile)));
  images_->SetState(*item, RowStateOf(profile));
  return item;
}

void TProfilesGui::RefreshRowStates() {
  const TProfiles& profiles = gui_.Root().Profiles();
  const auto mark = [this](const TProfile& profile) {
    if (QTreeWidgetItem* row = RowOf(profile)) images_->SetState(*row, RowStateOf(profile));
  };
  for (int i = 0; i < profiles.GetCount(); ++i) mark(*profiles.GetItem(i));
  mark(*profiles.Regular());
  mark(*profiles.Registered());
}

void TProfilesGui::UpdateMenu() {
  // The built-in profiles cannot go: their state image says which rows.
  const QList<QTreeWidgetItem*> rows = lvProfiles_->selectedItems();
  actRemove_->setEnabled(rows.size() == 1 && RowState(*rows.front()) != kBuiltInState);
}

void TProfilesGui::UpdateProfile(TProfile& profile) {
  TBusyScope busy(busy_);
  QTreeWidgetItem* old = RowOf(profile);
  const bool had = old != nullptr;
  const bool renamed = had && old->text(0) != TextFromBytes(profile.Name);
  const bool selected = had && old->isSelected();
  delete old;
  QTreeWidgetItem* item = AddRow(profile);
  if (selected) {
    item->setSelected(true);
    lvProfiles_->setCurrentItem(item);
  }
  if (!had) {
    for (TProfileChoices* choices : gui_.ProfileChoices()) choices->AddProfile(profile);
  } else if (renamed) {
    TellChoicesRefresh();
  }
}

void TProfilesGui::RemoveProfile(TProfile& profile) {
  QTreeWidgetItem* row = RowOf(profile);
  if (row == nullptr) return;
  if (edited_.get() == &profile) edited_.reset();
  {
    TBusyScope busy(busy_);
    delete row;
  }
  for (TProfileChoices* choices : gui_.ProfileChoices()) choices->RemoveProfile(profile);
  UpdateButtons();
}

void TProfilesGui::TellChoicesRefresh() {
  for (TProfileChoices* choices : gui_.ProfileChoices()) choices->RefreshProfiles();
}

void TProfilesGui::RefreshList() {
  TProfiles& profiles = gui_.Root().Profiles();
  {
    TBusyScope busy(busy_);
    lvProfiles_->BeginUpdate();
    lvProfiles_->clear();
    for (int i = 0; i < profiles.GetCount(); ++i) AddRow(*profiles.GetItem(i));
    AddRow(*profiles.Regular());
    AddRow(*profiles.Registered());
    lvProfiles_->EndUpdate();
    // A reload replaced the user-defined objects: the edited one by name.
    if (edited_ != nullptr && edited_->UserDefined) edited_ = profiles.Find(edited_->Name);
    if (edited_ != nullptr) {
      if (QTreeWidgetItem* row = RowOf(*edited_)) {
        row->setSelected(true);
        lvProfiles_->setCurrentItem(row);
      }
    }
  }
  TellChoicesRefresh();
  UpdateButtons();
}

void TProfilesGui::SelectProfile(const TProfile& profile) {
  TBusyScope busy(busy_);
  QTreeWidgetItem* row = RowOf(profile);
  if (row == nullptr) return;
  lvProfiles_->clearSelection();
  row->setSelected(true);
  lvProfiles_->setCurrentItem(row);
  lvProfiles_->scrollToItem(row);
}

// --- the editor --------------------------------------------------------

std::uint8_t TProfilesGui::Shown(TProfileRight right, std::uint8_t value) {
  if (ProfileRightInfo(right).Kind == TRightKind::Level) return std::min<std::uint8_t>(value, paHigher);
  return value != 0 ? 1 : 0;
}

std::uint8_t TProfilesGui::ControlValue(TProfileRight right) const {
  const QAbstractButton* control = rights_[Index(right)];
  if (const auto* level = qobject_cast<const TProfileAccessCheckBox*>(control)) return level->State();
  return control->isChecked() ? 1 : 0;
}

void TProfilesGui::ShowProfile(const TProfile& profile) {
  TBusyScope busy(busy_);
  shown_ = profile;
  edtProfileName_->setText(TextFromBytes(profile.Name));
  leProfileDescription_->setText(TextFromBytes(profile.Description));
  tbProfileLevel_->setValue(std::clamp(profile.ProfileLevel, 0, 9));
  for (const TProfileRightInfo& info : ProfileRights()) {
    QAbstractButton* control = rights_[Index(info.Right)];
    if (control == nullptr) continue;
    const std::uint8_t value = Shown(info.Right, profile.Right(info.Right));
    if (auto* level = qobject_cast<TProfileAccessCheckBox*>(control)) {
      level->SetState(static_cast<TProfileAccess>(value));
    } else {
      control->setChecked(value != 0);
    }
  }
  frameProfileConnRestrictions_->SetValues(&profile.Restriction);
  chkJoinAnnouncement_->setChecked(profile.JoinAnnouncementEnabled);
  memProfileJoinAnnouncement_->setPlainText(MemoFromBytes(profile.JoinAnnouncement));
  chkAwayTime_->setChecked(profile.AllowUseAnnouncementAwayTimeEnabled);
  dtpAwayTime_->setTime(AwayTimeOf(profile.AllowUseAnnouncementAwayTime));
}

void TProfilesGui::ClearEditor() {
  edited_.reset();
  // A new profile's rights: what a profile made any other way starts with.
  ShowProfile(TProfile());
  edtProfileName_->setEnabled(true);
  UpdateButtons();
}

bool TProfilesGui::IsUnchanged() const {
  if (edited_ == nullptr) return true;
  const TProfile& p = *edited_;
  if (edtProfileName_->text() != TextFromBytes(p.Name)) return false;
  if (leProfileDescription_->text() != TextFromBytes(p.Description)) return false;
  if (tbProfileLevel_->value() != std::clamp(p.ProfileLevel, 0, 9)) return false;
  for (const TProfileRightInfo& info : ProfileRights()) {
    if (rights_[Index(info.Right)] == nullptr) continue;
    if (ControlValue(info.Right) != Shown(info.Right, p.Right(info.Right))) return false;
  }
  if (frameProfileConnRestrictions_->Modified()) return false;
  if (chkJoinAnnouncement_->isChecked() != p.JoinAnnouncementEnabled) return false;
  if (memProfileJoinAnnouncement_->toPlainText() != MemoFromBytes(p.JoinAnnouncement)) return false;
  if (chkAwayTime_->isChecked() != p.AllowUseAnnouncementAwayTimeEnabled) return false;
  return dtpAwayTime_->time() == AwayTimeOf(p.AllowUseAnnouncementAwayTime);
}

void TProfilesGui::UpdateButtons() {
  const QString name = edtProfileName_->text();
  btnProfilesSave_->setEnabled(edited_ != nullptr && !name.isEmpty());
  btnProfilesSaveAs_->setEnabled(!name.isEmpty() &&
                                 (edited_ == nullptr || edited_->UserDefined ||
                                  name.compare(TextFromBytes(edited_->Name), Qt::CaseInsensitive) != 0));
}

void TProfilesGui::SelectionChanged() {
  if (busy_) return;
  const QList<QTreeWidgetItem*> rows = lvProfiles_->selectedItems();
  if (rows.isEmpty()) {
    if (edited_ != nullptr && IsUnchanged()) ClearEditor();
    return;
  }
  if (!IsUnchanged()) {
    const TDialogs::TButton answer = gui_.Dialogs().Ask(
        "Changes has been made to loaded profile, do you wish to \r\nsave those before loading another profile?",
        TDialogs::TKind::Confirmation, {TDialogs::TButton::Yes, TDialogs::TButton::No});
    if (answer == TDialogs::TButton::Yes) {
      StoreEditor(true);
      return;
    }
  }
  // Found again by name: the question ran a nested loop.
  const std::shared_ptr<TProfile> profile =
      gui_.Root().Profiles().FindAny(BytesFromText(lvProfiles_->selectedItems().value(0)->text(0)));
  if (profile == nullptr) return;
  edited_ = profile;
  ShowProfile(*profile);
  UpdateButtons();
}

void TProfilesGui::WriteEditor(TProfile& target) {
  // A control left as shown gives back the value it was filled from.
  target.Description = BytesFromText(leProfileDescription_->text());
  target.ProfileLevel = tbProfileLevel_->value() == std::clamp(shown_.ProfileLevel, 0, 9)
                            ? shown_.ProfileLevel
                            : tbProfileLevel_->value();
  for (const TProfileRightInfo& info : ProfileRights()) {
    const std::uint8_t was = shown_.Right(info.Right);
    if (rights_[Index(info.Right)] == nullptr) {
      // No control: the target keeps its own value; a new one takes the
      // edited profile's.
      if (&target != edited_.get()) target.SetRight(info.Right, was);
      continue;
    }
    const std::uint8_t now = ControlValue(info.Right);
    target.SetRight(info.Right, now == Shown(info.Right, was) ? was : now);
  }
  TConnRestriction restriction = target.Restriction;
  frameProfileConnRestrictions_->GetValues(&restriction);
  target.Restriction = restriction;
  target.JoinAnnouncementEnabled = chkJoinAnnouncement_->isChecked();
  const QString memo = memProfileJoinAnnouncement_->toPlainText();
  target.JoinAnnouncement = memo == MemoFromBytes(shown_.JoinAnnouncement) ? shown_.JoinAnnouncement
                                                                         : BytesFromMemo(memo);
  target.AllowUseAnnouncementAwayTimeEnabled = chkAwayTime_->isChecked();
  const QTime away = dtpAwayTime_->time();
  target.AllowUseAnnouncementAwayTime =
      away == AwayTimeOf(shown_.AllowUseAnnouncementAwayTime)
          ? shown_.AllowUseAnnouncementAwayTime
          : TDateTime{TProfile::kAwayTimeDay.Seconds + QTime(0, 0).secsTo(away)};
}

bool TProfilesGui::Save() {
  if (edited_ != nullptr && IsUnchanged()) return false;
  return StoreEditor(true);
}

bool TProfilesGui::SaveAs() { return StoreEditor(false); }

bool TProfilesGui::StoreEditor(bool rename) {
  TProfiles& profiles = gui_.Root().Profiles();
  const std::string name = BytesFromText(edtProfileName_->text());
  if (edited_ != profiles.Regular() && SameText(name, TProfiles::kRegularName)) {
    Inform("This name is reserved by the default user profile");
    return false;
  }
  if (edited_ != profiles.Registered() && SameText(name, TProfiles::kRegisteredName)) {
    Inform("This name is reserved by the registered user profile");
    return false;
  }
  if (name.empty()) {
    Inform("Please supply a name for this profile");
    return false;
  }
  const bool builtIn = edited_ != nullptr && !edited_->UserDefined;
  if (rename && edited_ != nullptr && edited_->UserDefined && edited_->Name != name) {
    // A change of case alone is a rename too.
    if (!profiles.Rename(edited_, name)) {
      Inform("A profile with this name does already exist, please change name");
      return false;
    }
  }
  std::shared_ptr<TProfile> target;
  if (builtIn && (rename || SameText(name, edited_->Name))) {
    // "Save" keeps a built-in profile's name whatever the box holds.
    target = edited_;
  } else {
    target = profiles.Find(name);
    // "Save" may not write over another profile; "Save As" names its target.
    if (rename && target != nullptr && target != edited_) {
      Inform("A profile with this name does already exist, please change name");
      return false;
    }
  }
  const bool adding = target == nullptr;
  try {
    if (adding) {
      target = profiles.Add(name);
      if (target == nullptr) throw EGUIException("TProfiles.Add", "the profile was refused");
    }
    WriteEditor(*target);
  } catch (const std::exception& e) {
    RefreshList();
    throw EGUIException(adding ? "GUI.Profiles.Add" : "GUI.Profiles.Update", e.what());
  }
  edited_ = target;
  UpdateProfile(*target);
  // The pages offering it show what its rights now allow.
  if (!adding) TellChoicesRefresh();
  ShowProfile(*target);
  SelectProfile(*target);
  UpdateButtons();
  gui_.Root().ReportGUI(FormatText(adding ? "The profile %s has been added via GUI"
                                          : "The profile %s has been saved via GUI",
                                   target->Name));
  return true;
}

void TProfilesGui::DeleteSelected() {
  const QList<QTreeWidgetItem*> rows = lvProfiles_->selectedItems();
  if (rows.isEmpty()) return;
  const int index = lvProfiles_->indexOfTopLevelItem(rows.front());
  const std::string name = BytesFromText(rows.front()->text(0));
  TProfiles& profiles = gui_.Root().Profiles();
  std::shared_ptr<TProfile> profile = profiles.Find(name);
  if (profile == nullptr) return;  // the built-in ones stay
  const bool used = profile->AccountCount > 0;
  const bool yes =
      used ? gui_.Dialogs().Ask("This profile is used by one or more accounts. Deleting this profile \r\nwill "
                                "render Kavro unable to load the accounts using it.\r\n\r\nAre you sure you "
                                "wish to delete this profile?",
                                TDialogs::TKind::Warning, {TDialogs::TButton::Yes, TDialogs::TButton::No}) ==
                 TDialogs::TButton::Yes
           : gui_.Dialogs().Confirm("Are you really sure you wish to delete this profile?");
  if (!yes) return;
  // The question ran a nested loop: a reload may have replaced it.
  profile = profiles.Find(name);
  if (profile == nullptr) return;
  if (profile == edited_) ClearEditor();
  gui_.Root().ReportGUI(FormatText("The profile %s was removed via GUI", profile->Name));
  profiles.Delete(name);
  const int count = lvProfiles_->Count();
  if (count > 0) {
    QTreeWidgetItem* next = lvProfiles_->Item(std::min(index, count - 1));
    lvProfiles_->clearSelection();
    next->setSelected(true);
    lvProfiles_->setCurrentItem(next);
  }
}
