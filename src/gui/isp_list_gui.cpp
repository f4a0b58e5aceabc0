#include "gui/isp_list_gui.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <optional>

#include "base/exceptions.h"
#include "gui/controls/conn_restriction_frame.h"
#include "gui/dialogs.h"
#include "gui/kavro_application.h"
#include "gui/page_busy.h"
#include "gui/text_1252.h"
#include "settings/settings.h"
#include "utils/bin_list.h"
#include "utils/ip_match.h"
#include "utils/string_list.h"
#include "utils/text_format.h"

namespace {

const QString kExists = QStringLiteral("An ISP with this name does already exist, please change name");
const QString kInvalidRange = QStringLiteral("The IP/IP range you've supplied isn't a valid IP/IP range");

// A node's exact bytes: ISP names and ranges are ordered by them.
std::string NodeKey(const QTreeWidgetItem& node) {
  const QByteArray key = node.data(0, Qt::UserRole).toByteArray();
  return std::string(key.constData(), static_cast<std::size_t>(key.size()));
}

void SetNodeKey(QTreeWidgetItem& node, std::string_view key) {
  node.setText(0, TextFromBytes(key));
  node.setData(0, Qt::UserRole, QByteArray(key.data(), static_cast<qsizetype>(key.size())));
}

QTreeWidgetItem* NewNode(std::string_view key) {
  auto* node = new QTreeWidgetItem;
  SetNodeKey(*node, key);
  return node;
}

// Where a node of `key` goes among `count` siblings: before the first that
// sorts after it.
template <class At>
int SortedIndex(int count, const At& at, std::string_view key) {
  for (int i = 0; i < count; ++i)
    if (NodeKey(*at(i)) > key) return i;
  return count;
}

void Info(TDialogs& dialogs, const QString& text) {
  dialogs.Inform(text, TDialogs::TKind::Information);
}

}  // namespace

