#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The sections of the language texts, in the order their elements stand in a
// language file. Each enumerator is named as its element.
enum class TLanguageSection {
  Protocol,
  HubRegistration,
  BanList,
  ChatRooms,
  HubBot,
  UserStats,
  Feed,
  MainChatScanner,
  IntegratedCommands,
  TextCommands,
  GUI,
};

inline constexpr std::size_t kLanguageSectionCount = 11;

// The file order (reading and writing language files) and the order in
// which the hub builds its section objects; the two differ and both are kept.
inline constexpr std::array<TLanguageSection, kLanguageSectionCount> kLanguageSectionsFileOrder{
    TLanguageSection::Protocol,        TLanguageSection::HubRegistration,
    TLanguageSection::BanList,         TLanguageSection::ChatRooms,
    TLanguageSection::HubBot,          TLanguageSection::UserStats,
    TLanguageSection::Feed,            TLanguageSection::MainChatScanner,
    TLanguageSection::IntegratedCommands, TLanguageSection::TextCommands,
    TLanguageSection::GUI,
};
inline constexpr std::array<TLanguageSection, kLanguageSectionCount> kLanguageSectionsCreationOrder{
    TLanguageSection::Protocol,        TLanguageSection::HubRegistration,
    TLanguageSection::ChatRooms,       TLanguageSection::HubBot,
    TLanguageSection::BanList,         TLanguageSection::UserStats,
    TLanguageSection::Feed,            TLanguageSection::MainChatScanner,
    TLanguageSection::IntegratedCommands, TLanguageSection::GUI,
    TLanguageSection::TextCommands,
};

// One enumerator per language-file key, named as the key, in file order. The
// two delimiters come first: they are children of the file's root element.
enum class TLanguageKey {
#define KAVRO_ROOT_TEXT(key, text) key,
#define KAVRO_TEXT(section, key, text) key,
#include "settings/language_texts.inc"
#undef KAVRO_TEXT
#undef KAVRO_ROOT_TEXT
};

inline constexpr std::size_t kLanguageKeyCount = 0
#define KAVRO_ROOT_TEXT(key, text) +1
#define KAVRO_TEXT(section, key, text) +1
#include "settings/language_texts.inc"
#undef KAVRO_TEXT
#undef KAVRO_ROOT_TEXT
    ;

// Sent when a connection is refused for too many connections from one IP.
// It has no key: language files neither hold nor replace it.
inline constexpr std::string_view kTooManySameIPText =
    "You're being dropped because too many users is connected from same IP!";

struct TLanguageKeyInfo {
  TLanguageKey Key;
  std::optional<TLanguageSection> Section;  // empty for a child of the root
  std::string_view Name;                    // the element name in the file
  std::string_view DefaultText;             // English
};

std::string_view LanguageSectionName(TLanguageSection section);

// Every key in file order; the root's children, or one section's keys, are a
// contiguous run of it.
std::span<const TLanguageKeyInfo> LanguageKeys();
std::span<const TLanguageKeyInfo> LanguageRootKeys();
std::span<const TLanguageKeyInfo> LanguageSectionKeys(TLanguageSection section);
const TLanguageKeyInfo& LanguageKeyInfo(TLanguageKey key);

// Lookups for the language file reader. Element names are matched exactly
// (byte for byte, case included): a misspelt or recased element is no key.
std::optional<TLanguageSection> FindLanguageSection(std::string_view name);
std::optional<TLanguageKey> FindLanguageKey(TLanguageSection section, std::string_view name);
std::optional<TLanguageKey> FindLanguageRootKey(std::string_view name);

// The current language texts, one slot per key, English until a language
// file replaces some of them. Owns only its texts; the program keeps the
// one instance in its composition root.
class TLanguage {
 public:
  TLanguage();

  const std::string& Text(TLanguageKey key) const;
  void SetText(TLanguageKey key, std::string text);
  void ResetToDefaults();

  // The word put before the last item of a list ("a, b and c").
  const std::string& AndDelimiter() const { return Text(TLanguageKey::AndDelimiter); }
  // The word put between alternatives.
  const std::string& OrDelimiter() const { return Text(TLanguageKey::OrDelimiter); }

 private:
  static std::size_t Slot(TLanguageKey key);

  std::array<std::string, kLanguageKeyCount> texts_;
};

// The language's name of work pace 0 to 7 (slowest to fastest); "" for any
// other level.
std::string WorkPaceName(const TLanguage& language, int level);
