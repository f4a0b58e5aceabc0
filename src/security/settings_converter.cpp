#include "security/settings_converter.h"

#include <array>
#include <exception>
#include <limits>
#include <memory>
#include <optional>

#include "base/case_tables.h"
#include "base/exceptions.h"
#include "platform/directory_list.h"
#include "platform/local_clock.h"
#include "security/account.h"
#include "security/account_users.h"
#include "security/accounts.h"
#include "security/ban_list.h"
#include "security/isp_list.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "security/settings_converter_entry.h"
#include "utils/constants.h"
#include "utils/ip_match.h"
#include "utils/protocol_text.h"
#include "utils/xml_document.h"

namespace {

struct TKindInfo {
  std::string_view FileName;
  std::string_view Root;
  std::string_view Caption;
  std::string_view MemoName;  // as the memo and the error text name it
  std::string_view Method;
};

constexpr std::array<TKindInfo, 4> kKinds{{
    {"profiles.xml", "Profiles", "Profiles", "profiles", "TSettingsConverter.ImportProfiles"},
    {"accounts.xml", "Accounts", "Accounts", "accounts", "TSettingsConverter.ImportAccounts"},
    {"bans.xml", "Permbans", "Banlist", "banlist", "TSettingsConverter.ImportBans"},
    {"isps.xml", "ISPs", "ISP/IP list", "ISP/IP list", "TSettingsConverter.ImportISPs"},
}};

const TKindInfo& Info(TConvertKind kind) { return kKinds[static_cast<std::size_t>(kind)]; }

constexpr std::int64_t kBytesPerGiB = 1073741824;

// Murn's limits are GiB; ours are bytes and stop at the largest 64-bit value.
std::int64_t GiBToBytes(std::int64_t gib) {
  if (gib <= 0) return 0;
  if (gib > std::numeric_limits<std::int64_t>::max() / kBytesPerGiB)
    return std::numeric_limits<std::int64_t>::max();
  return gib * kBytesPerGiB;
}

}  // namespace

std::string_view ConvertCaption(TConvertKind kind) { return Info(kind).Caption; }

std::string ConvertResultLine(TConvertKind kind, bool success) {
  return std::string(success ? "Successfully converted " : "Failed to converted ") +
         std::string(Info(kind).MemoName);
}

std::vector<TConvertItem> ScanFolder(const std::string& folder) {
  std::vector<TConvertItem> items;
  if (folder.empty()) return items;
  const std::optional<std::vector<std::string>> names = ListFilesByExtension(folder, ".xml");
  if (!names) return items;
  const std::string base = folder.back() == '/' ? folder : folder + "/";
  for (std::size_t k = 0; k < kKinds.size(); ++k) {
    const std::string_view wanted = kKinds[k].FileName;
    const std::string* found = nullptr;
    for (const std::string& name : *names) {
      if (name == wanted) {
        found = &name;
        break;
      }
      if (found == nullptr && SameText(name, wanted)) found = &name;
    }
    if (found != nullptr) items.push_back({base + *found, static_cast<TConvertKind>(k)});
  }
  return items;
}

std::string DecodeCharCodes(std::string_view text) {
  std::string result;
  std::uint8_t code = 0;
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '#') {
      if (code != 0) result += static_cast<char>(code);
      code = 0;
    } else if (c >= '0' && c <= '9') {
      code = static_cast<std::uint8_t>(code * 10 + (c - '0'));
    }
  }
  if (code != 0) result += static_cast<char>(code);
  return result;
}

TSettingsConverter::TSettingsConverter(TProfiles& profiles, TAccounts& accounts, TBanList& bans,
                                       TISPList& isps)
    : profiles_(profiles), accounts_(accounts), bans_(bans), isps_(isps) {}

TDateTime TSettingsConverter::Now() const { return clock_ ? clock_() : NowLocal(); }

void TSettingsConverter::Message(const std::string& text) const {
  if (messages_) messages_(text);
}

bool TSettingsConverter::Import(const TConvertItem& item, bool clearOld,
                                bool createMissingProfiles, TConvertCounts* counts) {
  switch (item.Kind) {
    case TConvertKind::Profiles:
      return ImportProfiles(item.FileName, clearOld, counts);
    case TConvertKind::Accounts:
      return ImportAccounts(item.FileName, clearOld, createMissingProfiles, counts);
    case TConvertKind::Bans:
      return ImportBans(item.FileName, clearOld, counts);
    case TConvertKind::ISPs:
      return ImportISPs(item.FileName, clearOld, counts);
  }
  return false;
}

