// The layout of settings.xml: every group and key in file order. The same
// walk writes and reads the file, so the two cannot drift apart. Element
// names are the file format as deployed, misspellings included.
#include <string>

#include "settings/settings.h"
#include "settings/settings_hooks.h"
#include "settings/settings_visitor.h"

namespace {

// Files older than this carry the feed switches later held by the profiles.
constexpr std::string_view kFeedFlagsGate = "1.03";

}  // namespace

void TSettings::VisitKeys(TSettingsVisitor& v) {
  v.Group("Basic", [&] { VisitBasic(v); });
  v.Group("Miscellaneous", [&] { VisitMiscellaneous(v); });
  v.Group("Notifications", [&] { VisitNotifications(v); });
  v.Group("Security", [&] { VisitSecurity(v); });
  v.Group("Restrictions", [&] { VisitRestrictions(v); });
  v.Group("Users", [&] { VisitUsers(v); });
  v.Group("Redirects", [&] { VisitRedirects(v); });
  v.Group("UserStats", [&] { VisitUserStats(v); });
}

void TSettings::VisitBasic(TSettingsVisitor& v) {
  v.Text("Language", Language);
  v.Text("HubPorts", HubPorts);
  v.Flag("NmdcsEnabled", NmdcsEnabled);
  v.Text("NmdcsPorts", NmdcsPorts);
  v.Integer("MaxUsers", MaxUsers);
  v.Integer("UsersPeak", UsersPeak);
  v.Int64("SharePeak", SharePeak);
  v.Int64("UptimePeak", UptimePeak);
  int pace = workPace_;
  if (v.Range("WorkPace", pace, kMinWorkPace, kMaxWorkPace)) SetWorkPace(pace);
  v.Flag("AutoStart", AutoStart);
  v.Flag("PromptOnShutDown", PromptOnShutDown);
  v.Flag("MinmizeToTray", MinmizeToTray);
  v.Flag("HubRegistration", HubRegistration);
  std::string hubName = hubName_;
  if (v.Text("HubName", hubName)) SetHubName(hubName);
  // The bot's three values are applied together after the last of them.
  std::string botName = botName_;
  bool botChanged = v.Text("BotName", botName);
  v.Text("HubAddress", HubAddress);
  v.Text("HubDescription", HubDescription);
  v.EnabledInt64("AutoSaveSettings", AutoSaveSettings);
  bool autoLoad = autoLoadSettings_;
  if (v.Flag("AutoLoadSettings", autoLoad)) SetAutoLoadSettings(autoLoad);
  std::string topic = topic_;
  if (v.Text("Topic", topic)) SetTopic(topic);
  v.Text("TopicSetBy", TopicSetBy);
  v.Integer("TopicLevel", TopicLevel);
  std::string botDescription = botDescription_;
  botChanged |= v.Text("BotDescription", botDescription);
  std::string botEmail = botEmail_;
  botChanged |= v.Text("BotEmail", botEmail);
  if (botChanged) ChangeBot(botName, botDescription, botEmail);
  v.Text("HubCategory", HubCategory);
  v.Text("HubOwner", HubOwner);
  v.Text("HublistIconAddress", HublistIconAddress);
  v.Text("HublistEmail", HublistEmail);
  v.Text("HublistWeb", HublistWeb);
}

void TSettings::VisitMiscellaneous(TSettingsVisitor& v) {
  v.Group("MainchatCommands", [&] {
    v.Enum("HubCommandsVisability", HubCommandsVisability, TCommandVisibility::Nobody,
           TCommandVisibility::Everyone);
    v.Flag("HubCommandsForceToPM", HubCommandsForceToPM);
    v.Flag("HubCommandsShowCommandToSelf", HubCommandsShowCommandToSelf);
    v.Enum("IntegratedCommandsVisability", IntegratedCommandsVisability, TCommandVisibility::Nobody,
           TCommandVisibility::Everyone);
    v.Flag("IntegratedCommandsForceToPM", IntegratedCommandsForceToPM);
  });
  v.Group("Miscellaneous", [&] {
    v.Integer("MaxHitsOnSearch", MaxHitsOnSearch);
    v.Flag("AutoSendOwnUserIP", AutoSendOwnUserIP);
  });
}

