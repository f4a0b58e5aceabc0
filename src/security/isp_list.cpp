#include "security/isp_list.h"

#include <algorithm>

#include "base/exceptions.h"
#include "settings/language.h"
#include "utils/bin_list.h"
#include "utils/ip_match.h"
#include "utils/string_list.h"

TISPList::TISPList(const TLanguage& language, TFeedSink errorSink)
    : language_(language), errorSink_(std::move(errorSink)) {
  items_.reserve(16);
}

// The trie points into the ISPs: it goes first.
TISPList::~TISPList() { ClearItems(); }

void TISPList::ReportError(const std::string& line) const {
  if (errorSink_) errorSink_(line);
}

void TISPList::RefreshUsers() const {
  if (usersRefresh_) usersRefresh_();
}

std::vector<std::unique_ptr<TISP>>::const_iterator TISPList::Position(
    std::string_view name) const {
  return std::lower_bound(items_.begin(), items_.end(), name,
                          [](const std::unique_ptr<TISP>& item, std::string_view key) {
                            return CompareKeysForward(item->Name, key, false) < 0;
                          });
}

TISP* TISPList::Find(std::string_view name) const {
  const auto at = Position(name);
  if (at == items_.end() || CompareKeysForward(name, (*at)->Name, false) != 0) return nullptr;
  return at->get();
}

TISP* TISPList::FindByIP(std::string_view address) const {
  return ranges_.FindCovering(address);
}

TISP* TISPList::Add(std::string_view name, TISP isp) {
  if (name.empty() || Find(name) != nullptr) return nullptr;
  const auto at = Position(name);
  auto stored = std::make_unique<TISP>(std::move(isp));
  stored->Name = std::string(name);
  TISP* result = stored.get();
  items_.insert(at, std::move(stored));
  Changed();
  if (TISPListView* view = View()) view->AddISPNode(*result);
  return result;
}

bool TISPList::Delete(std::string_view name) {
  const auto at = Position(name);
  if (at == items_.end() || CompareKeysForward(name, (*at)->Name, false) != 0) return false;
  if (TISPListView* view = View()) view->RemoveISPNode(**at);
  // Connections hold copies of the restriction: freeing it here is safe.
  ranges_.RemoveValue(at->get());
  items_.erase(at);
  Changed();
  RefreshUsers();
  return true;
}

bool TISPList::AddIP(TISP& isp, std::string_view mask) {
  const std::optional<std::string> normal = NormalizeIPMask(mask);
  if (!normal || Find(isp.Name) != &isp) return false;
  if (!ranges_.Add(*normal, &isp)) return false;
  if (TISPListView* view = View()) view->AddIPNode(*normal, isp);
  RefreshUsers();
  return true;
}

bool TISPList::AddIPByName(std::string_view name, std::string_view mask) {
  TISP* isp = Find(name);
  return isp != nullptr && AddIP(*isp, mask);
}

bool TISPList::DeleteIP(std::string_view address, std::string* removedMask) {
  const std::optional<std::string> normal = NormalizeIPMask(address);
  if (!normal) return false;
  // The covering range itself, not the text given: "10.1.5.5" held by
  // "10.*" removes "10.*", and reports so.
  std::string mask;
  TISP* isp = ranges_.FindCovering(*normal, &mask);
  if (isp == nullptr || !ranges_.Remove(mask)) return false;
  if (TISPListView* view = View()) view->RemoveIPNode(mask, *isp);
  if (removedMask != nullptr) *removedMask = std::move(mask);
  RefreshUsers();
  return true;
}

bool TISPList::Rename(TISP& isp, std::string_view newName) {
  if (newName.empty() || newName == isp.Name) return false;
  const TISP* holder = Find(newName);
  if (holder != nullptr && holder != &isp) return false;
  const auto at = Position(isp.Name);
  if (at == items_.end() || at->get() != &isp) return false;
  // The object moves to its new place; pointers to it stay valid.
  std::unique_ptr<TISP> moved = std::move(items_[static_cast<std::size_t>(at - items_.begin())]);
  items_.erase(at);
  moved->Name = std::string(newName);
  const auto to = Position(moved->Name);
  items_.insert(to, std::move(moved));
  Changed();
  return true;
}

TISP& TISPList::GetItem(int index) const {
  KAVRO_CHECK(index >= 0 && index < GetCount(), "TISPList.GetItem index out of range");
  return *items_[static_cast<std::size_t>(index)];
}

void TISPList::ClearItems() {
  ranges_.Clear();
  items_.clear();
  Changed();
}

void TISPList::Clear() {
  ClearItems();
  if (TISPListView* view = View()) view->RefreshTree();
  RefreshUsers();
}

void TISPList::GetMasks(TStringList& list, const TISP* isp) const {
  ranges_.GetMasks(list, isp);
}

void TISPList::GetMasksUnder(TStringList& list, std::string_view mask) const {
  ranges_.GetMasksUnder(list, mask);
}

const std::string& TISPList::GetNamesText() const {
  const std::string& andWord = language_.AndDelimiter();
  if (namesValid_ && namesAnd_ == andWord) return namesText_;
  const int shown = std::min(GetCount(), kMaxNamesInText);
  namesText_.clear();
  for (int i = 0; i < shown; ++i) {
    if (i > 0) namesText_ += i == shown - 1 ? " " + andWord + " " : ", ";
    namesText_ += items_[static_cast<std::size_t>(i)]->Name;
  }
  if (GetCount() > kMaxNamesInText) namesText_ += "...";
  namesAnd_ = andWord;
  namesValid_ = true;
  return namesText_;
}
