// Loading and saving settings/protected.xml.
#include <string>

#include "platform/file_io.h"
#include "security/user_registered.h"
#include "settings/list_file.h"
#include "utils/constants.h"
#include "utils/program_folder.h"
#include "utils/xml_document.h"
#include "utils/xml_values.h"

namespace {

constexpr std::string_view kFileName = "protected.xml";
constexpr std::string_view kRootName = "Protecteds";
constexpr std::string_view kItemName = "Protected";
constexpr std::string_view kVersion = "version";

}  // namespace

std::string TUserRegistered::FilePath() { return ProgramPath(kSettingsFolder, kFileName); }

bool TUserRegistered::Load() {
  TXMLDocument document;
  if (ReadListFile(FilePath(), kRootName, "protected nicks", document, loading_, saveBlocked_,
                   [this](const std::string& line) { ReportError(line); }) != TListFileRead::Read) {
    return false;
  }

  const TXMLNode& root = document.Root();
  version_ = root.GetAttribute(kVersion);
  Clear();
  for (int i = 0; i < root.GetChildCount(); ++i) {
    const TXMLNode& element = *root.GetChild(i);
    std::string name;
    std::string pass;
    ReadXMLString(element, "Name", name);
    ReadXMLString(element, "Pass", pass);
    if (pass.empty()) {
      if (!name.empty()) {
        ReportError("protected.xml: the nick '" + name + "' was dropped, it has no password");
      }
      continue;
    }
    TUserRegItem* item = Add(name);
    if (item == nullptr) continue;  // no name, or the name was read already
    item->Pass = std::move(pass);
    ReadXMLDateTime(element, "Created", item->Created);
    ReadXMLDateTime(element, "LastUsed", item->LastUsed);
    ReadXMLInt64(element, "Uptime", item->Uptime);
  }
  loading_ = false;
  return true;
}

bool TUserRegistered::Save() {
  if (loading_ || saveBlocked_) return false;
  TXMLDocument document;
  TXMLNode& root = document.Root();
  root.Name = std::string(kRootName);
  root.AddAttribute(std::string(kVersion), std::string(kProgramVersion));
  for (int i = 0; i < GetCount(); ++i) {
    const TUserRegItem& item = GetItem(i);
    TXMLNode& node = *root.AddChild(std::string(kItemName));
    WriteXMLString(node, "Name", item.Name);
    WriteXMLString(node, "Pass", item.Pass);
    // The program's fixed date format, never the locale's.
    WriteXMLDateTime(node, "Created", item.Created);
    WriteXMLDateTime(node, "LastUsed", item.LastUsed);
    WriteXMLInt64(node, "Uptime", item.Uptime);
  }
  return WriteFileAtomicPrivate(FilePath(), document.SaveToString());
}
