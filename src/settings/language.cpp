#include "settings/language.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/exceptions.h"

namespace {

constexpr std::array<TLanguageKeyInfo, kLanguageKeyCount> kTable{{
#define KAVRO_ROOT_TEXT(key, text) \
  {TLanguageKey::key, std::nullopt, #key, std::string_view(text, sizeof(text) - 1)},
#define KAVRO_TEXT(section, key, text) \
  {TLanguageKey::key, TLanguageSection::section, #key, std::string_view(text, sizeof(text) - 1)},
#include "settings/language_texts.inc"
#undef KAVRO_TEXT
#undef KAVRO_ROOT_TEXT
}};

constexpr std::array<std::string_view, kLanguageSectionCount> kSectionNames{
    "Protocol", "HubRegistration", "BanList",           "ChatRooms",
    "HubBot",   "UserStats",       "Feed",              "MainChatScanner",
    "IntegratedCommands",          "TextCommands",      "GUI",
};

// Position of a table entry's group: 0 for the root's children, 1 + the
// section for a section's keys. The table must be sorted by it.
constexpr std::size_t GroupOf(const TLanguageKeyInfo& info) {
  return info.Section ? 1 + static_cast<std::size_t>(*info.Section) : 0;
}

constexpr bool TableIsInFileOrder() {
  for (std::size_t i = 0; i < kTable.size(); ++i) {
    if (static_cast<std::size_t>(kTable[i].Key) != i) return false;
    if (i > 0 && GroupOf(kTable[i]) < GroupOf(kTable[i - 1])) return false;
  }
  return true;
}
static_assert(TableIsInFileOrder(), "language texts must be listed in file order");

constexpr bool SectionEnumIsFileOrder() {
  for (std::size_t i = 0; i < kLanguageSectionCount; ++i)
    if (static_cast<std::size_t>(kLanguageSectionsFileOrder[i]) != i) return false;
  return true;
}
static_assert(SectionEnumIsFileOrder(), "TLanguageSection must follow the file order");

// kGroupStart[g] is the first table index of group g; the last entry closes
// the final group.
constexpr std::array<std::size_t, kLanguageSectionCount + 2> ComputeGroupStarts() {
  std::array<std::size_t, kLanguageSectionCount + 2> starts{};
  for (std::size_t g = 0; g < starts.size(); ++g) {
    std::size_t i = 0;
    while (i < kTable.size() && GroupOf(kTable[i]) < g) ++i;
    starts[g] = i;
  }
  return starts;
}
constexpr auto kGroupStart = ComputeGroupStarts();

std::span<const TLanguageKeyInfo> Group(std::size_t group) {
  return std::span<const TLanguageKeyInfo>(kTable).subspan(
      kGroupStart[group], kGroupStart[group + 1] - kGroupStart[group]);
}

std::size_t SectionIndex(TLanguageSection section) {
  const auto index = static_cast<std::size_t>(section);
  KAVRO_CHECK(index < kLanguageSectionCount, "language section out of range");
  return index;
}

// Key names are unique across the whole table, so one index by name serves
// every section; the caller's section is then checked against the entry.
const std::vector<const TLanguageKeyInfo*>& NameIndex() {
  static const std::vector<const TLanguageKeyInfo*> index = [] {
    std::vector<const TLanguageKeyInfo*> sorted;
    sorted.reserve(kTable.size());
    for (const auto& info : kTable) sorted.push_back(&info);
    std::sort(sorted.begin(), sorted.end(),
              [](const TLanguageKeyInfo* a, const TLanguageKeyInfo* b) { return a->Name < b->Name; });
    const auto dup = std::adjacent_find(
        sorted.begin(), sorted.end(),
        [](const TLanguageKeyInfo* a, const TLanguageKeyInfo* b) { return a->Name == b->Name; });
    KAVRO_CHECK(dup == sorted.end(), "language key names must be unique");
    return sorted;
  }();
  return index;
}

const TLanguageKeyInfo* FindByName(std::string_view name) {
  const auto& index = NameIndex();
  const auto it = std::lower_bound(
      index.begin(), index.end(), name,
      [](const TLanguageKeyInfo* info, std::string_view n) { return info->Name < n; });
  if (it == index.end() || (*it)->Name != name) return nullptr;
  return *it;
}

}  // namespace

std::string_view LanguageSectionName(TLanguageSection section) {
  return kSectionNames[SectionIndex(section)];
}

std::span<const TLanguageKeyInfo> LanguageKeys() { return kTable; }

std::span<const TLanguageKeyInfo> LanguageRootKeys() { return Group(0); }

std::span<const TLanguageKeyInfo> LanguageSectionKeys(TLanguageSection section) {
  return Group(1 + SectionIndex(section));
}

const TLanguageKeyInfo& LanguageKeyInfo(TLanguageKey key) {
  const auto index = static_cast<std::size_t>(key);
  KAVRO_CHECK(index < kTable.size(), "language key out of range");
  return kTable[index];
}

std::optional<TLanguageSection> FindLanguageSection(std::string_view name) {
  for (std::size_t i = 0; i < kSectionNames.size(); ++i)
    if (kSectionNames[i] == name) return static_cast<TLanguageSection>(i);
  return std::nullopt;
}

std::optional<TLanguageKey> FindLanguageKey(TLanguageSection section, std::string_view name) {
  const TLanguageKeyInfo* info = FindByName(name);
  if (info == nullptr || info->Section != section) return std::nullopt;
  return info->Key;
}

std::optional<TLanguageKey> FindLanguageRootKey(std::string_view name) {
  const TLanguageKeyInfo* info = FindByName(name);
  if (info == nullptr || info->Section.has_value()) return std::nullopt;
  return info->Key;
}

TLanguage::TLanguage() { ResetToDefaults(); }

std::size_t TLanguage::Slot(TLanguageKey key) {
  const auto index = static_cast<std::size_t>(key);
  KAVRO_CHECK(index < kLanguageKeyCount, "language key out of range");
  return index;
}

const std::string& TLanguage::Text(TLanguageKey key) const { return texts_[Slot(key)]; }

void TLanguage::SetText(TLanguageKey key, std::string text) { texts_[Slot(key)] = std::move(text); }

void TLanguage::ResetToDefaults() {
  for (std::size_t i = 0; i < kTable.size(); ++i) texts_[i].assign(kTable[i].DefaultText);
}

static_assert(static_cast<int>(TLanguageKey::SetPacePace7) -
                      static_cast<int>(TLanguageKey::SetPacePace0) == 7,
              "the work-pace names must stand in a row");

std::string WorkPaceName(const TLanguage& language, int level) {
  if (level < 0 || level > 7) return {};
  const auto first = static_cast<int>(TLanguageKey::SetPacePace0);
  return language.Text(static_cast<TLanguageKey>(first + level));
}
