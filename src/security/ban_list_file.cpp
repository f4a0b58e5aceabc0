// Loading and saving settings/bans.xml.

#include <array>
#include <memory>
#include <string>

#include "platform/file_io.h"
#include "security/ban_list.h"
#include "settings/list_file.h"
#include "utils/constants.h"
#include "utils/program_folder.h"
#include "utils/xml_document.h"
#include "utils/xml_values.h"

namespace {

constexpr std::string_view kFileName = "bans.xml";
constexpr std::string_view kRootName = "Bans";
constexpr std::string_view kBanName = "Ban";
constexpr std::string_view kVersion = "version";
constexpr std::string_view kPermanent = "[Permanent]";
constexpr std::string_view kNever = "[Never]";

struct TGroup {
  TBanKind Kind;
  std::string_view Name;  // of the group and of the pattern's element
};

// In the file's order.
constexpr std::array<TGroup, 4> kGroups{{
    {TBanKind::Nick, "Nick"},
    {TBanKind::IP, "IP"},
    {TBanKind::DNS, "DNS"},
    {TBanKind::Client, "Client"},
}};

std::string ChildText(const TXMLNode& node, std::string_view name) {
  const TXMLNode* child = node.FindChild(name);
  return child == nullptr ? std::string() : child->Text;
}

void WriteBan(TXMLNode& node, const TBan& ban, std::string_view patternName) {
  WriteXMLString(node, "Overrideable", FormatXMLBoolean(ban.Overrideable));
  WriteXMLString(node, patternName, ban.Pattern);
  WriteXMLString(node, "BannedBy", ban.BannedBy);
  WriteXMLString(node, "Reason", ban.Reason);
  WriteXMLDateTime(node, "Issued", ban.Issued);
  // The fixed date format, never the machine's locale: the file moves
  // between machines.
  WriteXMLString(node, "Expires",
                 ban.Expires == TDateTime{} ? std::string(kPermanent) : FormatDateTime(ban.Expires));
  WriteXMLString(node, "LastUsed",
                 ban.LastUsed == TDateTime{} ? std::string(kNever) : FormatDateTime(ban.LastUsed));
}

}  // namespace

std::string TBanList::FilePath() { return ProgramPath(kSettingsFolder, kFileName); }

bool TBanList::Load() {
  TXMLDocument document;
  if (ReadListFile(FilePath(), kRootName, "bans", document, loading_, saveBlocked_,
                   [this](const std::string& line) { ReportError(line); }) != TListFileRead::Read) {
    return false;
  }

  const TXMLNode& root = document.Root();
  version_ = root.GetAttribute(kVersion);
  Clear();
  const TDateTime now = Now();
  for (const TGroup& group : kGroups) {
    const TXMLNode* groupNode = root.FindChild(group.Name);
    if (groupNode == nullptr) continue;
    for (int i = 0; i < groupNode->GetChildCount(); ++i) {
      const TXMLNode& element = *groupNode->GetChild(i);
      if (element.Name != kBanName) continue;
      const std::string pattern = ChildText(element, group.Name);
      if (pattern.empty() || Find(group.Kind, pattern) != nullptr) continue;

      TDateTime expires;
      const std::string expiresText = ChildText(element, "Expires");
      if (expiresText != kPermanent) {
        if (!ParseDateTime(expiresText, expires)) {
          ReportError("bans.xml: the " + std::string(group.Name) + " ban '" + pattern +
                      "' was dropped, its expiry '" + expiresText + "' is no date");
          continue;
        }
        if (expires <= now) continue;
      }
      std::string reason;
      std::string bannedBy;
      ReadXMLString(element, "Reason", reason);
      ReadXMLString(element, "BannedBy", bannedBy);
      TBan* ban = Store(group.Kind, pattern, reason, 0, expires, bannedBy);
      if (ban == nullptr) continue;  // a pattern the list refuses ("*")
      ReadXMLBoolean(element, "Overrideable", ban->Overrideable);
      ReadXMLDateTime(element, "Issued", ban->Issued);
      const std::string lastUsed = ChildText(element, "LastUsed");
      if (lastUsed != kNever) ParseDateTime(lastUsed, ban->LastUsed);
    }
  }
  loading_ = false;
  return true;
}

bool TBanList::Save() {
  if (loading_ || saveBlocked_) return false;
  const TDateTime now = Now();
  TXMLDocument document;
  TXMLNode& root = document.Root();
  root.Name = std::string(kRootName);
  root.AddAttribute(std::string(kVersion), std::string(kProgramVersion));
  for (const TGroup& group : kGroups) {
    TXMLNode& groupNode = *root.AddChild(std::string(group.Name));
    for (int i = 0; i < GetCount(group.Kind); ++i) {
      const TBan& ban = GetItem(group.Kind, i);
      if (BanExpired(ban, now)) continue;
      WriteBan(*groupNode.AddChild(std::string(kBanName)), ban, group.Name);
    }
  }
  // Owner-only, as accounts.xml: who banned whom and why is the
  // operators' business.
  return WriteFileAtomicPrivate(FilePath(), document.SaveToString());
}