bool TSettingsConverter::Run(TConvertKind kind, const std::string& file, TConvertCounts* counts,
                             const TBody& body) {
  TConvertCounts local;
  TConvertCounts& tally = counts != nullptr ? *counts : local;
  tally = {};
  bool ok = false;
  try {
    TXMLDocument document;
    if (!document.LoadFromFile(file))
      throw EKavroException(Info(kind).Method, "Cannot read " + file);
    if (document.Root().Name != Info(kind).Root) {
      Message("Incorrect " + std::string(Info(kind).MemoName) + " file.");
    } else {
      body(document, document.Root().GetAttribute("encoded") == "1", tally);
      ok = true;
    }
  } catch (const std::exception& e) {
    Message(e.what());
  }
  try {
    Relink(kind);
  } catch (const std::exception& e) {
    Message(e.what());
    ok = false;
  }
  return ok;
}

void TSettingsConverter::Relink(TConvertKind kind) {
  accounts_.RelinkProfiles();
  if (roomsRelink_) roomsRelink_();
  if (users_ != nullptr) users_->RefreshAccounts();
  isps_.RefreshUsers();
  if (pageRefresh_) pageRefresh_(kind);
}

bool TSettingsConverter::ImportProfiles(const std::string& file, bool clearOld,
                                        TConvertCounts* counts) {
  return Run(TConvertKind::Profiles, file, counts,
             [&](const TXMLDocument& document, bool coded, TConvertCounts& tally) {
               ReadProfiles(document, coded, clearOld, tally);
             });
}

bool TSettingsConverter::ImportAccounts(const std::string& file, bool clearOld,
                                        bool createMissingProfiles, TConvertCounts* counts) {
  return Run(TConvertKind::Accounts, file, counts,
             [&](const TXMLDocument& document, bool coded, TConvertCounts& tally) {
               ReadAccounts(document, coded, clearOld, createMissingProfiles, tally);
             });
}

bool TSettingsConverter::ImportBans(const std::string& file, bool clearOld,
                                    TConvertCounts* counts) {
  return Run(TConvertKind::Bans, file, counts,
             [&](const TXMLDocument& document, bool coded, TConvertCounts& tally) {
               ReadBans(document, coded, clearOld, tally);
             });
}

bool TSettingsConverter::ImportISPs(const std::string& file, bool clearOld,
                                    TConvertCounts* counts) {
  return Run(TConvertKind::ISPs, file, counts,
             [&](const TXMLDocument& document, bool coded, TConvertCounts& tally) {
               ReadISPs(document, coded, clearOld, tally);
             });
}

void TSettingsConverter::ReadAccounts(const TXMLDocument& document, bool coded, bool clearOld,
                                      bool createMissingProfiles, TConvertCounts& counts) {
  if (clearOld) accounts_.Clear();
  const TXMLNode& root = document.Root();
  const TDateTime now = Now();
  for (int i = 0; i < root.GetChildCount(); ++i) {
    const TMurnEntry entry(*root.GetChild(i), coded);
    std::string nick;
    std::string profileName;
    entry.Text("Nick", nick);
    entry.Text("Profile", profileName);
    nick = ProtocolSafeText(nick);

    // An expiry that does not read is dropped rather than taken as now,
    // which would expire the account at once; a passed one is not taken.
    bool expireEnabled = false;
    TDateTime expire{};
    if (entry.Enabled("ExpireDate", expireEnabled) && !entry.Date("ExpireDate", expire)) {
      expire = now;
      expireEnabled = false;
    }
    if (nick.empty() || (expireEnabled && expire < now)) {
      ++counts.Skipped;
      continue;
    }

    std::shared_ptr<TProfile> profile = profiles_.Find(profileName);
    if (profile == nullptr && createMissingProfiles) profile = profiles_.Add(profileName);
    if (profile == nullptr) {
      ++counts.Skipped;
      continue;
    }
    accounts_.Delete(nick);
    const std::shared_ptr<TAccount> account = accounts_.Add(nick, profile->Name);
    if (account == nullptr) {
      ++counts.Skipped;
      continue;
    }

    std::string owner;
    entry.Text("Owner", owner);
    if (SameText(owner, "Murn GUI")) owner = std::string(kDefaultGuiOwnerName);
    account->Owner = owner;
    account->CreatedBy = owner;
    entry.Text("LastChangeBy", account->LastChangedBy);
    entry.Text("Password", account->Pass);
    entry.Text("IPPattern", account->IPPattern);
    entry.Text("WelcomeMessage", account->OnJoin);
    entry.Date("CreateDate", account->Created);
    account->ExpireDate = expire;
    account->ExpireDateEnabled = expireEnabled;
    entry.Date("LastUsedDate", account->LastUsed);
    account->LastChanged = now;
    entry.Text("Comment", account->Comment);
    ++counts.Imported;
  }
}

