#include "settings/language.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/exceptions.h"

namespace {

using S = TLanguageSection;
using K = TLanguageKey;

TEST(LanguageTable, HoldsEveryKeyOfEverySection) {
  struct Row {
    S section;
    std::size_t count;
  };
  const Row rows[] = {
      {S::Protocol, 91},          {S::HubRegistration, 11}, {S::BanList, 21},
      {S::ChatRooms, 32},         {S::HubBot, 650},         {S::UserStats, 46},
      {S::Feed, 5},               {S::MainChatScanner, 3},  {S::IntegratedCommands, 19},
      {S::TextCommands, 1},       {S::GUI, 8},
  };
  std::size_t total = LanguageRootKeys().size();
  EXPECT_EQ(total, 2u);
  for (const auto& row : rows) {
    const auto keys = LanguageSectionKeys(row.section);
    EXPECT_EQ(keys.size(), row.count) << LanguageSectionName(row.section);
    for (const auto& info : keys) EXPECT_EQ(info.Section, row.section) << info.Name;
    total += keys.size();
  }
  EXPECT_EQ(total, 889u);
  EXPECT_EQ(LanguageKeys().size(), 889u);
}

TEST(LanguageTable, KeyNamesAreUniqueAndFoundInTheirOwnSection) {
  std::set<std::string_view> names;
  for (const auto& info : LanguageKeys()) {
    EXPECT_TRUE(names.insert(info.Name).second) << "duplicate key " << info.Name;
    EXPECT_EQ(&LanguageKeyInfo(info.Key), &info) << info.Name;
    const auto found = info.Section ? FindLanguageKey(*info.Section, info.Name)
                                    : FindLanguageRootKey(info.Name);
    EXPECT_EQ(found, info.Key) << info.Name;
  }
}

// A UTF-8 sequence pasted into the table would reach clients as mojibake:
// defaults are printable 7-bit text plus the CR LF and tabs the texts hold.
TEST(LanguageTable, DefaultsHoldNoStrayBytes) {
  for (const auto& info : LanguageKeys()) {
    for (const char c : info.DefaultText) {
      const auto b = static_cast<unsigned char>(c);
      EXPECT_TRUE((b >= 0x20 && b < 0x7F) || c == '\r' || c == '\n' || c == '\t')
          << info.Name << " holds byte " << int(b);
    }
  }
}

TEST(LanguageTable, DefaultTexts) {
  struct Row {
    K key;
    std::optional<S> section;
    std::string_view text;
  };
  const Row rows[] = {
      {K::AndDelimiter, std::nullopt, "and"},
      {K::OrDelimiter, std::nullopt, "or"},
      {K::HubTooBusy, S::Protocol, "The hub is currently too busy... try again later."},
      {K::ReadBufferFull, S::Protocol,
       "The message you've sent is too long, max length allowed is: %d bytes"},
      {K::ValidateNickToShort, S::Protocol,
       "Your nickname is too short, please change it and reconnect"},
      {K::IncorrectPasswordNotification, S::Protocol,
       "The IP %s has entered the incorrect password for %s %d times"},
      {K::ResolvingIPFailed, S::HubRegistration,
       "The attemp to resolve the IP address failed, the \r\nhostname may be invalid"},
      {K::ShareTraceNotifyShareUpdateMessage, S::BanList,
       "%s (IP: %s) has updated the share and was granted access"},
      {K::CommandHelpHeader, S::ChatRooms, "Available commands:\r\n*****************"},
      {K::CommandHelpHelp, S::ChatRooms, "%s\t\t\t-\tShows this very help"},
      {K::CommandSymbol, S::HubBot, "[command]"},
      {K::UnkownCommand, S::HubBot, "Unknown command! type $help for help!"},
      {K::HelpAccountList, S::HubBot,
       "Shows accounts, use \"all\" as profile to list regardless of profile"},
      {K::LockHubParmError, S::HubBot, "Incorrect parameter, lock can be \"on\" or \"off\""},
      {K::ShowTempBansNick, S::HubBot, "Nick: "},
      {K::SetPacePace7, S::HubBot, "Extreme"},
      {K::PMProfileFeedMessage, S::HubBot,
       "%s sent a broadcast message to users of profile %s: %s"},
      {K::SingelHitNickIPEntry, S::UserStats, "From: %s\tTo: %s"},
      {K::GUIFeed, S::Feed, "[GUI]"},
      {K::DropMessage, S::MainChatScanner, "You've been dropped for saying: %s"},
      {K::HistoryShowingLines, S::IntegratedCommands, "- Mainchat history [showing %d lines]:"},
      {K::IncorrectParamterCount, S::TextCommands, "You need to supply at least %d parameters"},
      {K::cboSettingsWorkPace7, S::GUI, "7 - Extreme"},
  };
  for (const auto& row : rows) {
    const auto& info = LanguageKeyInfo(row.key);
    EXPECT_EQ(info.Section, row.section) << info.Name;
    EXPECT_EQ(info.DefaultText, row.text) << info.Name;
  }
  // The operator's help line for DNS bans must still teach the wildcard.
  EXPECT_NE(LanguageKeyInfo(K::HelpBanDNS).DefaultText.find("use ? as any char"),
            std::string_view::npos);
}

TEST(LanguageTable, SectionsInFileOrderWithTheirFirstAndLastKeys) {
  struct Row {
    std::string_view name;
    std::string_view first;
    std::string_view last;
  };
  const Row rows[] = {
      {"Protocol", "HubTooBusy", "IncorrectPasswordNotification"},
      {"HubRegistration", "DefaultLastAttempt", "SendSuccessful"},
      {"BanList", "NewBan", "ShareTraceNotifyShareUpdateMessage"},
      {"ChatRooms", "CreateChatRoomErrorNoNick", "NonCommandOfNotJoinedUser"},
      {"HubBot", "CommandSymbol", "PMProfileFeedMessage"},
      {"UserStats", "SingelHitNickGeneralInformation", "ResultRowNickInfoTimesUsed"},
      {"Feed", "ActionFeed", "GUIFeed"},
      {"MainChatScanner", "KickTmpBanReason", "DropMessage"},
      {"IntegratedCommands", "FirstIn", "HistoryShowingLines"},
      {"TextCommands", "IncorrectParamterCount", "IncorrectParamterCount"},
      {"GUI", "cboSettingsWorkPace0", "cboSettingsWorkPace7"},
  };
  ASSERT_EQ(std::size(rows), kLanguageSectionsFileOrder.size());
  EXPECT_EQ(LanguageRootKeys().front().Name, "AndDelimiter");
  EXPECT_EQ(LanguageRootKeys().back().Name, "OrDelimiter");
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const S section = kLanguageSectionsFileOrder[i];
    EXPECT_EQ(LanguageSectionName(section), rows[i].name);
    const auto keys = LanguageSectionKeys(section);
    ASSERT_FALSE(keys.empty());
    EXPECT_EQ(keys.front().Name, rows[i].first);
    EXPECT_EQ(keys.back().Name, rows[i].last);
  }
}

