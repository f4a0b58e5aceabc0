// Loading and saving settings/accounts.xml.
#include <memory>
#include <string>

#include "platform/file_io.h"
#include "security/account.h"
#include "security/account_users.h"
#include "security/accounts.h"
#include "security/accounts_view.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "settings/list_file.h"
#include "utils/constants.h"
#include "utils/program_folder.h"
#include "utils/protocol_text.h"
#include "utils/xml_document.h"
#include "utils/xml_values.h"

namespace {

constexpr std::string_view kFileName = "accounts.xml";
constexpr std::string_view kRootName = "Accounts";
constexpr std::string_view kAccountName = "Account";
constexpr std::string_view kStatsName = "AccountStats";
constexpr std::string_view kVersion = "version";

// Booleans are stored as element text, as the profile rights are.
void WriteFlag(TXMLNode& node, std::string_view name, bool value) {
  WriteXMLString(node, name, FormatXMLBoolean(value));
}

// Everything but the nick and the profile, which decide whether and how
// the account is listed.
void ReadFields(const TXMLNode& node, TAccount& account) {
  ReadXMLString(node, "Pass", account.Pass);
  ReadXMLString(node, "IPPattern", account.IPPattern);
  ReadXMLString(node, "Owner", account.Owner);
  ReadXMLDateTime(node, "Created", account.Created);
  ReadXMLString(node, "CreatedBy", account.CreatedBy);
  ReadXMLString(node, "OnJoin", account.OnJoin);
  ReadXMLDateTimeEnabled(node, "ExpireDate", account.ExpireDate, account.ExpireDateEnabled);
  ReadXMLDateTime(node, "LastChanged", account.LastChanged);
  ReadXMLString(node, "LastChangedBy", account.LastChangedBy);
  ReadXMLDateTime(node, "LastUsed", account.LastUsed);
  ReadXMLDateTime(node, "LastSpoke", account.LastSpoke);
  ReadXMLBoolean(node, "ShareHidden", account.ShareHidden);
  ReadXMLBoolean(node, "UserHidden", account.UserHidden);
  ReadXMLString(node, "Comment", account.Comment);
  if (const TXMLNode* stats = node.FindChild(kStatsName)) {
    TAccountStats& s = account.Stats;
    ReadXMLDateTime(*stats, "FirstUse", s.FirstUse);
    ReadXMLInt64(*stats, "Uptime", s.Uptime);
    ReadXMLInteger(*stats, "Kicks", s.Kicks);
    ReadXMLInteger(*stats, "Bans", s.Bans);
    ReadXMLInteger(*stats, "TimeBans", s.TimeBans);
    ReadXMLInteger(*stats, "Redirects", s.Redirects);
  }
}

void WriteAccount(TXMLNode& node, const TAccount& account, const std::string& profileName) {
  WriteXMLString(node, "Nick", account.Nick);
  WriteXMLString(node, "Pass", account.Pass);
  WriteXMLString(node, "Profile", profileName);
  WriteXMLString(node, "IPPattern", account.IPPattern);
  WriteXMLString(node, "Owner", account.Owner);
  WriteXMLDateTime(node, "Created", account.Created);
  WriteXMLString(node, "CreatedBy", account.CreatedBy);
  WriteXMLString(node, "OnJoin", account.OnJoin);
  WriteXMLDateTimeEnabled(node, "ExpireDate", account.ExpireDate, account.ExpireDateEnabled);
  WriteXMLDateTime(node, "LastChanged", account.LastChanged);
  WriteXMLString(node, "LastChangedBy", account.LastChangedBy);
  WriteXMLDateTime(node, "LastUsed", account.LastUsed);
  WriteXMLDateTime(node, "LastSpoke", account.LastSpoke);
  WriteFlag(node, "ShareHidden", account.ShareHidden);
  WriteFlag(node, "UserHidden", account.UserHidden);
  WriteXMLString(node, "Comment", account.Comment);
  TXMLNode& stats = *node.AddChild(std::string(kStatsName));
  const TAccountStats& s = account.Stats;
  WriteXMLDateTime(stats, "FirstUse", s.FirstUse);
  WriteXMLInt64(stats, "Uptime", s.Uptime);
  WriteXMLInteger(stats, "Kicks", s.Kicks);
  WriteXMLInteger(stats, "Bans", s.Bans);
  WriteXMLInteger(stats, "TimeBans", s.TimeBans);
  WriteXMLInteger(stats, "Redirects", s.Redirects);
}

}  // namespace

std::string TAccounts::FilePath() { return ProgramPath(kSettingsFolder, kFileName); }

bool TAccounts::Load() {
  TXMLDocument document;
  if (ReadListFile(FilePath(), kRootName, "accounts", document, loading_, saveBlocked_,
                   [this](const std::string& line) { ReportError(line); }) != TListFileRead::Read) {
    return false;
  }

  const TXMLNode& root = document.Root();
  version_ = root.GetAttribute(kVersion);
  Clear();
  const TDateTime now = Now();
  for (int i = 0; i < root.GetChildCount(); ++i) {
    const TXMLNode& element = *root.GetChild(i);
    std::string nick;
    std::string profileName;
    bool expireEnabled = false;
    TDateTime expire;
    ReadXMLString(element, "Nick", nick);
    ReadXMLString(element, "Profile", profileName);
    ReadXMLDateTimeEnabled(element, "ExpireDate", expire, expireEnabled);
    if (expireEnabled && expire < now) continue;

    std::shared_ptr<TProfile> profile = profiles_.Find(profileName);
    // Logged-in users are bound once, by the refresh below.
    std::shared_ptr<TAccount> account =
        Create(ProtocolSafeText(nick), profile, profile == nullptr ? profileName : "");
    if (account == nullptr) continue;
    if (profile == nullptr) ReportMissingProfile(*account, profileName);
    ReadFields(element, *account);
  }
  if (users_ != nullptr) users_->RefreshAccounts();
  loading_ = false;
  if (view_ != nullptr) view_->RefreshList();
  return true;
}

bool TAccounts::Save() {
  if (loading_ || saveBlocked_) return false;
  const TDateTime now = Now();
  for (int i = GetCount() - 1; i >= 0; --i) {
    const TAccount& account = *sorted_[static_cast<std::size_t>(i)]->Account;
    if (Expired(account, now)) Delete(account.Nick);
  }

  TXMLDocument document;
  TXMLNode& root = document.Root();
  root.Name = std::string(kRootName);
  root.AddAttribute(std::string(kVersion), std::string(kProgramVersion));
  for (const auto& slot : sorted_) {
    const TAccount& account = *slot->Account;
    if (account.Deleted || account.BuiltIn) continue;
    const std::string& profileName =
        account.Profile != nullptr ? account.Profile->Name : slot->MissingProfile;
    WriteAccount(*root.AddChild(std::string(kAccountName)), account, profileName);
  }
  return WriteFileAtomicPrivate(FilePath(), document.SaveToString());
}
