#include "gui/ban_list_gui.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "gui/controls/sorted_list_view.h"
#include "gui/dialogs.h"
#include "gui/kavro_application.h"
#include "gui/page_busy.h"
#include "gui/text_1252.h"
#include "utils/constants.h"
#include "utils/ip_match.h"
#include "utils/text_format.h"

namespace {

constexpr std::int64_t kDefaultExpiryDays = 5;

// The texts of each kind, in the order of TBanKind.
struct TKindTexts {
  const char* suffix;  // of the controls' object names
  const char* tab;
  const char* searchGroup;
  const char* editGroup;
  const char* patternLabel;
  const char* searchHint;
  const char* noPattern;
  const char* altered;
  const char* added;
  const char* deleted;
  const char* refusedWord;  // names the kind in our refusal message
};

constexpr const char* kWildHint = "Use * as a wildcard at the beginning and/or the end of the pattern";

const TKindTexts kKinds[] = {
    {"Nick", "Nick bans", "Search nick ban", "Add/Edit nick ban", "Nick (pattern)", kWildHint,
     "You have to choose a nick to ban", "The nick ban %s has been altered via GUI",
     "The nick ban %s has been added via GUI", "The nick ban %s has been deleted via GUI", "nick ban"},
    {"IP", "IP bans", "Search IP/IP range ban", "Add/Edit IP/IP range ban", "IP/IP range", kWildHint,
     "You have to choose an IP/IP range to ban", "The IP/IP range ban %s has been altered via GUI",
     "The IP/IP range ban %s has been added via GUI", "The IP/IP range ban %s has been deleted via GUI",
     "IP/IP range ban"},
    {"DNS", "DNS bans", "Search DNS ban", "Add/Edit DNS ban", "DNS (pattern)",
     "Use * as a wildcard and ? as any one character", "You have to choose a DNS to ban",
     "The DNS/DNS pattern ban %s has been altered via GUI",
     "The DNS/DNS pattern ban %s has been added via GUI", "The dns ban %s has been deleted via GUI",
     "DNS/DNS pattern ban"},
    {"Client", "Client bans", "Search client ban", "Add/Edit client ban", "ClientTag (pattern)", kWildHint,
     "You have to choose a client tag to ban", "The client ban %s has been altered via GUI",
     "The client ban %s has been added via GUI", "The client ban %s has been deleted via GUI",
     "client ban"},
};

const TKindTexts& Texts(TBanKind kind) { return kKinds[static_cast<std::size_t>(kind)]; }

// Civil date-times both ways; UTC keeps Qt from moving them across a
// daylight-saving gap.
QDateTime QtDateTime(TDateTime value) {
  const TCivilTime c = DecodeDateTime(value);
  return QDateTime(QDate(c.Year, c.Month, c.Day), QTime(c.Hour, c.Minute, c.Second), Qt::UTC);
}

TDateTime FromQtDateTime(const QDateTime& value) {
  const QDate d = value.date();
  const QTime t = value.time();
  TDateTime out;
  TryEncodeDateTime({d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()}, out);
  return out;
}

QString DateOrWord(TDateTime value, const char* zeroWord) {
  return value == TDateTime{} ? QString::fromLatin1(zeroWord) : BanDateText(value);
}

}  // namespace

QString BanDateText(TDateTime value) {
  std::string text = FormatDate(value);
  if (TimeOfDay(value) != 0) text += " " + FormatTime(value);
  return QString::fromStdString(text);
}

TBanListGui::TBanListGui(TBanList& bans, TDialogs& dialogs, TReport reportGUI, QWidget* parent)
    : QWidget(parent), bans_(bans), dialogs_(dialogs), reportGUI_(std::move(reportGUI)) {
  setObjectName(QStringLiteral("BanListGui"));
  auto* layout = new QVBoxLayout(this);
  header_ = new QLabel(this);
  header_->setObjectName(QStringLiteral("lblBanListHeader"));
  showLabel_ = new QLabel(this);
  showLabel_->setObjectName(QStringLiteral("lblBanListShow"));
  auto* labels = new QHBoxLayout;
  labels->addWidget(header_, 1);
  labels->addWidget(showLabel_);
  layout->addLayout(labels);

  list_ = new TSortedListView(this);
  list_->setObjectName(QStringLiteral("lvBanList"));
  list_->setHeaderLabels({"Ban", "Banned by", "Expires", "Last used", "Issued", "Reason"});
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setRootIsDecorated(false);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { Slot([&] { ShowMenu(at); }); });
  connect(list_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item) { Slot([&] { RowSelected(item); }); });
  auto* remove = new QAction(QStringLiteral("&Remove"), list_);
  remove->setObjectName(QStringLiteral("actBanListRemove"));
  connect(remove, &QAction::triggered, this, [this] { Slot([&] { DeleteSelected(); }); });
  list_->addAction(remove);
  layout->addWidget(list_, 1);

  tabWidget_ = new QTabWidget(this);
  tabWidget_->setObjectName(QStringLiteral("pcBanList"));
  for (const TBanKind kind : {TBanKind::Nick, TBanKind::IP, TBanKind::DNS, TBanKind::Client})
    tabWidget_->addTab(BuildTab(kind), QString::fromLatin1(Texts(kind).tab));
  connect(tabWidget_, &QTabWidget::currentChanged, this,
          [this](int index) { Slot([&] { TabChanged(index); }); });
  layout->addWidget(tabWidget_);
  Initialize();
}

