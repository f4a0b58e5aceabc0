#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/conn_restriction.h"
#include "settings/redirect_item.h"
#include "utils/xml_values.h"

class TSettingsHooks;
class TSettingsVisitor;

// A limit that counts only while switched on.
struct TEnabledInt {
  bool Enabled = false;
  int Value = 0;
  bool operator==(const TEnabledInt&) const = default;
};

struct TEnabledInt64 {
  bool Enabled = false;
  std::int64_t Value = 0;
  bool operator==(const TEnabledInt64&) const = default;
};

struct TEnabledText {
  bool Enabled = false;
  std::string Value;
  bool operator==(const TEnabledText&) const = default;
};

// A 64-bit value behind a three-state check box.
struct TInt64TriState {
  TTriState State = TTriState::Unchecked;
  std::int64_t Value = 0;
  bool operator==(const TInt64TriState&) const = default;
};

// "Count events within so many hours" (automatic bans).
struct TCountPerHours {
  bool Enabled = false;
  int Count = 0;
  int Hours = 0;
  bool operator==(const TCountPerHours&) const = default;
};

// "Count events within so many milliseconds" (flood gates).
struct TCountPerInterval {
  TTriState State = TTriState::Unchecked;
  int Count = 0;
  std::int64_t Interval = 0;  // milliseconds
  bool operator==(const TCountPerInterval&) const = default;
};

// Who sees a command typed in main chat.
enum class TCommandVisibility : int {
  Nobody = 0,
  Writer = 1,
  Operators = 2,
  OperatorsAndWriter = 3,
  Everyone = 4,
};

// How Save treats a record whose last load found a damaged file.
enum class TSaveMode {
  Automatic,  // refused while SaveBlocked(): the damaged file stays for repair
  Forced,     // the operator asked: write regardless
};

// Every hub setting, loaded from and saved to settings/settings.xml. Owns
// the hub-wide connection restriction and the twelve redirect items. Values
// that other subsystems only read are public fields named as their file
// keys; values whose change must reach the running hub (names, topic, bot,
// character tables, work pace, watcher switch) are private behind setters,
// which also keep the derived protocol texts in step. One instance, owned by
// the composition root; main thread only.
class TSettings {
 public:
  static constexpr int kMinWorkPace = 0;
  static constexpr int kMaxWorkPace = 7;
  static constexpr std::string_view kDefaultBotName = "-Kavro-";

  TSettings();
  TSettings(const TSettings&) = delete;
  TSettings& operator=(const TSettings&) = delete;
  ~TSettings();

  // Registers the subsystems' side (nullptr: back to doing nothing); `hooks`
  // must outlive this record or be unregistered first. Tells the new side
  // the current work pace, watcher switch and bot nick to reserve.
  void SetHooks(TSettingsHooks* hooks);

  // False, with nothing changed, when settings/settings.xml does not exist.
  // A file that exists but cannot be read or parsed, or whose root element
  // is not "Settings", applies nothing, blocks automatic saves (SaveBlocked)
  // and throws EKavroException; a later successful load lifts the block.
  // Otherwise true.
  bool Load();
  // Writes settings/settings.xml (folder 0700, file 0600: it holds
  // passwords). False when the write failed, or when automatic and blocked.
  bool Save(TSaveMode mode = TSaveMode::Automatic);
  // The last load found a damaged file: saving now would destroy what the
  // operator may still repair by hand.
  bool SaveBlocked() const { return saveBlocked_; }

  // --- values with setters -------------------------------------------------
  const std::string& HubName() const { return hubName_; }
  // Stores a protocol-safe copy; a change tells every user the new name.
  void SetHubName(std::string_view name);
  const std::string& Topic() const { return topic_; }
  // Stores the text as it stands; a change tells every user.
  void SetTopic(std::string_view text);
  // "$HubName <name>[ - <topic>]|"; the topic's '$' and '|' are escaped.
  std::string HubNameMessage() const;

  const std::string& BotName() const { return botName_; }
  const std::string& BotDescription() const { return botDescription_; }
  const std::string& BotEmail() const { return botEmail_; }
  // Stores a protocol-safe copy and announces a change to every user. An
  // empty name keeps the current one (the default when there is none). False,
  // and nothing changed, when the new nick is in use by someone else.
  bool SetBotName(std::string_view name);
  void SetBotDescription(std::string_view text);
  void SetBotEmail(std::string_view text);
  // "<BotName> ", the start of the bot's main-chat lines.
  const std::string& BotChatPrefix() const { return botChatPrefix_; }
  // The bot's complete "$MyINFO ...|".
  const std::string& BotMyINFO() const { return botMyINFO_; }

