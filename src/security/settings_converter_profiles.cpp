// Murn's profiles: its rights mapped onto ours, then the rights its level
// implied.
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "security/profile.h"
#include "security/profiles.h"
#include "security/settings_converter.h"
#include "security/settings_converter_entry.h"
#include "utils/xml_document.h"

namespace {

using R = TProfileRight;

// One Murn element and the rights it sets; each right is read as its own
// kind (a level right as a level, a bool right as a boolean).
struct TMurnRow {
  std::string_view Element;
  std::vector<TProfileRight> Rights;
};

std::vector<TProfileRight> Span(TProfileRight first, TProfileRight last) {
  std::vector<TProfileRight> rights;
  for (auto r = static_cast<int>(first); r <= static_cast<int>(last); ++r)
    rights.push_back(static_cast<TProfileRight>(r));
  return rights;
}

// Applied in this order: a later row overwrites what an earlier one set.
const std::vector<TMurnRow>& MurnRows() {
  static const std::vector<TMurnRow> rows{
      {"MayOverrideISPIPRules", {R::MayByPassISPIPCheck}},
      {"MayOverrideISPIPCheck", {R::UseProfileConnRestriction}},
      {"MayOverrideTempBans", {R::MayByPassTmpBans}},
      {"MayEnterEvenIfHubIsFull", {R::MayEnterEvenIfHubIsFull}},
      {"NoFloodCheck", {R::MayByPassFloodCheck}},
      {"MayUseOpForceMove", {R::MayRedirect}},
      {"MayUseTheMurnBot", {R::MayUseHubCommands}},
      {"MayUseTheUserInfoCommand", {R::MayShowUserInfo, R::MayShowTrafficInfo}},
      {"MayUseTheIPInfoCommand", {R::MayShowIPInfo, R::MayShowNickInfo}},
      {"MayUseMuteCommand", {R::MayUseMuteUser, R::MayUseLunarizeUser, R::MayUseKennylizeUser}},
      {"MayUseTheDropCommand", {R::MayDropUser}},
      {"MayAdminISPIP", Span(R::MayISPAddISP, R::MayISPDelIP)},
      {"MayAdminUserAccounts", Span(R::MayAccountsAdd, R::MayAccountsProfilesShow)},
      {"MayUseTheBanCommand",
       {R::MayBanNick, R::MayBanIP, R::MayBanDNS, R::MayBanClients, R::MayBanTempban}},
      {"MayUseTheBroadCastCommand", {R::MayUsePM, R::MayUsePMProfile, R::MayUseMC}},
      {"MayUseTheTopicCommand", {R::MaySetTopic}},
      {"MayAdminRedirects", Span(R::MayRedirectChangeOnHubFull, R::MayRedirectChangeOnBaned)},
      {"MayUseTheRedirectAllCommand", {R::MayRedirectAll}},
      {"MayUseTheHubCommands",
       {R::MayLockHub, R::MayChangeUserLimit, R::MaySetMinShare, R::MaySetMaxShare,
        R::MaySetMaxHubs, R::MaySetMinSlots, R::MaySetMaxSlots, R::MaySetSlotRatio}},
      {"MayNotBeKickedBanned", {R::MayNeverBeDropped, R::MayNeverBeKicked, R::MayNeverBeRedirected}},
      {"MayUseTheKennylizeCommand", {R::MayUseKennylizeUser}},
      {"MayUseTheLunarizeCommand", {R::MayUseLunarizeUser}},
      {"MayUseTheSayCommand", {R::MayUseSay}},
      {"MayUseTheShowPasswordCommand", {R::MayAccountsSetPass, R::MayAccountsShowPass}},
  };
  return rows;
}

void ReadRights(const TMurnEntry& entry, TProfile& profile) {
  for (const TMurnRow& row : MurnRows()) {
    for (const TProfileRight right : row.Rights) {
      if (ProfileRightInfo(right).Kind == TRightKind::Level) {
        std::uint8_t level = 0;
        if (entry.Level(row.Element, level)) profile.SetRight(right, level);
      } else {
        bool on = false;
        if (entry.Boolean(row.Element, on)) profile.SetRight(right, on ? 1 : 0);
      }
    }
  }
}

// What Murn's profile level granted by itself.
void ApplyLevel(TProfile& profile) {
  const int level = profile.ProfileLevel;
  const auto set = [&profile](TProfileRight right, bool on) { profile.SetRight(right, on ? 1 : 0); };
  set(R::IsOperator, level > 1);
  if (level > 1) profile.SetRight(R::MayKickUser, paLower);
  set(R::MayReceiveActionFeed, level > 2);
  set(R::MayReceiveErrorFeed, level > 2);
  set(R::MayReceiveKickFeed, level > 1);
  set(R::MayReceiveTextCommandFeed, level > 1);
  set(R::MayByPassNickBans, level > 0);
  set(R::MayByPassIPBans, level > 0);
  set(R::MayByPassDNSBans, level > 2);
  set(R::MayByPassClientBans, level > 2);
  if (profile.MayUseHubCommands()) {
    set(R::MayShowHubInfo, true);
    set(R::MayUseInform, true);
    set(R::MayUseOPM, true);
    profile.SetRight(R::MayUseWarn, paLower);
  }
}

void ReadLimits(const TMurnEntry& entry, TConnRestriction& limits) {
  entry.Int64("Share", limits.MinShare);
  entry.Enabled("Share", limits.MinShareEnabled);
  entry.IntegerEnabled("MaxHubs", limits.MaxHubs, limits.MaxHubsEnabled);
  entry.IntegerEnabled("MinSlots", limits.MinSlots, limits.MinSlotsEnabled);
  entry.IntegerEnabled("MaxSlots", limits.MaxSlots, limits.MaxSlotsEnabled);
  entry.IntegerEnabled("SlotRatio", limits.SlotRatio, limits.SlotRatioEnabled);
}

}  // namespace

void TSettingsConverter::ReadProfiles(const TXMLDocument& document, bool coded, bool clearOld,
                                      TConvertCounts& counts) {
  if (clearOld) {
    // Retired: the accounts and connections still holding them keep them
    // until the relink.
    std::vector<std::string> names;
    for (int i = 0; i < profiles_.GetCount(); ++i) names.push_back(profiles_.GetItem(i)->Name);
    for (const std::string& name : names) profiles_.Delete(name);
  }
  const TXMLNode& root = document.Root();
  for (int i = 0; i < root.GetChildCount(); ++i) {
    const TMurnEntry entry(*root.GetChild(i), coded);
    std::string name;
    entry.Text("Key", name);
    if (name.empty()) {
      ++counts.Skipped;
      continue;
    }
    profiles_.Delete(name);
    // Refused for a built-in profile's name.
    const std::shared_ptr<TProfile> profile = profiles_.Add(name);
    if (profile == nullptr) {
      ++counts.Skipped;
      continue;
    }
    entry.Text("Description", profile->Description);
    int level = 0;
    if (entry.Integer("AccountLevel", level) && level >= 0 && level <= 255)
      profile->ProfileLevel = level;
    ReadRights(entry, *profile);
    ApplyLevel(*profile);
    ReadLimits(entry, profile->Restriction);
    ++counts.Imported;
  }
}