void TSettings::VisitNotifications(TSettingsVisitor& v) {
  v.Group("ProtocolMessages", [&] {
    v.Flag("NotifyInvalidKey", NotifyInvalidKey);
    v.Flag("NotificationInvalidMyINFO", NotificationInvalidMyINFO);
    v.Flag("NotificationInvalidPM", NotificationInvalidPM);
    v.Flag("NotifyInvalidMC", NotifyInvalidMC);
    v.Flag("NotifyInvalidIPInConnectToMe", NotifyInvalidIPInConnectToMe);
    v.Flag("NotifyInvalidCharsInNick", NotifyInvalidCharsInNick);
    v.Flag("NotifyInvalidRevConnectToMe", NotifyInvalidRevConnectToMe);
    v.Flag("NotifyInvalidSR", NotifyInvalidSR);
  });
  v.Group("Spam", [&] {
    v.Flag("NotifyMyINFOSpam", NotifyMyINFOSpam);
    v.Flag("NotifySearchSpam", NotifySearchSpam);
    v.Flag("NotifyMCSpam", NotifyMCSpam);
    v.Flag("NotifyGetNickListSpam", NotifyGetNickListSpam);
    v.Flag("NotifyPMSpam", NotifyPMSpam);
    v.Flag("NotifyJunkDataSpam", NotifyJunkDataSpam);
  });
  v.Group("Other", [&] {
    v.Flag("InformOperatorsInMcOnKick", InformOperatorsInMcOnKick);
    v.Flag("InformOperatorsInMcOnBan", InformOperatorsInMcOnBan);
    v.Flag("SuppressKickMessagesInMainChat", SuppressKickMessagesInMainChat);
  });
  v.Group("Feed", [&] {
    v.Flag("UseFeedCommand", UseFeedCommand);
    v.Flag("SaveFeedToDisk", SaveFeedToDisk);
    v.Text("FeedName", FeedName);
    if (v.Reading() && VersionBelow(settingsVersion_, kFeedFlagsGate)) {
      v.Flag("FeedError", FeedError);
      v.Flag("FeedEvent", FeedEvent);
      v.Flag("FeedAction", FeedAction);
      v.Flag("FeedKick", FeedKick);
      v.Flag("FeedGUI", FeedGUI);
    }
  });
}

void TSettings::VisitSecurity(TSettingsVisitor& v) {
  v.Group("General", [&] {
    v.EnabledInt("CheckDataBeforeLock", CheckDataBeforeLock);
    v.Flag("CheckSenderIPOnSearchAndConnectToMe", CheckSenderIPOnSearchAndConnectToMe);
    v.EnabledInt("MaxAmountAuthorizing", MaxAmountAuthorizing);
    v.Flag("KickOnInvalidKey", KickOnInvalidKey);
    v.Flag("PerformDNSLookup", PerformDNSLookup);
    v.Flag("UseShareTrace", UseShareTrace);
    v.Flag("ShareTraceNotifyShareUpdate", ShareTraceNotifyShareUpdate);
    v.EnabledInt("ShareTraceAutoPruneHours", ShareTraceAutoPruneHours);
    v.EnabledInt64("TmpBanTime", TmpBanTime);
    v.EnabledInt64("IdleTimeOut", IdleTimeOut);
    v.EnabledInt64("HandshakeTimeOut", HandshakeTimeOut);
    v.EnabledInt("NotifyIncorrectPass", NotifyIncorrectPass);
    v.EnabledInt("MaxAmountOfSameIP", MaxAmountOfSameIP);
  });
  v.Group("Autobans", [&] {
    v.CountPerHours("AutoBanIncorrectPassword", AutoBanIncorrectPassword);
    v.CountPerHours("AutoBanOnKick", AutoBanOnKick);
  });
  v.Group("Spam", [&] {
    v.Integer("MaxSpamWarnings", MaxSpamWarnings);
    v.CountPerInterval("SearchSpamMaxCount", SearchSpamMaxCount);
    v.CountPerInterval("MainChatSpamMaxCount", MainChatSpamMaxCount);
    v.CountPerInterval("PMSpamCheck", PMSpamCheck);
    v.CountPerInterval("NickListSpamCheck", NickListSpamCheck);
    v.CountPerInterval("MyINFOSpamCheck", MyINFOSpamCheck);
    v.EnabledInt("JunkData", JunkData);
    v.EnabledInt("JunkDataDK", JunkDataDK);
  });
}