TISPListGui::TISPListGui(TISPList& isps, TSettings& settings, TDialogs& dialogs, TReport reportGUI,
                         QWidget* parent)
    : QWidget(parent), isps_(isps), settings_(settings), dialogs_(dialogs), reportGUI_(std::move(reportGUI)) {
  setObjectName(QStringLiteral("ISPListGui"));
  auto* layout = new QHBoxLayout(this);
  tree_ = new QTreeWidget(this);
  tree_->setObjectName(QStringLiteral("tvISPList"));
  tree_->setHeaderLabels({QStringLiteral("ISP")});
  tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree_->setContextMenuPolicy(Qt::ActionsContextMenu);
  auto* remove = new QAction(QStringLiteral("&Remove"), tree_);
  remove->setObjectName(QStringLiteral("actISPListRemove"));
  connect(remove, &QAction::triggered, this, [this] { GuardSlot([&] { DeleteNode(); }); });
  tree_->addAction(remove);
  connect(tree_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current, QTreeWidgetItem* previous) {
            GuardSlot([&] { TreeSelectionChanged(current, previous); });
          });
  // A click on the loaded ISP itself changes no selection but may reload.
  connect(tree_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* node) {
    GuardSlot([&] {
      if (suppress_ || node->parent() != nullptr || EditorUnchanged()) return;
      const TISP* loaded = LoadedISP();
      if (loaded != nullptr && NodeKey(*node) == loaded->Name) LoadISP(loaded->Name);
    });
  });
  layout->addWidget(tree_, 1);

  auto* right = new QVBoxLayout;
  auto* manage = new QGroupBox(QStringLiteral("Manage ISP"), this);
  auto* form = new QFormLayout(manage);
  name_ = new QLineEdit(manage);
  name_->setObjectName(QStringLiteral("leISPListName"));
  name_->setToolTip(QStringLiteral("Name of the ISP (Internet Service Provider)"));
  description_ = new QLineEdit(manage);
  description_->setObjectName(QStringLiteral("leISPListDescription"));
  prefix_ = new QLineEdit(manage);
  prefix_->setObjectName(QStringLiteral("leISPListPrefix"));
  prefix_->setToolTip(QStringLiteral(
      "One or more prefixes that users with this ISP should use (ex. [BBB] or [BBB];[ADSL])"));
  frame_ = new TframeConnRestriction(manage);
  frame_->setObjectName(QStringLiteral("frameISPConnRestriction"));
  frame_->chkMinShare->setToolTip(QStringLiteral("Enable the minimum share requirements"));
  frame_->chkMaxShare->setToolTip(QStringLiteral("Enable the maximum sharesize limit"));
  frame_->chkMaxHubs->setToolTip(QStringLiteral("Enable the maximum hubs limit"));
  frame_->chkSlotRatio->setToolTip(
      QStringLiteral("Enable the slot ratio requirements (slot ratio = slots / hubs)"));
  frame_->chkMaxSlots->setToolTip(QStringLiteral("Enable the maximum slots limit"));
  frame_->chkMinSlots->setToolTip(QStringLiteral("Enable the minimum slots requirements"));
  frame_->chkMayBeInPassiveMode->setToolTip(QStringLiteral("Users can connect using passive mode"));
  frame_->chkAllowTagLessToByPass->setToolTip(QStringLiteral(
      "Clients without a tag can bypass hub and slot restrictions (tag ex. <++ V:0.001,M:A,H:1/0/0,S:3> ) "));
  save_ = new QPushButton(QStringLiteral("Save"), manage);
  save_->setObjectName(QStringLiteral("btnISPListSave"));
  saveAs_ = new QPushButton(QStringLiteral("Save As"), manage);
  saveAs_->setObjectName(QStringLiteral("btnISPListSaveAs"));
  form->addRow(QStringLiteral("Name"), name_);
  form->addRow(QStringLiteral("Description"), description_);
  form->addRow(QStringLiteral("Prefix (singel or pattern)"), prefix_);
  form->addRow(frame_);
  auto* saveRow = new QHBoxLayout;
  saveRow->addWidget(save_);
  saveRow->addWidget(saveAs_);
  form->addRow(saveRow);
  right->addWidget(manage);

  auto* ranges = new QGroupBox(QStringLiteral("Manage IP/IP patterns"), this);
  auto* rangeRow = new QHBoxLayout(ranges);
  ispBox_ = new QComboBox(ranges);
  ispBox_->setObjectName(QStringLiteral("cbISPListISPs"));
  ip_ = new QLineEdit(ranges);
  ip_->setObjectName(QStringLiteral("edtISPListIP"));
  ip_->setMaxLength(15);
  ip_->setToolTip(
      QStringLiteral("IP/IP pattern that belongs to the ISP (ex. 213.112.114.115 or 195.54.110.*)"));
  addIP_ = new QPushButton(QStringLiteral("Add"), ranges);
  addIP_->setObjectName(QStringLiteral("btnISPListAddIP"));
  removeIP_ = new QPushButton(QStringLiteral("Remove"), ranges);
  removeIP_->setObjectName(QStringLiteral("btnISPListRemoveIP"));
  rangeRow->addWidget(ispBox_, 1);
  rangeRow->addWidget(ip_, 1);
  rangeRow->addWidget(addIP_);
  rangeRow->addWidget(removeIP_);
  right->addWidget(ranges);

  ispCheck_ = new QCheckBox(QStringLiteral("Enable ISP/IP check"), this);
  ispCheck_->setObjectName(QStringLiteral("chkISPListEnableISPCheck"));
  ispCheck_->setToolTip(QStringLiteral("Enable the ISP/IP check for connecting users"));
  right->addWidget(ispCheck_);
  right->addStretch(1);
  layout->addLayout(right, 1);

  connect(save_, &QPushButton::clicked, this, [this] { GuardSlot([&] { Save(); }); });
  connect(saveAs_, &QPushButton::clicked, this, [this] { GuardSlot([&] { SaveAs(); }); });
  connect(addIP_, &QPushButton::clicked, this, [this] { GuardSlot([&] { AddIP(); }); });
  connect(removeIP_, &QPushButton::clicked, this, [this] { GuardSlot([&] { RemoveIP(); }); });
  connect(ispCheck_, &QCheckBox::toggled, this, [this](bool on) { GuardSlot([&] { StoreISPCheck(on); }); });
  for (QLineEdit* box : {name_, description_, prefix_})
    connect(box, &QLineEdit::textChanged, this, [this] { UpdateButtons(); });
  connect(frame_, &TframeConnRestriction::OnChange, this, [this] { UpdateButtons(); });

  ClearEditor();
  isps_.SetView(this);
}