void TSettingsConverter::ReadBans(const TXMLDocument& document, bool coded, bool clearOld,
                                  TConvertCounts& counts) {
  if (clearOld) bans_.Clear();
  constexpr std::array<std::pair<std::string_view, TBanKind>, 3> kGroups{{
      {"Nickbans", TBanKind::Nick},
      {"IPBans", TBanKind::IP},
      {"Clientbans", TBanKind::Client},
  }};
  constexpr int kBannedLevel = 1;
  const TDateTime now = Now();
  const TDateTime today{now.Seconds - TimeOfDay(now)};
  for (const auto& [groupName, kind] : kGroups) {
    const TXMLNode* group = document.Root().FindChild(groupName);
    if (group == nullptr) continue;
    for (int i = 0; i < group->GetChildCount(); ++i) {
      const TMurnEntry entry(*group->GetChild(i), coded);
      std::string pattern;
      std::string bannedBy;
      std::string reason;
      entry.Text("Data", pattern);
      entry.Text("BannedBy", bannedBy);
      entry.Text("Reason", reason);
      if (pattern.empty()) {
        ++counts.Skipped;
        continue;
      }
      bans_.Delete(kind, pattern);
      TBan* ban = nullptr;
      switch (kind) {
        case TBanKind::Nick:
          ban = bans_.AddNickBan(pattern, reason, kBannedLevel, TDateTime{}, bannedBy);
          break;
        case TBanKind::IP:
          ban = bans_.AddIPBan(pattern, reason, kBannedLevel, TDateTime{}, bannedBy);
          break;
        default:
          ban = bans_.AddClientBan(pattern, reason, TDateTime{}, bannedBy);
          break;
      }
      if (ban == nullptr) {
        ++counts.Skipped;
        continue;
      }
      ban->Level = kBannedLevel;
      TDateTime day = today;
      if (entry.Date("IssuedDate", day)) day.Seconds -= TimeOfDay(day);
      std::int64_t time = 0;
      entry.TimeOfDay("IssuedTime", time);
      ban->Issued = TDateTime{day.Seconds + time};
      ++counts.Imported;
    }
  }
}

void TSettingsConverter::ReadISPs(const TXMLDocument& document, bool coded, bool clearOld,
                                  TConvertCounts& counts) {
  if (clearOld) isps_.Clear();
  const TXMLNode& root = document.Root();
  for (int i = 0; i < root.GetChildCount(); ++i) {
    const TMurnEntry entry(*root.GetChild(i), coded);
    std::string name;
    entry.Text("Name", name);
    if (name.empty()) {
      ++counts.Skipped;
      continue;
    }
    isps_.Delete(name);
    TISP* isp = isps_.Add(name);
    if (isp == nullptr) {
      ++counts.Skipped;
      continue;
    }
    entry.Text("Prefix", isp->Prefix);
    TConnRestriction& limits = isp->Restriction;
    entry.Boolean("AllowPassive", limits.MayBeInPassiveMode);
    std::int64_t gib = 0;
    if (entry.Int64("ShareLimit", gib)) limits.MinShare = GiBToBytes(gib);
    entry.Enabled("ShareLimit", limits.MinShareEnabled);
    entry.IntegerEnabled("MaxHubs", limits.MaxHubs, limits.MaxHubsEnabled);
    entry.IntegerEnabled("MinSlots", limits.MinSlots, limits.MinSlotsEnabled);
    entry.IntegerEnabled("MaxSlots", limits.MaxSlots, limits.MaxSlotsEnabled);
    entry.IntegerEnabled("SlotRatio", limits.SlotRatio, limits.SlotRatioEnabled);
    if (const TXMLNode* ranges = entry.Node().FindChild("Range")) {
      for (int r = 0; r < ranges->GetChildCount(); ++r) {
        const std::optional<std::string> mask = NormalizeIPMask(ranges->GetChild(r)->Text);
        if (!mask) continue;
        // A range belongs to one ISP: the new one takes it over.
        if (!isps_.AddIP(*isp, *mask) && isps_.DeleteIP(*mask)) isps_.AddIP(*isp, *mask);
      }
    }
    ++counts.Imported;
  }
}
