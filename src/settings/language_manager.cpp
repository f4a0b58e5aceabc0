#include "settings/language_manager.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "platform/directory_list.h"
#include "platform/file_io.h"
#include "settings/language.h"
#include "base/case_tables.h"
#include "base/exceptions.h"
#include "utils/program_folder.h"

namespace {

constexpr std::string_view kEnglishFile = "english.xml";
// Only the head of each file is looked at, so a folder of large files lists
// quickly; the root element and its attributes are expected there.
constexpr std::size_t kScanBytes = 512;

// The value of `attribute="..."` after the first "<Language" of `head`,
// taken as it stands; empty when the root, the opening or the closing
// quote is not there.
std::string ScanAttribute(std::string_view head, std::string_view attribute) {
  const std::size_t root = head.find("<Language");
  if (root == std::string_view::npos) return {};
  const std::string opening = std::string(attribute) + "=\"";
  std::size_t start = head.find(opening, root);
  if (start == std::string_view::npos) return {};
  start += opening.size();
  const std::size_t end = head.find('"', start);
  if (end == std::string_view::npos) return {};
  return std::string(head.substr(start, end - start));
}

}  // namespace

TLanguageManager::TLanguageManager(TLanguage& language) : loader_(language) {
  CreateDirectories(ProgramPath(kLanguageFolder, ""));
}

TLanguageManager::~TLanguageManager() {
  try {
    WriteBack();
  } catch (const std::exception&) {
    // The owner calls WriteBack itself when it wants to hear of a failure.
  }
}

int TLanguageManager::CompareNames(std::string_view a, std::string_view b) {
  return CompareTextPChar(a, b);
}

std::size_t TLanguageManager::LowerBound(std::string_view name) const {
  const auto it = std::lower_bound(
      items_.begin(), items_.end(), name,
      [](const TLangItem& item, std::string_view key) { return CompareNames(item.Name, key) < 0; });
  return static_cast<std::size_t>(it - items_.begin());
}

const TLangItem* TLanguageManager::Find(std::string_view name) const {
  const std::size_t index = LowerBound(name);
  if (index == items_.size() || CompareNames(items_[index].Name, name) != 0) return nullptr;
  return &items_[index];
}

bool TLanguageManager::AddItem(TLangItem item) {
  const std::size_t index = LowerBound(item.Name);
  if (index < items_.size() && CompareNames(items_[index].Name, item.Name) == 0) return false;
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), std::move(item));
  return true;
}

const TLangItem& TLanguageManager::GetItem(int index) const {
  KAVRO_CHECK(index >= 0 && index < GetCount(), "language index out of range");
  return items_[static_cast<std::size_t>(index)];
}

const std::string& TLanguageManager::GetLanguageName(int index) const {
  return GetItem(index).Name;
}

bool TLanguageManager::TryLoad(const std::string& fileName) {
  try {
    loader_.Load(fileName);
  } catch (const EKavroException&) {
    failedFiles_.insert(fileName);
    return false;
  }
  failedFiles_.erase(fileName);
  return true;
}

void TLanguageManager::MakeCurrent(const TLangItem& item) {
  currentFile_ = item.FileName;
  currentName_ = item.Name;
}

void TLanguageManager::Rescan() {
  const auto files = ListFilesByExtension(ProgramPath(kLanguageFolder, ""), ".xml");
  if (!files) return;
  items_.clear();
  for (const std::string& file : *files) {
    std::string head;
    if (!ReadFilePrefix(LanguageFilePath(file), kScanBytes, head)) continue;
    std::string name = ScanAttribute(head, "name");
    if (name.empty()) continue;
    AddItem(TLangItem{std::move(name), file, ScanAttribute(head, "lang")});
  }

  if (items_.empty()) {
    const std::string english(kEnglishFile);
    try {
      // An operator's own english.xml is never replaced by the defaults.
      if (!FileExists(LanguageFilePath(english))) loader_.Save(english);
    } catch (const EKavroException&) {
      // Listed all the same: selecting it then leaves the texts as they are.
    }
    AddItem(TLangItem{"English", english, "en"});
  }

  if (currentFile_.empty()) return;
  // The current language follows its display name to whatever file now
  // holds it, so the exit write never puts one file's texts into another.
  const TLangItem* item = Find(currentName_);
  MakeCurrent(item != nullptr ? *item : items_.front());
  TryLoad(currentFile_);
}

bool TLanguageManager::SelectLanguage(std::string_view name) {
  const TLangItem* item = Find(name);
  if (item == nullptr || !TryLoad(item->FileName)) return false;
  MakeCurrent(*item);
  return true;
}

bool TLanguageManager::SaveLanguage() {
  if (currentFile_.empty() || failedFiles_.contains(currentFile_)) return false;
  return loader_.Save(currentFile_);
}

void TLanguageManager::WriteBack() {
  if (wroteBack_) return;
  wroteBack_ = true;
  if (currentFile_.empty()) {
    const std::string english(kEnglishFile);
    if (!FileExists(LanguageFilePath(english))) loader_.Save(english);
    return;
  }
  if (failedFiles_.contains(currentFile_)) return;
  loader_.Save(currentFile_);
}