TISPListGui::~TISPListGui() { isps_.SetView(nullptr); }

TISP* TISPListGui::LoadedISP() const { return loaded_ ? isps_.Find(loadedName_) : nullptr; }

bool TISPListGui::EditorUnchanged() const {
  const TISP* isp = LoadedISP();
  if (isp == nullptr) return true;
  if (frame_->Modified()) return false;
  return CompareKeysForward(BytesFromText(name_->text()), isp->Name, false) == 0 &&
         BytesFromText(description_->text()) == isp->Description &&
         BytesFromText(prefix_->text()) == isp->Prefix;
}

void TISPListGui::UpdateButtons() {
  const TISP* isp = LoadedISP();
  const bool named = !name_->text().isEmpty();
  save_->setEnabled(isp != nullptr && named);
  saveAs_->setEnabled(named && (isp == nullptr || BytesFromText(name_->text()) != isp->Name));
}

// ---- the tree and the ISP box ----

QTreeWidgetItem* TISPListGui::FindISPNode(std::string_view name) const {
  for (int i = 0; i < tree_->topLevelItemCount(); ++i)
    if (NodeKey(*tree_->topLevelItem(i)) == name) return tree_->topLevelItem(i);
  return nullptr;
}

int TISPListGui::FindBoxEntry(std::string_view name) const {
  for (int i = 0; i < ispBox_->count(); ++i) {
    const QByteArray key = ispBox_->itemData(i).toByteArray();
    if (std::string_view(key.constData(), static_cast<std::size_t>(key.size())) == name) return i;
  }
  return -1;
}

void TISPListGui::InsertBoxEntry(const std::string& name) {
  if (FindBoxEntry(name) >= 0) return;
  int at = 0;
  while (at < ispBox_->count() && BytesFromText(ispBox_->itemText(at)) <= name) ++at;
  ispBox_->insertItem(at, TextFromBytes(name),
                      QByteArray(name.data(), static_cast<qsizetype>(name.size())));
}

void TISPListGui::SortedInsert(QTreeWidgetItem* node) {
  const int at = SortedIndex(tree_->topLevelItemCount(), [this](int i) { return tree_->topLevelItem(i); },
                             NodeKey(*node));
  tree_->insertTopLevelItem(at, node);
}

void TISPListGui::AddISPNode(TISP& isp) {
  if (FindISPNode(isp.Name) == nullptr) SortedInsert(NewNode(isp.Name));
  InsertBoxEntry(isp.Name);
}

void TISPListGui::AddIPNode(std::string_view mask, TISP& isp) {
  QTreeWidgetItem* node = FindISPNode(isp.Name);
  if (node == nullptr) return;
  for (int i = 0; i < node->childCount(); ++i)
    if (NodeKey(*node->child(i)) == mask) return;
  node->insertChild(SortedIndex(node->childCount(), [node](int i) { return node->child(i); }, mask),
                    NewNode(mask));
}

void TISPListGui::RemoveISPNode(TISP& isp) {
  {
    TBusyScope suppress(suppress_);
    delete FindISPNode(isp.Name);
    const int entry = FindBoxEntry(isp.Name);
    if (entry >= 0) ispBox_->removeItem(entry);
    if (ispBox_->currentIndex() < 0 && ispBox_->count() > 0) ispBox_->setCurrentIndex(0);
  }
  // The edits stay in the boxes; "Save" would add them as a new ISP.
  if (loaded_ && CompareKeysForward(isp.Name, loadedName_, false) == 0) loaded_ = false;
  UpdateButtons();
}