QWidget* TBanListGui::BuildTab(TBanKind kind) {
  const TKindTexts& texts = Texts(kind);
  const QString suffix = QString::fromLatin1(texts.suffix);
  const auto named = [&](QWidget* w, const char* stem) {
    w->setObjectName(QString::fromLatin1(stem) + suffix);
  };
  TTab& tab = Tab(kind);
  auto* page = new QWidget;
  auto* row = new QHBoxLayout(page);

  auto* searchGroup = new QGroupBox(QString::fromLatin1(texts.searchGroup), page);
  auto* searchForm = new QFormLayout(searchGroup);
  tab.search = new QLineEdit(QStringLiteral("*"), searchGroup);
  tab.search->setToolTip(QString::fromLatin1(texts.searchHint));
  named(tab.search, "edtBanListSearch");
  tab.offset = new QSpinBox(searchGroup);
  tab.offset->setRange(0, 100000);
  named(tab.offset, "seBanListOffset");
  tab.maxHits = new QSpinBox(searchGroup);
  tab.maxHits->setRange(0, 1000);
  tab.maxHits->setValue(500);
  named(tab.maxHits, "seBanListMaxhits");
  tab.searchButton = new QPushButton(QStringLiteral("Search"), searchGroup);
  named(tab.searchButton, "btnBanListSearch");
  tab.matchButton = new QPushButton(QStringLiteral("Match"), searchGroup);
  named(tab.matchButton, "btnBanListMatch");
  searchForm->addRow(QStringLiteral("Search"), tab.search);
  searchForm->addRow(QStringLiteral("Offset"), tab.offset);
  searchForm->addRow(QStringLiteral("Maxhits"), tab.maxHits);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(tab.searchButton);
  buttons->addWidget(tab.matchButton);
  searchForm->addRow(buttons);
  connect(tab.searchButton, &QPushButton::clicked, this, [this] { Slot([&] { Search(); }); });
  connect(tab.matchButton, &QPushButton::clicked, this, [this] { Slot([&] { Match(); }); });

  auto* editGroup = new QGroupBox(QString::fromLatin1(texts.editGroup), page);
  auto* editForm = new QFormLayout(editGroup);
  tab.pattern = new QLineEdit(editGroup);
  tab.pattern->setToolTip(QString::fromLatin1(texts.searchHint));
  named(tab.pattern, "edtBanListPattern");
  tab.bannedBy = new QLineEdit(TextFromBytes(kDefaultGuiOwnerName), editGroup);
  named(tab.bannedBy, "edtBanListBannedBy");
  tab.reason = new QLineEdit(editGroup);
  named(tab.reason, "edtBanListReason");
  tab.expireOn = new QCheckBox(editGroup);
  named(tab.expireOn, "chkBanListExpire");
  tab.expire = new QDateTimeEdit(editGroup);
  tab.expire->setTimeSpec(Qt::UTC);
  tab.expire->setDisplayFormat(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
  tab.expire->setCalendarPopup(true);
  named(tab.expire, "dtpBanListExpire");
  const QString expireHint = QStringLiteral("If, and when, the ban should stop working");
  tab.expireOn->setToolTip(expireHint);
  tab.expire->setToolTip(expireHint);
  connect(tab.expireOn, &QCheckBox::toggled, tab.expire, &QWidget::setEnabled);
  auto* expireRow = new QHBoxLayout;
  expireRow->addWidget(tab.expireOn);
  expireRow->addWidget(tab.expire, 1);
  tab.save = new QPushButton(QStringLiteral("Add/Save"), editGroup);
  named(tab.save, "btnBanListSave");
  connect(tab.save, &QPushButton::clicked, this, [this] { Slot([&] { SaveBan(); }); });
  editForm->addRow(QString::fromLatin1(texts.patternLabel), tab.pattern);
  editForm->addRow(QStringLiteral("Banned by"), tab.bannedBy);
  editForm->addRow(QStringLiteral("Reason"), tab.reason);
  editForm->addRow(QStringLiteral("Expire"), expireRow);
  editForm->addRow(tab.save);

  row->addWidget(searchGroup);
  row->addWidget(editGroup, 1);
  return page;
}

void TBanListGui::Slot(const std::function<void()>& fn) {
  GuardSlot([&] { fn(); });
}

TDateTime TBanListGui::DefaultExpiry() const {
  return TDateTime{bans_.Now().Seconds + kDefaultExpiryDays * kSecondsPerDay};
}

void TBanListGui::SetExpiry(TBanKind kind, TDateTime expires) {
  TTab& tab = Tab(kind);
  const bool on = expires != TDateTime{};
  tab.expireOn->setChecked(on);
  tab.expire->setEnabled(on);
  // Without an expiry the picker offers a date worth switching on.
  tab.expire->setDateTime(QtDateTime(on ? expires : DefaultExpiry()));
}

void TBanListGui::Initialize() {
  TBusyScope busy(busy_);
  tabWidget_->setCurrentIndex(0);
  selected_ = TBanKind::Nick;
  for (const TBanKind kind : {TBanKind::Nick, TBanKind::IP, TBanKind::DNS, TBanKind::Client})
    SetExpiry(kind, TDateTime{});
}

void TBanListGui::ShowBans() {
  TBusyScope busy(busy_);
  list_->clear();
  header_->clear();
  showLabel_->clear();
}

void TBanListGui::TabChanged(int index) {
  if (index >= 0 && index < 4) selected_ = static_cast<TBanKind>(index);
}

QStringList TBanListGui::RowTexts(const TBan& ban) const {
  return {TextFromBytes(ban.Pattern),       TextFromBytes(ban.BannedBy),
          DateOrWord(ban.Expires, "[permanent]"), DateOrWord(ban.LastUsed, "[never]"),
          BanDateText(ban.Issued),          TextFromBytes(ban.Reason)};
}

void TBanListGui::ShowRows(TBanKind kind, const std::vector<TBan*>& bans, const QString& header) {
  TBusyScope busy(busy_);
  header_->setText(header);
  showLabel_->setText(QString::fromLatin1(Texts(kind).tab));
  list_->BeginUpdate();
  list_->clear();
  for (const TBan* ban : bans) list_->AddItem(RowTexts(*ban));
  list_->EndUpdate();
  shown_ = kind;
}

void TBanListGui::Search() {
  const TBanKind kind = selected_;
  TTab& tab = Tab(kind);
  std::string text = BytesFromText(tab.search->text());
  if (text.empty()) text = "*";
  const int offset = tab.offset->value();
  const int maxHits = tab.maxHits->value();
  bans_.RemoveExpired(kind);
  const TMatchRange range = bans_.FindRange(kind, text);
  const int total = range.last < 0 ? 0 : range.last - range.first + 1;
  int first = range.first + offset;
  int shown = std::max(std::min(range.last - range.first - offset + 1, maxHits), 0);
  if (total == 1) {
    first = range.first;
    shown = 1;
  }
  if (total == 0) shown = 0;
  std::vector<TBan*> rows;
  for (int i = first; i < first + shown; ++i) rows.push_back(&bans_.GetItem(kind, i));
  ShowRows(kind, rows,
           QString::fromStdString(FormatText("Showing %d hits from offset %d, total hits: %d",
                                             static_cast<std::int64_t>(rows.size()), offset, total)));
}

void TBanListGui::Match() {
  const TBanKind kind = selected_;
  std::string text = BytesFromText(Tab(kind).search->text());
  if (text.empty()) text = "*";
  bans_.RemoveExpired(kind);
  const std::vector<TBan*> found = bans_.MatchAll(kind, text);
  ShowRows(kind, found,
           QString::fromStdString(
               FormatText("Showing %d hits", static_cast<std::int64_t>(found.size()))));
}

void TBanListGui::SaveBan() {
  const TBanKind kind = selected_;
  const TKindTexts& texts = Texts(kind);
  TTab& tab = Tab(kind);
  std::string pattern = BytesFromText(tab.pattern->text());
  if (pattern.empty()) {
    dialogs_.Inform(QString::fromLatin1(texts.noPattern), TDialogs::TKind::Information);
    return;
  }
  if (kind == TBanKind::IP) {
    const std::optional<std::string> mask = NormalizeIPMask(pattern);
    if (!mask) {
      dialogs_.Inform(QStringLiteral("The IP/IP range you've supplied isn't valid"),
                      TDialogs::TKind::Information);
      return;
    }
    pattern = *mask;
  }
  const TDateTime expires =
      tab.expireOn->isChecked() ? FromQtDateTime(tab.expire->dateTime()) : TDateTime{};
  const std::string bannedBy = BytesFromText(tab.bannedBy->text());
  const std::string reason = BytesFromText(tab.reason->text());

  if (TBan* held = bans_.Find(kind, pattern)) {
    held->BannedBy = bannedBy;
    held->Reason = reason;
    held->Expires = expires;
    if (shown_ == kind) {
      if (QTreeWidgetItem* row = list_->FindItem(TextFromBytes(held->Pattern))) {
        const QStringList cells = RowTexts(*held);
        for (int i = 0; i < cells.size(); ++i) row->setText(i, cells[i]);
      }
    }
    reportGUI_(FormatText(texts.altered, held->Pattern));
    return;
  }

  TBan* added = nullptr;
  switch (kind) {
    case TBanKind::Nick: added = bans_.AddNickBan(pattern, reason, 0, expires, bannedBy); break;
    case TBanKind::IP: added = bans_.AddIPBan(pattern, reason, 0, expires, bannedBy); break;
    case TBanKind::DNS: added = bans_.AddDNSBan(pattern, reason, expires, bannedBy); break;
    case TBanKind::Client: added = bans_.AddClientBan(pattern, reason, expires, bannedBy); break;
  }
  if (added == nullptr) {
    // The list keeps what it holds; saying "added" here would be false.
    const TBan* standing = bans_.StandingBan(kind, pattern);
    const std::string message =
        standing != nullptr
            ? FormatText("The %s %s is already covered by the ban %s, add failed", texts.refusedWord,
                         pattern, standing->Pattern)
            : FormatText("The %s %s isn't a pattern the list can hold, add failed", texts.refusedWord,
                         pattern);
    dialogs_.Inform(TextFromBytes(message), TDialogs::TKind::Information);
    return;
  }
  reportGUI_(FormatText(texts.added, added->Pattern));
}

void TBanListGui::DeleteSelected() {
  const TBanKind kind = shown_;
  std::vector<int> rows;
  for (int i = 0; i < list_->Count(); ++i)
    if (list_->Item(i)->isSelected()) rows.push_back(i);
  if (rows.empty()) return;
  TBusyScope busy(busy_);
  list_->BeginUpdate();
  for (auto at = rows.rbegin(); at != rows.rend(); ++at) {
    QTreeWidgetItem* row = list_->Item(*at);
    const std::string pattern = BytesFromText(row->text(0));
    // A command may have removed it meanwhile: then the row just goes.
    if (bans_.Delete(kind, pattern)) reportGUI_(FormatText(Texts(kind).deleted, pattern));
    delete list_->takeTopLevelItem(*at);
  }
  list_->EndUpdate();
  if (list_->Count() == 0) return;
  QTreeWidgetItem* next = list_->Item(std::min(rows.front(), list_->Count() - 1));
  list_->clearSelection();
  list_->setCurrentItem(next);
  next->setSelected(true);
}

void TBanListGui::RowSelected(QTreeWidgetItem* item) {
  if (busy_ || item == nullptr) return;
  const TBan* ban = bans_.Find(shown_, BytesFromText(item->text(0)));
  if (ban == nullptr) return;
  TTab& tab = Tab(shown_);
  tab.pattern->setText(TextFromBytes(ban->Pattern));
  tab.bannedBy->setText(TextFromBytes(ban->BannedBy));
  tab.reason->setText(TextFromBytes(ban->Reason));
  SetExpiry(shown_, ban->Expires);
}

void TBanListGui::ShowMenu(const QPoint& at) {
  QMenu menu(this);
  const int selected = static_cast<int>(list_->selectedItems().size());
  QAction* remove = menu.addAction(QStringLiteral("&Remove"), this, [this] { Slot([&] { DeleteSelected(); }); });
  remove->setEnabled(selected > 0);
  if (selected > 1) {
    menu.addSeparator();
    menu.addAction(QStringLiteral("Selected: %1").arg(selected))->setEnabled(false);
  }
  menu.exec(list_->viewport()->mapToGlobal(at));
}