  // One '0'/'1' per byte value; only the first 256 characters count, and
  // table entries beyond a shorter text keep their values.
  const std::string& AllowedNickChars() const { return allowedNickChars_; }
  void SetAllowedNickChars(std::string_view map);
  bool AllowedNickCharsEnabled = true;
  // Control bytes, space, '$', '`', '|' and '~' are never allowed in a nick.
  bool NickCharAllowed(char c) const { return nickCharAllowed_[static_cast<unsigned char>(c)]; }
  const std::string& WordDelimiters() const { return wordDelimiters_; }
  void SetWordDelimiters(std::string_view map);
  bool IsWordDelimiter(char c) const { return wordDelimiter_[static_cast<unsigned char>(c)]; }

  int WorkPace() const { return workPace_; }
  // A level outside 0..7 is refused (false); a change reaches the hub core.
  bool SetWorkPace(int level);

  bool AutoLoadSettings() const { return autoLoadSettings_; }
  void SetAutoLoadSettings(bool enabled);

  // The "version" attribute of the file last loaded ("" before any).
  const std::string& SettingsVersion() const { return settingsVersion_; }

  // --- Basic ---------------------------------------------------------------
  std::string Language = "English";
  std::string HubPorts;
  bool NmdcsEnabled = false;  // TLS listeners
  std::string NmdcsPorts = "600";
  int MaxUsers = 3000;
  int UsersPeak = 0;
  std::int64_t SharePeak = 0;
  std::int64_t UptimePeak = 0;  // milliseconds
  bool AutoStart = false;
  bool PromptOnShutDown = false;
  bool MinmizeToTray = false;
  bool HubRegistration = false;
  std::string HubAddress = "hub.example.org";
  std::string HubDescription = "Kavro is the cutest ever!";
  TEnabledInt64 AutoSaveSettings{true, 3600000};
  std::string TopicSetBy;
  int TopicLevel = 0;
  std::string HubCategory = "First fun";
  std::string HubOwner = "Tarvel";
  std::string HublistIconAddress = "http://hub.example.org/icon.jpg";
  std::string HublistEmail = "hubowner@example.org";
  std::string HublistWeb = "hub.example.org";

  // --- Miscellaneous -------------------------------------------------------
  TCommandVisibility HubCommandsVisability = TCommandVisibility::Nobody;
  bool HubCommandsForceToPM = false;
  bool HubCommandsShowCommandToSelf = true;
  TCommandVisibility IntegratedCommandsVisability = TCommandVisibility::Operators;
  bool IntegratedCommandsForceToPM = false;
  int MaxHitsOnSearch = 200;
  bool AutoSendOwnUserIP = false;

  // --- Notifications -------------------------------------------------------
  bool NotifyInvalidKey = true;
  bool NotificationInvalidMyINFO = true;
  bool NotificationInvalidPM = true;
  bool NotifyInvalidMC = true;
  bool NotifyInvalidIPInConnectToMe = true;
  bool NotifyInvalidCharsInNick = true;
  bool NotifyInvalidRevConnectToMe = true;
  bool NotifyInvalidSR = true;
  bool NotifyMyINFOSpam = true;
  bool NotifySearchSpam = true;
  bool NotifyMCSpam = true;
  bool NotifyGetNickListSpam = true;
  bool NotifyPMSpam = true;
  bool NotifyJunkDataSpam = true;
  bool InformOperatorsInMcOnKick = true;
  bool InformOperatorsInMcOnBan = true;
  bool SuppressKickMessagesInMainChat = false;
  bool UseFeedCommand = true;
  bool SaveFeedToDisk = false;
  std::string FeedName = "[Feed]";
  // Never written: only files older than the feed rights of the profiles
  // supply them, and the profile list seeds those rights from them.
  bool FeedError = true;
  bool FeedEvent = false;
  bool FeedAction = true;
  bool FeedKick = true;
  bool FeedGUI = false;

  // --- Security ------------------------------------------------------------
  TEnabledInt CheckDataBeforeLock{true, 0};
  bool CheckSenderIPOnSearchAndConnectToMe = true;
  TEnabledInt MaxAmountAuthorizing{true, 500};
  bool KickOnInvalidKey = true;
  bool PerformDNSLookup = true;
  bool UseShareTrace = true;
  bool ShareTraceNotifyShareUpdate = true;
  TEnabledInt ShareTraceAutoPruneHours{true, 12};
  TEnabledInt64 TmpBanTime{true, 360000};
  TEnabledInt64 IdleTimeOut{true, 300000};
  TEnabledInt64 HandshakeTimeOut{true, 40000};
  TEnabledInt NotifyIncorrectPass{true, 3};
  TEnabledInt MaxAmountOfSameIP{true, 10};
  TCountPerHours AutoBanIncorrectPassword{true, 5, 24};
  TCountPerHours AutoBanOnKick{true, 5, 6};
  int MaxSpamWarnings = 6;
  TCountPerInterval SearchSpamMaxCount{TTriState::Checked, 4, 10000};
  TCountPerInterval MainChatSpamMaxCount{TTriState::Checked, 5, 10000};
  TCountPerInterval PMSpamCheck{TTriState::Checked, 5, 10000};
  TCountPerInterval NickListSpamCheck{TTriState::Checked, 3, 10000};
  TCountPerInterval MyINFOSpamCheck{TTriState::Checked, 15, 60000};
  TEnabledInt JunkData{true, 512};
  TEnabledInt JunkDataDK{true, 1024};