void TISPListGui::RemoveIPNode(std::string_view mask, TISP& isp) {
  const std::optional<std::string> normal = NormalizeIPMask(mask);
  QTreeWidgetItem* node = normal ? FindISPNode(isp.Name) : nullptr;
  if (node == nullptr) return;
  TBusyScope suppress(suppress_);
  for (int i = 0; i < node->childCount(); ++i) {
    if (NodeKey(*node->child(i)) != *normal) continue;
    delete node->takeChild(i);
    return;
  }
}

void TISPListGui::RefreshTree() {
  {
    TBusyScope suppress(suppress_);
    tree_->setUpdatesEnabled(false);
    tree_->clear();
    ispBox_->clear();
    TStringList masks;
    for (int i = 0; i < isps_.GetCount(); ++i) {
      TISP& isp = isps_.GetItem(i);
      AddISPNode(isp);
      isps_.GetMasks(masks, &isp);
      for (int j = 0; j < masks.Count(); ++j) AddIPNode(masks.Get(j), isp);
    }
    tree_->setUpdatesEnabled(true);
    // The edited ISP by its own name: the typed one may name nothing yet.
    if (const TISP* loaded = LoadedISP()) {
      loadedName_ = loaded->Name;
      tree_->setCurrentItem(FindISPNode(loaded->Name));
    } else {
      loaded_ = false;
    }
    if (ispBox_->count() > 0) ispBox_->setCurrentIndex(0);
  }
  UpdateButtons();
}

void TISPListGui::SelectNode(QTreeWidgetItem* node) {
  TBusyScope suppress(suppress_);
  tree_->setCurrentItem(node);
}

void TISPListGui::TreeSelectionChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
  if (suppress_ || current == nullptr) return;
  const bool isISP = current->parent() == nullptr;
  const std::string ispName = NodeKey(isISP ? *current : *current->parent());
  const std::string ipText = isISP ? std::string() : NodeKey(*current);
  bool allowed = false;
  if (isISP) allowed = LoadISP(ispName);
  else allowed = LoadedISP() != nullptr || LoadISP(ispName);
  if (!allowed) {
    // Back to where the selection was, if that node still exists.
    QTreeWidgetItem* back = nullptr;
    for (QTreeWidgetItemIterator it(tree_); *it != nullptr; ++it)
      if (*it == previous) back = previous;
    SelectNode(back);
    return;
  }
  if (!isISP) {
    const int entry = FindBoxEntry(ispName);
    if (entry >= 0) ispBox_->setCurrentIndex(entry);
    ip_->setText(TextFromBytes(ipText));
  }
}

// ---- the editor ----

bool TISPListGui::LoadISP(const std::string& name) {
  try {
    if (!EditorUnchanged()) {
      const TISP* loaded = LoadedISP();
      if (loaded != nullptr && CompareKeysForward(loaded->Name, name, false) == 0) {
        if (!dialogs_.Confirm(QStringLiteral("Do you wish to reload the ISP?"))) return false;
      } else {
        const TDialogs::TButton answer = dialogs_.Ask(
            QStringLiteral("Changes has been made to loaded ISP, do you wish to \r\nsave those before "
                           "loading another ISP?"),
            TDialogs::TKind::Confirmation,
            {TDialogs::TButton::Yes, TDialogs::TButton::No, TDialogs::TButton::Cancel});
        if (answer == TDialogs::TButton::Cancel) return false;
        if (answer == TDialogs::TButton::Yes && !SaveISP(true)) return false;
      }
    }
    // Found again: the question let the hub run, a command may have freed it.
    TISP* isp = isps_.Find(name);
    if (isp == nullptr) return false;
    {
      TBusyScope busy(busy_);
      name_->setText(TextFromBytes(isp->Name));
      description_->setText(TextFromBytes(isp->Description));
      prefix_->setText(TextFromBytes(isp->Prefix));
      frame_->SetValues(&isp->Restriction);
    }
    loadedName_ = isp->Name;
    loaded_ = true;
    UpdateButtons();
    return true;
  } catch (const std::exception& e) {
    Fail("GUI.ISP.LoadISP", e);
  }
}