TEST(LanguageTable, CreationOrderDiffersFromFileOrder) {
  std::vector<std::string_view> names;
  for (const S section : kLanguageSectionsCreationOrder) names.push_back(LanguageSectionName(section));
  const std::vector<std::string_view> expected{
      "Protocol",  "HubRegistration", "ChatRooms",         "HubBot",
      "BanList",   "UserStats",       "Feed",              "MainChatScanner",
      "IntegratedCommands",           "GUI",               "TextCommands"};
  EXPECT_EQ(names, expected);
}

TEST(LanguageLookup, MatchesElementNamesExactly) {
  struct Row {
    S section;
    std::string_view name;
    std::optional<K> expected;
  };
  const Row rows[] = {
      {S::Protocol, "HubTooBusy", K::HubTooBusy},
      {S::Protocol, "hubtoobusy", std::nullopt},
      {S::Protocol, "HUBTOOBUSY", std::nullopt},
      {S::Protocol, "HubTooBusy ", std::nullopt},
      {S::Protocol, "HubTooBus", std::nullopt},
      {S::Protocol, "", std::nullopt},
      {S::HubBot, "HubTooBusy", std::nullopt},  // right name, wrong section
      {S::HubBot, "UnkownCommand", K::UnkownCommand},
      {S::HubBot, "UnknownCommand", std::nullopt},  // the file spells it without the n
      {S::Protocol, "ValidateNickToShort", K::ValidateNickToShort},
      {S::Protocol, "AndDelimiter", std::nullopt},  // a root element, not a section key
      {S::GUI, "cboSettingsWorkPace3", K::cboSettingsWorkPace3},
      {S::GUI, "CboSettingsWorkPace3", std::nullopt},
      {S::TextCommands, "IncorrectParamterCount", K::IncorrectParamterCount},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(FindLanguageKey(row.section, row.name), row.expected)
        << LanguageSectionName(row.section) << "/" << row.name;
  }
  EXPECT_EQ(FindLanguageRootKey("AndDelimiter"), K::AndDelimiter);
  EXPECT_EQ(FindLanguageRootKey("OrDelimiter"), K::OrDelimiter);
  EXPECT_EQ(FindLanguageRootKey("anddelimiter"), std::nullopt);
  EXPECT_EQ(FindLanguageRootKey("HubTooBusy"), std::nullopt);

  EXPECT_EQ(FindLanguageSection("HubBot"), S::HubBot);
  EXPECT_EQ(FindLanguageSection("GUI"), S::GUI);
  EXPECT_EQ(FindLanguageSection("hubbot"), std::nullopt);
  EXPECT_EQ(FindLanguageSection("THubCommandLanguage"), std::nullopt);
  EXPECT_EQ(FindLanguageSection(""), std::nullopt);
}

