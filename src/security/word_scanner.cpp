#include "security/word_scanner.h"

#include <algorithm>

#include "base/case_tables.h"
#include "platform/file_io.h"
#include "settings/list_file.h"
#include "settings/settings.h"
#include "utils/constants.h"
#include "utils/program_folder.h"
#include "utils/xml_document.h"
#include "utils/xml_values.h"

namespace {

// Both files carry this root; the search file has always used it.
constexpr std::string_view kRootName = "PrivateMessageScanner";
constexpr std::string_view kItemName = "Item";
constexpr std::string_view kVersion = "version";

// The scanner files write their flags as the texts "true" and "false".
void WriteFlag(TXMLNode& node, std::string_view name, bool value) {
  WriteXMLString(node, name, value ? "true" : "false");
}

}  // namespace

template <typename Item>
TWordScanner<Item>::TWordScanner(const TSettings& settings, TFeedSink errorSink)
    : settings_(settings), errorSink_(std::move(errorSink)) {}

template <typename Item>
TWordScanner<Item>::~TWordScanner() = default;

template <typename Item>
bool TWordScanner<Item>::IsBound(char c) const {
  if constexpr (Item::kSearchBounds) {
    if (c == '$' || c == '|') return true;
  }
  return settings_.IsWordDelimiter(c);
}

template <typename Item>
const Item* TWordScanner<Item>::Scan(std::string_view text, int level) const {
  if (items_.empty()) return nullptr;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const Item* item = names_.FindLongestPrefix(text.substr(pos));
    if (item == nullptr || !item->Enable || level >= item->Level) {
      ++pos;
      continue;
    }
    const std::size_t end = pos + item->Name.size();
    if ((item->RestrictStart && pos != 0 && !IsBound(text[pos - 1])) ||
        (item->RestrictStop && end != text.size() && !IsBound(text[end]))) {
      ++pos;
      continue;
    }
    if (item->Action < wsaSkip || item->Action > wsaKick) {
      pos = end;
      continue;
    }
    return item;
  }
  return nullptr;
}

template <typename Item>
void TWordScanner<Item>::Insert(std::unique_ptr<Item> item) {
  auto at = std::lower_bound(items_.begin(), items_.end(), item->Name,
                             [](const std::unique_ptr<Item>& held, const std::string& key) {
                               return CompareTextPChar(held->Name, key) < 0;
                             });
  items_.insert(at, std::move(item));
}

template <typename Item>
Item* TWordScanner<Item>::Add(std::string_view name, Item item) {
  if (name.empty() || Find(name) != nullptr) return nullptr;
  auto owned = std::make_unique<Item>(std::move(item));
  owned->Name = std::string(name);
  Item* stored = owned.get();
  if (!names_.Add(name, stored)) return nullptr;
  Insert(std::move(owned));
  return stored;
}

template <typename Item>
bool TWordScanner<Item>::Delete(std::string_view name) {
  Item* item = Find(name);
  if (item == nullptr) return false;
  if (view_ != nullptr) view_->RemoveItem(*item);
  names_.Remove(item->Name);
  std::erase_if(items_, [item](const auto& held) { return held.get() == item; });
  return true;
}

template <typename Item>
bool TWordScanner<Item>::Rename(Item& item, std::string_view newName) {
  if (newName.empty() || newName == item.Name) return false;
  Item* holder = Find(newName);
  if (holder != nullptr && holder != &item) return false;
  auto it = std::find_if(items_.begin(), items_.end(),
                         [&item](const auto& held) { return held.get() == &item; });
  if (it == items_.end()) return false;
  std::unique_ptr<Item> owned = std::move(*it);
  items_.erase(it);
  names_.Remove(owned->Name);
  owned->Name = std::string(newName);
  names_.Add(owned->Name, owned.get());
  Insert(std::move(owned));
  return true;
}

template <typename Item>
void TWordScanner<Item>::Clear() {
  names_.Clear();
  items_.clear();
}

template <typename Item>
std::string TWordScanner<Item>::FilePath() {
  return ProgramPath(kSettingsFolder, Item::kFileName);
}

template <typename Item>
bool TWordScanner<Item>::Load() {
  TXMLDocument document;
  if (ReadListFile(FilePath(), kRootName, Item::kFileName, document, loading_, saveBlocked_,
                   [this](const std::string& line) {
                     if (errorSink_) errorSink_(line);
                   }) != TListFileRead::Read) {
    return false;
  }
  const TXMLNode& root = document.Root();
  version_ = root.GetAttribute(kVersion);
  Clear();
  for (int i = 0; i < root.GetChildCount(); ++i) {
    const TXMLNode& element = *root.GetChild(i);
    if (element.Name != kItemName) continue;
    std::string name;
    ReadXMLString(element, "Name", name);
    Item* item = Add(name);
    if (item == nullptr) continue;  // no name, or one read before
    ReadXMLInteger(element, "Level", item->Level);
    ReadXMLBoolean(element, "Enable", item->Enable);
    ReadXMLBoolean(element, "RestrictStart", item->RestrictStart);
    ReadXMLBoolean(element, "RestrictStop", item->RestrictStop);
    ReadXMLInteger(element, "Action", item->Action);
    ReadXMLString(element, "Reason", item->Reason);
  }
  if (view_ != nullptr) view_->RefreshList();
  loading_ = false;
  return true;
}

template <typename Item>
bool TWordScanner<Item>::Save() {
  if (loading_ || saveBlocked_) return false;
  TXMLDocument document;
  TXMLNode& root = document.Root();
  root.Name = std::string(kRootName);
  root.AddAttribute(std::string(kVersion), std::string(kProgramVersion));
  for (const auto& item : items_) {
    TXMLNode& element = *root.AddChild(std::string(kItemName));
    WriteXMLString(element, "Name", item->Name);
    WriteXMLInteger(element, "Level", item->Level);
    WriteFlag(element, "Enable", item->Enable);
    WriteFlag(element, "RestrictStart", item->RestrictStart);
    WriteFlag(element, "RestrictStop", item->RestrictStop);
    WriteXMLInteger(element, "Action", item->Action);
    WriteXMLString(element, "Reason", item->Reason);
  }
  // Owner-only, as the other list files.
  return WriteFileAtomicPrivate(FilePath(), document.SaveToString());
}

template class TWordScanner<TPMScannerItem>;
template class TWordScanner<TSearchScannerItem>;