void TISPListGui::Fail(std::string_view place, const std::exception& error) {
  RefreshTree();
  throw EGUIException(place, error.what());
}

void TISPListGui::RenameLoaded(TISP& isp, const std::string& newName) {
  const std::string oldName = isp.Name;
  QTreeWidgetItem* node = FindISPNode(oldName);
  if (!isps_.Rename(isp, newName)) {
    Info(dialogs_, kExists);
    return;
  }
  loadedName_ = isp.Name;
  TBusyScope suppress(suppress_);
  const int entry = FindBoxEntry(oldName);
  if (entry >= 0) ispBox_->removeItem(entry);
  InsertBoxEntry(isp.Name);
  ispBox_->setCurrentIndex(FindBoxEntry(isp.Name));
  if (node == nullptr) return;
  // The node moves to its sorted place with its range children, selected.
  SetNodeKey(*node, isp.Name);
  tree_->takeTopLevelItem(tree_->indexOfTopLevelItem(node));
  SortedInsert(node);
  tree_->setCurrentItem(node);
}

bool TISPListGui::SaveISP(bool renameAllowed) {
  const std::string name = BytesFromText(name_->text());
  if (name.empty()) {
    Info(dialogs_, QStringLiteral("Please supply both a name"));
    return false;
  }
  TISP* loaded = LoadedISP();
  if (renameAllowed && loaded != nullptr && name != loaded->Name) {
    const std::string before = loaded->Name;
    RenameLoaded(*loaded, name);
    if (loaded->Name == before) return false;  // refused
  }
  TISP* isp = isps_.Find(name);
  if (isp != nullptr && isp == LoadedISP()) {
    try {
      isp->Description = BytesFromText(description_->text());
      isp->Prefix = BytesFromText(prefix_->text());
      frame_->GetValues(&isp->Restriction);
      AddISPNode(*isp);
      // The controls now stand for what is stored.
      frame_->SetValues(&isp->Restriction);
      isps_.RefreshUsers();
    } catch (const std::exception& e) {
      Fail("GUI.ISPList.UpdateISP", e);
    }
    reportGUI_(FormatText("The ISP %s has been saved via GUI", isp->Name));
    UpdateButtons();
    return true;
  }
  if (isp != nullptr) {
    Info(dialogs_, kExists);
    return false;
  }
  try {
    TISP fresh;
    fresh.Description = BytesFromText(description_->text());
    fresh.Prefix = BytesFromText(prefix_->text());
    frame_->GetValues(&fresh.Restriction);
    TISP* added = isps_.Add(name, std::move(fresh));
    if (added == nullptr) throw EGUIException("TISPList.Add", "the list refused " + name);
    AddISPNode(*added);
    loadedName_ = added->Name;
    loaded_ = true;
    frame_->SetValues(&added->Restriction);
    SelectNode(FindISPNode(added->Name));
  } catch (const std::exception& e) {
    Fail("GUI.ISPList.AddISP", e);
  }
  reportGUI_(FormatText("The ISP %s has been added via GUI", loadedName_));
  UpdateButtons();
  return true;
}

void TISPListGui::Save() {
  if (LoadedISP() != nullptr && EditorUnchanged()) return;
  SaveISP(true);
}

void TISPListGui::SaveAs() {
  if (LoadedISP() != nullptr && EditorUnchanged()) return;
  SaveISP(false);
}

void TISPListGui::ClearEditor() {
  {
    TBusyScope suppress(suppress_);
    TBusyScope busy(busy_);
    tree_->setCurrentItem(nullptr);
    tree_->clearSelection();
    name_->clear();
    description_->clear();
    prefix_->clear();
    frame_->ResetValues();
  }
  loaded_ = false;
  loadedName_.clear();
  UpdateButtons();
}