void TSettings::VisitRestrictions(TSettingsVisitor& v) {
  v.Group("Search", [&] {
    v.EnabledInt("SRMaxCount", SRMaxCount);
    v.EnabledInt("SearchMinLengthAny", SearchMinLengthAny);
    v.EnabledInt("SearchMinLengthSpec", SearchMinLengthSpec);
  });
  v.Group("Length", [&] {
    v.EnabledInt("NickMinLength", NickMinLength);
    v.EnabledInt("NickMaxLength", NickMaxLength);
    v.EnabledInt("SearchMaxLength", SearchMaxLength);
    v.EnabledInt("MyINFOMaxLength", MyINFOMaxLength);
    v.EnabledInt("MainChatMaxMessageLength", MainChatMaxMessageLength);
    v.EnabledInt("PrivateMessageMaxMessageLength", PrivateMessageMaxMessageLength);
    v.EnabledInt("TopicMaxMessageLength", TopicMaxMessageLength);
  });
  v.Group("MyINFO", [&] {
    v.Int64TriState("MyINFOPooling", MyINFOPooling);
    v.TriState("DisableMyINFODescription", DisableMyINFODescription);
    v.TriState("DisableMyINFODescriptionTag", DisableMyINFODescriptionTag);
    v.TriState("DisableMyINFOEmail", DisableMyINFOEmail);
    v.TriState("DisableMyINFOConnectionSpeed", DisableMyINFOConnectionSpeed);
  });
  v.Group("Protocol", [&] {
    v.Flag("SearchAllowed", SearchAllowed);
    v.Flag("PassiveSearchAllowed", PassiveSearchAllowed);
    v.Flag("MainChatMessageAllowed", MainChatMessageAllowed);
    v.Flag("PrivateMessageAllowed", PrivateMessageAllowed);
    v.Flag("ConnectToMeAllowed", ConnectToMeAllowed);
    v.Flag("RevConnectToMeAllowed", RevConnectToMeAllowed);
    v.Flag("KickAllowed", KickAllowed);
    v.Flag("RedirectAllowed", RedirectAllowed);
  });
}

void TSettings::VisitUsers(TSettingsVisitor& v) {
  v.Group("Connection", [&] {
    v.Flag("RegOnlyHub", RegOnlyHub);
    v.Flag("AllowUsersToRegister", AllowUsersToRegister);
    v.Flag("NoISPAllowed", NoISPAllowed);
    v.Flag("UseISPCheck", UseISPCheck);
    v.Flag("CaseSenstivePrefixPatternCompare", CaseSenstivePrefixPatternCompare);
    v.Flag("UseGeneralPrefixPatternCheck", UseGeneralPrefixPatternCheck);
    v.Text("GeneralPrefixPattern", GeneralPrefixPattern);
    v.Restriction(ConnRestriction);
    TEnabledText nickChars{AllowedNickCharsEnabled, allowedNickChars_};
    if (v.EnabledText("AllowedNickChars", nickChars)) {
      AllowedNickCharsEnabled = nickChars.Enabled;
      SetAllowedNickChars(nickChars.Value);
    }
    std::string delimiters = wordDelimiters_;
    if (v.Text("WordDelimiters", delimiters)) SetWordDelimiters(delimiters);
  });
  v.Group("DefaultPassword", [&] {
    v.EnabledText("Password", Password);
    v.Text("PasswordMessage", PasswordMessage);
  });
}

void TSettings::VisitRedirects(TSettingsVisitor& v) {
  v.Redirect("RedirectOnFull", RedirectOnFull);
  v.Redirect("RedirectOnISP", RedirectOnISP);
  v.Redirect("RedirectOnLowShare", RedirectOnLowShare);
  v.Redirect("RedirectOnHighShare", RedirectOnHighShare);
  v.Redirect("RedirectOnPassiveMode", RedirectOnPassiveMode);
  v.Redirect("RedirectOnRegOnly", RedirectOnRegOnly);
  v.Redirect("RedirectOnNoTag", RedirectOnNoTag);
  v.Redirect("RedirectOnHighHubs", RedirectOnHighHubs);
  v.Redirect("RedirectOnLowSlots", RedirectOnLowSlots);
  v.Redirect("RedirectOnHighSlots", RedirectOnHighSlots);
  v.Redirect("RedirectOnLowSlotRatio", RedirectOnLowSlotRatio);
  v.Redirect("RedirectOnBans", RedirectOnBans);
}

void TSettings::VisitUserStats(TSettingsVisitor& v) {
  v.Range("UserStatsType", UserStatsType, 0, 2);
  v.EnabledInt("UserStatsAutoPrune", UserStatsAutoPrune);
  v.Text("UserStatsMySQLHost", UserStatsMySQLHost);
  v.Integer("UserStatsMySQLPort", UserStatsMySQLPort);
  v.Text("UserStatsMySQLUser", UserStatsMySQLUser);
  v.Text("UserStatsMySQLPassword", UserStatsMySQLPassword);
  v.Text("UserStatsMySQLDatabase", UserStatsMySQLDatabase);
  if (v.Reading() && (UserStatsType == 1 || UserStatsType == 2)) {
    Hooks().SelectUserStats(UserStatsType);
  }
}