  // --- Restrictions --------------------------------------------------------
  TEnabledInt SRMaxCount{true, 100};
  TEnabledInt SearchMinLengthAny{false, 4};
  TEnabledInt SearchMinLengthSpec{false, 2};
  TEnabledInt NickMinLength{true, 3};
  TEnabledInt NickMaxLength{true, 32};
  TEnabledInt SearchMaxLength{true, 150};
  TEnabledInt MyINFOMaxLength{true, 200};
  TEnabledInt MainChatMaxMessageLength{true, 2048};
  TEnabledInt PrivateMessageMaxMessageLength{true, 8192};
  TEnabledInt TopicMaxMessageLength{true, 8192};
  TInt64TriState MyINFOPooling{TTriState::Checked, 900000};
  TTriState DisableMyINFODescription = TTriState::Unchecked;
  TTriState DisableMyINFODescriptionTag = TTriState::Unchecked;
  TTriState DisableMyINFOEmail = TTriState::Unchecked;
  TTriState DisableMyINFOConnectionSpeed = TTriState::Unchecked;
  bool SearchAllowed = true;
  bool PassiveSearchAllowed = true;
  bool MainChatMessageAllowed = true;
  bool PrivateMessageAllowed = true;
  bool ConnectToMeAllowed = true;
  bool RevConnectToMeAllowed = true;
  bool KickAllowed = true;
  bool RedirectAllowed = true;

  // --- Users ---------------------------------------------------------------
  bool RegOnlyHub = false;
  bool AllowUsersToRegister = false;
  bool NoISPAllowed = false;
  bool UseISPCheck = false;
  bool CaseSenstivePrefixPatternCompare = true;
  bool UseGeneralPrefixPatternCheck = false;
  std::string GeneralPrefixPattern;
  TConnRestriction ConnRestriction;  // the hub-wide one
  TEnabledText Password{false, "mink"};
  std::string PasswordMessage;

  // --- Redirects -----------------------------------------------------------
  TRedirectItem RedirectOnFull;
  TRedirectItem RedirectOnISP;
  TRedirectItem RedirectOnLowShare;
  TRedirectItem RedirectOnHighShare;
  TRedirectItem RedirectOnPassiveMode;
  TRedirectItem RedirectOnRegOnly;
  TRedirectItem RedirectOnNoTag;
  TRedirectItem RedirectOnHighHubs;
  TRedirectItem RedirectOnLowSlots;
  TRedirectItem RedirectOnHighSlots;
  TRedirectItem RedirectOnLowSlotRatio;
  TRedirectItem RedirectOnBans;

  // --- UserStats -----------------------------------------------------------
  int UserStatsType = 0;  // 0 none, 1 in memory, 2 MySQL
  TEnabledInt UserStatsAutoPrune{true, 5};
  std::string UserStatsMySQLHost = "localhost";
  int UserStatsMySQLPort = 3306;
  std::string UserStatsMySQLUser = "root";
  std::string UserStatsMySQLPassword;
  std::string UserStatsMySQLDatabase = "kavro";

  // --- run-time only, never written ----------------------------------------
  bool MainChatIsLocked = false;
  bool HublistIconLoaded = false;

 private:
  TSettingsHooks& Hooks() const;
  // Name, description and e-mail in one step, so that a reload announces
  // the bot at most once. False when the name was refused (the description
  // and e-mail still apply).
  bool ChangeBot(std::string_view name, std::string_view description, std::string_view email);
  void RebuildBotTexts();

  // The file's keys, in file order, for both reading and writing.
  void VisitKeys(TSettingsVisitor& v);
  void VisitBasic(TSettingsVisitor& v);
  void VisitMiscellaneous(TSettingsVisitor& v);
  void VisitNotifications(TSettingsVisitor& v);
  void VisitSecurity(TSettingsVisitor& v);
  void VisitRestrictions(TSettingsVisitor& v);
  void VisitUsers(TSettingsVisitor& v);
  void VisitRedirects(TSettingsVisitor& v);
  void VisitUserStats(TSettingsVisitor& v);

  TSettingsHooks* hooks_ = nullptr;
  bool saveBlocked_ = false;
  std::string settingsVersion_;

  std::string hubName_;
  std::string topic_;
  std::string botName_;
  std::string botDescription_;
  std::string botEmail_;
  std::string botChatPrefix_;
  std::string botMyINFO_;
  std::string allowedNickChars_;
  std::array<bool, 256> nickCharAllowed_{};
  std::string wordDelimiters_;
  std::array<bool, 256> wordDelimiter_{};
  int workPace_ = 5;
  bool autoLoadSettings_ = false;
};

// Byte-wise version order ("1.02" < "1.03" < "1.034" < "1.04"; a prefix
// sorts first).
bool VersionBelow(std::string_view version, std::string_view gate);