void TISPListGui::DeleteNode() {
  QTreeWidgetItem* node = tree_->currentItem();
  if (node == nullptr) return;
  try {
    if (node->parent() != nullptr) {
      const std::string mask = NodeKey(*node);
      const std::string ispName = NodeKey(*node->parent());
      std::string removed;
      const TISP* holder = isps_.FindByIP(mask);
      // Only the range the node shows; the list's view drops the node.
      if (holder != nullptr && holder->Name == ispName && isps_.DeleteIP(mask, &removed) && removed == mask) {
        reportGUI_(FormatText("The IP/IP range %s was removed via GUI", mask));
      } else {
        RefreshTree();
      }
      return;
    }
    const std::string name = NodeKey(*node);
    if (!dialogs_.Confirm(QStringLiteral("Are you really sure you wish to delete this ISP?"))) return;
    // The question let the hub run: the ISP may be gone already.
    TISP* isp = isps_.Find(name);
    if (isp == nullptr) return;
    if (isp == LoadedISP()) ClearEditor();
    const std::string stored = isp->Name;
    RemoveISPNode(*isp);
    reportGUI_(FormatText("The ISP %s was removed via GUI", stored));
    isps_.Delete(stored);
  } catch (const std::exception& e) {
    Fail("GUI.ISPList.Delete", e);
  }
}

void TISPListGui::AddIP() {
  if (ispBox_->currentIndex() < 0) return;
  const QByteArray key = ispBox_->currentData().toByteArray();
  const std::string name(key.constData(), static_cast<std::size_t>(key.size()));
  TISP* isp = isps_.Find(name);
  if (isp == nullptr || FindISPNode(isp->Name) == nullptr) {
    RefreshTree();
    throw EGUIException("GUI.ISPList.AddIP", FormatText("ISP %s not found", name));
  }
  const std::optional<std::string> mask = NormalizeIPMask(BytesFromText(ip_->text()));
  if (!mask) {
    Info(dialogs_, kInvalidRange);
    return;
  }
  try {
    if (!isps_.AddIP(*isp, *mask)) {
      Info(dialogs_, QStringLiteral("The IP/IP is already added, add failed"));
      return;
    }
    reportGUI_(FormatText("The IP/IP range %s was added", *mask));
    AddIPNode(*mask, *isp);
  } catch (const std::exception& e) {
    Fail("GUI.ISPList.AddIP", e);
  }
}

void TISPListGui::RemoveIP() {
  const std::optional<std::string> mask = NormalizeIPMask(BytesFromText(ip_->text()));
  if (!mask) {
    Info(dialogs_, kInvalidRange);
    return;
  }
  // Only a range stored as typed: an address inside a wider range must not
  // take that whole range with it.
  TISP* isp = isps_.FindByIP(*mask);
  bool stored = false;
  if (isp != nullptr) {
    TStringList masks;
    isps_.GetMasks(masks, isp);
    for (int j = 0; j < masks.Count() && !stored; ++j) stored = masks.Get(j) == *mask;
  }
  std::string removed;
  if (!stored || !isps_.DeleteIP(*mask, &removed)) {
    Info(dialogs_, QStringLiteral("The IP/IP range wasn't found, remove failed"));
    return;
  }
  reportGUI_(FormatText("The IP/IP range %s was removed via GUI", removed));
  RemoveIPNode(removed, *isp);
}

// ---- the ISP check switch ----

void TISPListGui::ShowISPCheck() {
  TBusyScope busy(busy_);
  ispCheck_->setChecked(settings_.UseISPCheck);
}

void TISPListGui::StoreISPCheck(bool on) {
  if (busy_ || settings_.UseISPCheck == on) return;
  settings_.UseISPCheck = on;
  // Listed users get the restriction the switch now gives them.
  isps_.RefreshUsers();
}

void TISPListGui::ShowISPs() {
  RefreshTree();
  ShowISPCheck();
}

void TISPListGui::showEvent(QShowEvent* event) {
  // The users page edits the same switch.
  ShowISPCheck();
  QWidget::showEvent(event);
}