TEST(LanguageTable, KeyOutOfRangeIsACheckedError) {
  const auto bad = static_cast<K>(kLanguageKeyCount);
  EXPECT_THROW(LanguageKeyInfo(bad), EAssertionFailed);
  EXPECT_THROW(LanguageSectionName(static_cast<S>(kLanguageSectionCount)), EAssertionFailed);
  TLanguage language;
  EXPECT_THROW(language.Text(bad), EAssertionFailed);
  EXPECT_THROW(language.SetText(bad, "x"), EAssertionFailed);
}

TEST(Language, StartsWithEveryDefault) {
  const TLanguage language;
  for (const auto& info : LanguageKeys()) EXPECT_EQ(language.Text(info.Key), info.DefaultText) << info.Name;
  EXPECT_EQ(language.AndDelimiter(), "and");
  EXPECT_EQ(language.OrDelimiter(), "or");
}

TEST(Language, SetTextReplacesOneSlotUntilReset) {
  TLanguage language;
  language.SetText(K::HubTooBusy, "Hubben \xE4r full");
  language.SetText(K::AndDelimiter, "och");
  language.SetText(K::OrDelimiter, "");  // an empty element sets an empty text
  EXPECT_EQ(language.Text(K::HubTooBusy), "Hubben \xE4r full");
  EXPECT_EQ(language.AndDelimiter(), "och");
  EXPECT_EQ(language.OrDelimiter(), "");
  EXPECT_EQ(language.Text(K::ReadBufferFull), LanguageKeyInfo(K::ReadBufferFull).DefaultText);

  const TLanguage other;  // instances share nothing
  EXPECT_EQ(other.Text(K::HubTooBusy), LanguageKeyInfo(K::HubTooBusy).DefaultText);

  language.ResetToDefaults();
  for (const auto& info : LanguageKeys()) EXPECT_EQ(language.Text(info.Key), info.DefaultText) << info.Name;
}

}  // namespace

namespace {

TEST(WorkPaceName, NamesTheEightLevelsAndNothingElse) {
  TLanguage language;
  const struct {
    int level;
    const char* name;
  } cases[] = {{-1, ""}, {0, "Coma"}, {4, "Normal"}, {5, "Rabbit"}, {7, "Extreme"}, {8, ""}};
  for (const auto& c : cases) EXPECT_EQ(WorkPaceName(language, c.level), c.name) << c.level;
  language.SetText(TLanguageKey::SetPacePace7, "Warp");
  EXPECT_EQ(WorkPaceName(language, 7), "Warp");
}

}  // namespace
