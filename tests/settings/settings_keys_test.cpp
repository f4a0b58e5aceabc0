// The file layout: the exact bytes of a fresh file, and every key surviving a
// save and a load.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "settings/settings.h"
#include "settings_test_home.h"
#include "utils/constants.h"
#include "utils/xml_document.h"

namespace {

std::string GoldenPath() { return KAVRO_TESTS_SOURCE_DIR "/settings/golden/settings.xml"; }

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

using TSettingsTest = SettingsHomeTest;

TEST_F(TSettingsTest, FreshFileMatchesTheGoldenFileByteForByte) {
  TSettings settings;
  ASSERT_TRUE(settings.Save());
  std::string golden;
  ASSERT_TRUE(ReadFileBytes(GoldenPath(), golden)) << GoldenPath();
  EXPECT_EQ(ReplaceAll(ReadSettingsFile(), kProgramVersion, "@VERSION@"), golden);
}

// One row per key: its path in the file, a change away from the default,
// and the check that the change arrived.
struct TKeyCase {
  std::string Path;
  std::function<void(TSettings&)> Change;
  std::function<bool(const TSettings&)> Changed;
};

template <typename T>
TKeyCase Field(std::string path, T TSettings::*member, T value) {
  return {std::move(path), [member, value](TSettings& s) { s.*member = value; },
          [member, value](const TSettings& s) { return s.*member == value; }};
}

template <typename T>
TKeyCase Limit(std::string path, T TConnRestriction::*member, T value) {
  return {std::move(path), [member, value](TSettings& s) { s.ConnRestriction.*member = value; },
          [member, value](const TSettings& s) { return s.ConnRestriction.*member == value; }};
}

TKeyCase Redirect(std::string path, TRedirectItem TSettings::*member) {
  return {std::move(path),
          [member](TSettings& s) {
            (s.*member).Enabled = true;
            (s.*member).SetAddresses("a.example.org:411|b.example.org");
          },
          [member](const TSettings& s) {
            return (s.*member).Enabled &&
                   (s.*member).GetAddresses() == "a.example.org:411|b.example.org";
          }};
}

// Like the default map with the byte 'a' switched off.
std::string ChangedMap(std::string_view map) {
  std::string changed(map);
  changed['a'] = changed['a'] == '1' ? '0' : '1';
  return changed;
}

std::vector<TKeyCase> AllKeys() {
  using S = TSettings;
  using CV = TCommandVisibility;
  using TS = TTriState;
  // The groups, as paths in the file.
  const std::string basic = "Basic/";
  const std::string chat = "Miscellaneous/MainchatCommands/";
  const std::string misc = "Miscellaneous/Miscellaneous/";
  const std::string proto = "Notifications/ProtocolMessages/";
  const std::string nspam = "Notifications/Spam/";
  const std::string other = "Notifications/Other/";
  const std::string feed = "Notifications/Feed/";
  const std::string general = "Security/General/";
  const std::string autoban = "Security/Autobans/";
  const std::string spam = "Security/Spam/";
  const std::string search = "Restrictions/Search/";
  const std::string length = "Restrictions/Length/";
  const std::string myinfo = "Restrictions/MyINFO/";
  const std::string allowed = "Restrictions/Protocol/";
  const std::string conn = "Users/Connection/";
  const std::string password = "Users/DefaultPassword/";
  const std::string redirects = "Redirects/";
  const std::string stats = "UserStats/";
  const std::string nickChars = ChangedMap(DefaultAllowedNickChars);
  const std::string delimiters = ChangedMap(DefaultWordDelimiters);
  return {
      Field(basic + "Language", &S::Language, std::string("Deutsch")),
      Field(basic + "HubPorts", &S::HubPorts, std::string("4111;4112")),
      Field(basic + "NmdcsEnabled", &S::NmdcsEnabled, true),
      Field(basic + "NmdcsPorts", &S::NmdcsPorts, std::string("601")),
      Field(basic + "MaxUsers", &S::MaxUsers, 12),
      Field(basic + "UsersPeak", &S::UsersPeak, 77),
      Field(basic + "SharePeak", &S::SharePeak, std::int64_t{5'000'000'000'000}),
      Field(basic + "UptimePeak", &S::UptimePeak, std::int64_t{9'000'000'000}),
      {basic + "WorkPace", [](S& s) { s.SetWorkPace(2); },
       [](const S& s) { return s.WorkPace() == 2; }},
      Field(basic + "AutoStart", &S::AutoStart, true),
      Field(basic + "PromptOnShutDown", &S::PromptOnShutDown, true),
      Field(basic + "MinmizeToTray", &S::MinmizeToTray, true),
      Field(basic + "HubRegistration", &S::HubRegistration, true),
      {basic + "HubName", [](S& s) { s.SetHubName("Other hub"); },
       [](const S& s) { return s.HubName() == "Other\xA0hub"; }},
      {basic + "BotName", [](S& s) { s.SetBotName("Guard"); },
       [](const S& s) { return s.BotName() == "Guard"; }},
      Field(basic + "HubAddress", &S::HubAddress, std::string("dc.example.net:4111")),
      Field(basic + "HubDescription", &S::HubDescription, std::string("<quiet> & \"calm\"")),
      Field(basic + "AutoSaveSettings", &S::AutoSaveSettings, TEnabledInt64{false, 60000}),
      {basic + "AutoLoadSettings", [](S& s) { s.SetAutoLoadSettings(true); },
       [](const S& s) { return s.AutoLoadSettings(); }},
      {basic + "Topic", [](S& s) { s.SetTopic("News | $today"); },
       [](const S& s) { return s.Topic() == "News | $today"; }},
      Field(basic + "TopicSetBy", &S::TopicSetBy, std::string("op")),
      Field(basic + "TopicLevel", &S::TopicLevel, 7),
      {basic + "BotDescription", [](S& s) { s.SetBotDescription("Watch"); },
       [](const S& s) { return s.BotDescription() == "Watch"; }},
      {basic + "BotEmail", [](S& s) { s.SetBotEmail("bot@example.org"); },
       [](const S& s) { return s.BotEmail() == "bot@example.org"; }},
      Field(basic + "HubCategory", &S::HubCategory, std::string("Music")),
      Field(basic + "HubOwner", &S::HubOwner, std::string("Someone")),
      Field(basic + "HublistIconAddress", &S::HublistIconAddress,
            std::string("http://x.example/i.jpg")),
      Field(basic + "HublistEmail", &S::HublistEmail, std::string("me@example.net")),
      Field(basic + "HublistWeb", &S::HublistWeb, std::string("www.example.net")),

      Field(chat + "HubCommandsVisability", &S::HubCommandsVisability, CV::Everyone),
      Field(chat + "HubCommandsForceToPM", &S::HubCommandsForceToPM, true),
      Field(chat + "HubCommandsShowCommandToSelf", &S::HubCommandsShowCommandToSelf, false),
      Field(chat + "IntegratedCommandsVisability", &S::IntegratedCommandsVisability, CV::Writer),
      Field(chat + "IntegratedCommandsForceToPM", &S::IntegratedCommandsForceToPM, true),
      Field(misc + "MaxHitsOnSearch", &S::MaxHitsOnSearch, 20),
      Field(misc + "AutoSendOwnUserIP", &S::AutoSendOwnUserIP, true),

      Field(proto + "NotifyInvalidKey", &S::NotifyInvalidKey, false),
      Field(proto + "NotificationInvalidMyINFO", &S::NotificationInvalidMyINFO, false),
      Field(proto + "NotificationInvalidPM", &S::NotificationInvalidPM, false),
      Field(proto + "NotifyInvalidMC", &S::NotifyInvalidMC, false),
      Field(proto + "NotifyInvalidIPInConnectToMe", &S::NotifyInvalidIPInConnectToMe, false),
      Field(proto + "NotifyInvalidCharsInNick", &S::NotifyInvalidCharsInNick, false),
      Field(proto + "NotifyInvalidRevConnectToMe", &S::NotifyInvalidRevConnectToMe, false),
      Field(proto + "NotifyInvalidSR", &S::NotifyInvalidSR, false),
      Field(nspam + "NotifyMyINFOSpam", &S::NotifyMyINFOSpam, false),
      Field(nspam + "NotifySearchSpam", &S::NotifySearchSpam, false),
      Field(nspam + "NotifyMCSpam", &S::NotifyMCSpam, false),
      Field(nspam + "NotifyGetNickListSpam", &S::NotifyGetNickListSpam, false),
      Field(nspam + "NotifyPMSpam", &S::NotifyPMSpam, false),
      Field(nspam + "NotifyJunkDataSpam", &S::NotifyJunkDataSpam, false),
      Field(other + "InformOperatorsInMcOnKick", &S::InformOperatorsInMcOnKick, false),
      Field(other + "InformOperatorsInMcOnBan", &S::InformOperatorsInMcOnBan, false),
      Field(other + "SuppressKickMessagesInMainChat", &S::SuppressKickMessagesInMainChat, true),
      Field(feed + "UseFeedCommand", &S::UseFeedCommand, false),
      Field(feed + "SaveFeedToDisk", &S::SaveFeedToDisk, true),
      Field(feed + "FeedName", &S::FeedName, std::string("[Log]")),

      Field(general + "CheckDataBeforeLock", &S::CheckDataBeforeLock, TEnabledInt{false, 64}),
      Field(general + "CheckSenderIPOnSearchAndConnectToMe",
            &S::CheckSenderIPOnSearchAndConnectToMe, false),
      Field(general + "MaxAmountAuthorizing", &S::MaxAmountAuthorizing, TEnabledInt{false, 50}),
      Field(general + "KickOnInvalidKey", &S::KickOnInvalidKey, false),
      Field(general + "PerformDNSLookup", &S::PerformDNSLookup, false),
      Field(general + "UseShareTrace", &S::UseShareTrace, false),
      Field(general + "ShareTraceNotifyShareUpdate", &S::ShareTraceNotifyShareUpdate, false),
      Field(general + "ShareTraceAutoPruneHours", &S::ShareTraceAutoPruneHours,
            TEnabledInt{false, 48}),
      Field(general + "TmpBanTime", &S::TmpBanTime, TEnabledInt64{false, 60000}),
      Field(general + "IdleTimeOut", &S::IdleTimeOut, TEnabledInt64{false, 1000}),
      Field(general + "HandshakeTimeOut", &S::HandshakeTimeOut, TEnabledInt64{false, 2000}),
      Field(general + "NotifyIncorrectPass", &S::NotifyIncorrectPass, TEnabledInt{false, 9}),
      Field(general + "MaxAmountOfSameIP", &S::MaxAmountOfSameIP, TEnabledInt{false, 2}),
      Field(autoban + "AutoBanIncorrectPassword", &S::AutoBanIncorrectPassword,
            TCountPerHours{false, 9, 48}),
      Field(autoban + "AutoBanOnKick", &S::AutoBanOnKick, TCountPerHours{false, 2, 1}),
      Field(spam + "MaxSpamWarnings", &S::MaxSpamWarnings, 1),
      Field(spam + "SearchSpamMaxCount", &S::SearchSpamMaxCount,
            TCountPerInterval{TS::Grayed, 1, 500}),
      Field(spam + "MainChatSpamMaxCount", &S::MainChatSpamMaxCount,
            TCountPerInterval{TS::Unchecked, 2, 600}),
      Field(spam + "PMSpamCheck", &S::PMSpamCheck, TCountPerInterval{TS::Grayed, 3, 700}),
      Field(spam + "NickListSpamCheck", &S::NickListSpamCheck,
            TCountPerInterval{TS::Unchecked, 4, 800}),
      Field(spam + "MyINFOSpamCheck", &S::MyINFOSpamCheck, TCountPerInterval{TS::Grayed, 5, 900}),
      Field(spam + "JunkData", &S::JunkData, TEnabledInt{false, 1}),
      Field(spam + "JunkDataDK", &S::JunkDataDK, TEnabledInt{false, 2}),

      Field(search + "SRMaxCount", &S::SRMaxCount, TEnabledInt{false, 10}),
      Field(search + "SearchMinLengthAny", &S::SearchMinLengthAny, TEnabledInt{true, 5}),
      Field(search + "SearchMinLengthSpec", &S::SearchMinLengthSpec, TEnabledInt{true, 6}),
      Field(length + "NickMinLength", &S::NickMinLength, TEnabledInt{false, 1}),
      Field(length + "NickMaxLength", &S::NickMaxLength, TEnabledInt{false, 64}),
      Field(length + "SearchMaxLength", &S::SearchMaxLength, TEnabledInt{false, 99}),
      Field(length + "MyINFOMaxLength", &S::MyINFOMaxLength, TEnabledInt{false, 300}),
      Field(length + "MainChatMaxMessageLength", &S::MainChatMaxMessageLength,
            TEnabledInt{false, 512}),
      Field(length + "PrivateMessageMaxMessageLength", &S::PrivateMessageMaxMessageLength,
            TEnabledInt{false, 513}),
      Field(length + "TopicMaxMessageLength", &S::TopicMaxMessageLength, TEnabledInt{false, 514}),
      Field(myinfo + "MyINFOPooling", &S::MyINFOPooling, TInt64TriState{TS::Grayed, 1234}),
      Field(myinfo + "DisableMyINFODescription", &S::DisableMyINFODescription, TS::Checked),
      Field(myinfo + "DisableMyINFODescriptionTag", &S::DisableMyINFODescriptionTag, TS::Grayed),
      Field(myinfo + "DisableMyINFOEmail", &S::DisableMyINFOEmail, TS::Checked),
      Field(myinfo + "DisableMyINFOConnectionSpeed", &S::DisableMyINFOConnectionSpeed, TS::Grayed),
      Field(allowed + "SearchAllowed", &S::SearchAllowed, false),
      Field(allowed + "PassiveSearchAllowed", &S::PassiveSearchAllowed, false),
      Field(allowed + "MainChatMessageAllowed", &S::MainChatMessageAllowed, false),
      Field(allowed + "PrivateMessageAllowed", &S::PrivateMessageAllowed, false),
      Field(allowed + "ConnectToMeAllowed", &S::ConnectToMeAllowed, false),
      Field(allowed + "RevConnectToMeAllowed", &S::RevConnectToMeAllowed, false),
      Field(allowed + "KickAllowed", &S::KickAllowed, false),
      Field(allowed + "RedirectAllowed", &S::RedirectAllowed, false),

      Field(conn + "RegOnlyHub", &S::RegOnlyHub, true),
      Field(conn + "AllowUsersToRegister", &S::AllowUsersToRegister, true),
      Field(conn + "NoISPAllowed", &S::NoISPAllowed, true),
      Field(conn + "UseISPCheck", &S::UseISPCheck, true),
      Field(conn + "CaseSenstivePrefixPatternCompare", &S::CaseSenstivePrefixPatternCompare, false),
      Field(conn + "UseGeneralPrefixPatternCheck", &S::UseGeneralPrefixPatternCheck, true),
      Field(conn + "GeneralPrefixPattern", &S::GeneralPrefixPattern, std::string("[??]*")),
      Limit(conn + "MinShare", &TConnRestriction::MinShare, std::int64_t{1} << 40),
      Limit(conn + "MaxShare", &TConnRestriction::MaxShare, std::int64_t{1} << 50),
      Limit(conn + "MaxHubs", &TConnRestriction::MaxHubs, 11),
      Limit(conn + "MinSlots", &TConnRestriction::MinSlots, 2),
      Limit(conn + "MaxSlots", &TConnRestriction::MaxSlots, 30),
      Limit(conn + "SlotRatio", &TConnRestriction::SlotRatio, 4),
      Limit(conn + "MayBeInPassiveMode", &TConnRestriction::MayBeInPassiveMode, false),
      Limit(conn + "AllowTagLessToByPass", &TConnRestriction::AllowTagLessToByPass, true),
      // The restriction's switches travel with their values.
      Limit(conn + "MinShare", &TConnRestriction::MinShareEnabled, true),
      Limit(conn + "MaxShare", &TConnRestriction::MaxShareEnabled, true),
      Limit(conn + "MaxHubs", &TConnRestriction::MaxHubsEnabled, true),
      Limit(conn + "MinSlots", &TConnRestriction::MinSlotsEnabled, true),
      Limit(conn + "MaxSlots", &TConnRestriction::MaxSlotsEnabled, true),
      Limit(conn + "SlotRatio", &TConnRestriction::SlotRatioEnabled, true),
      {conn + "AllowedNickChars",
       [nickChars](S& s) {
         s.AllowedNickCharsEnabled = false;
         s.SetAllowedNickChars(nickChars);
       },
       [nickChars](const S& s) {
         return !s.AllowedNickCharsEnabled && s.AllowedNickChars() == nickChars &&
                !s.NickCharAllowed('a');
       }},
      {conn + "WordDelimiters", [delimiters](S& s) { s.SetWordDelimiters(delimiters); },
       [delimiters](const S& s) {
         return s.WordDelimiters() == delimiters && s.IsWordDelimiter('a');
       }},
      Field(password + "Password", &S::Password, TEnabledText{true, "s3cret<&>"}),
      Field(password + "PasswordMessage", &S::PasswordMessage, std::string("Ask op")),

      Redirect(redirects + "RedirectOnFull", &S::RedirectOnFull),
      Redirect(redirects + "RedirectOnISP", &S::RedirectOnISP),
      Redirect(redirects + "RedirectOnLowShare", &S::RedirectOnLowShare),
      Redirect(redirects + "RedirectOnHighShare", &S::RedirectOnHighShare),
      Redirect(redirects + "RedirectOnPassiveMode", &S::RedirectOnPassiveMode),
      Redirect(redirects + "RedirectOnRegOnly", &S::RedirectOnRegOnly),
      Redirect(redirects + "RedirectOnNoTag", &S::RedirectOnNoTag),
      Redirect(redirects + "RedirectOnHighHubs", &S::RedirectOnHighHubs),
      Redirect(redirects + "RedirectOnLowSlots", &S::RedirectOnLowSlots),
      Redirect(redirects + "RedirectOnHighSlots", &S::RedirectOnHighSlots),
      Redirect(redirects + "RedirectOnLowSlotRatio", &S::RedirectOnLowSlotRatio),
      Redirect(redirects + "RedirectOnBans", &S::RedirectOnBans),

      Field(stats + "UserStatsType", &S::UserStatsType, 2),
      Field(stats + "UserStatsAutoPrune", &S::UserStatsAutoPrune, TEnabledInt{false, 30}),
      Field(stats + "UserStatsMySQLHost", &S::UserStatsMySQLHost, std::string("db.example.org")),
      Field(stats + "UserStatsMySQLPort", &S::UserStatsMySQLPort, 3307),
      Field(stats + "UserStatsMySQLUser", &S::UserStatsMySQLUser, std::string("hub")),
      Field(stats + "UserStatsMySQLPassword", &S::UserStatsMySQLPassword, std::string("pw")),
      Field(stats + "UserStatsMySQLDatabase", &S::UserStatsMySQLDatabase, std::string("stats")),
  };
}

void CollectLeaves(const TXMLNode& node, const std::string& path, std::set<std::string>& out) {
  for (int i = 0; i < node.GetChildCount(); ++i) {
    const TXMLNode& child = *node.GetChild(i);
    const std::string childPath = path.empty() ? child.Name : path + "/" + child.Name;
    if (child.GetChildCount() == 0) {
      out.insert(childPath);
    } else {
      CollectLeaves(child, childPath, out);
    }
  }
}

TEST_F(TSettingsTest, EveryKeyInTheFileHasARowAndEveryRowIsAKeyInTheFile) {
  TSettings settings;
  ASSERT_TRUE(settings.Save());
  TXMLDocument document;
  ASSERT_TRUE(document.LoadFromFile(SettingsFile()));
  std::set<std::string> written;
  CollectLeaves(document.Root(), "", written);
  std::set<std::string> rows;
  for (const TKeyCase& key : AllKeys()) rows.insert(key.Path);
  EXPECT_EQ(written, rows);
}

TEST_F(TSettingsTest, EveryKeySurvivesSaveAndLoad) {
  const std::vector<TKeyCase> keys = AllKeys();
  TSettings original;
  for (const TKeyCase& key : keys) {
    ASSERT_FALSE(key.Changed(original)) << key.Path << ": the row must differ from the default";
    key.Change(original);
    ASSERT_TRUE(key.Changed(original)) << key.Path;
  }
  ASSERT_TRUE(original.Save());

  TSettings loaded;
  ASSERT_TRUE(loaded.Load());
  for (const TKeyCase& key : keys) EXPECT_TRUE(key.Changed(loaded)) << key.Path;
  // The derived bot texts follow the loaded values.
  EXPECT_EQ(loaded.BotChatPrefix(), "<Guard> ");
  EXPECT_EQ(loaded.BotMyINFO(), "$MyINFO $ALL Guard Watch$ $\x01$bot@example.org$0$|");
}

}  // namespace
