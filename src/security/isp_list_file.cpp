// Loading and saving settings/isps.xml.

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/file_io.h"
#include "security/isp_list.h"
#include "settings/list_file.h"
#include "utils/constants.h"
#include "utils/ip_match.h"
#include "utils/program_folder.h"
#include "utils/string_list.h"
#include "utils/xml_document.h"
#include "utils/xml_values.h"

namespace {

constexpr std::string_view kFileName = "isps.xml";
constexpr std::string_view kRootName = "ISPs";
constexpr std::string_view kISPName = "ISP";
constexpr std::string_view kRangeName = "Range";
constexpr std::string_view kIPName = "IP";
constexpr std::string_view kVersion = "version";

}  // namespace

std::string TISPList::FilePath() { return ProgramPath(kSettingsFolder, kFileName); }

bool TISPList::Load() {
  TXMLDocument document;
  if (ReadListFile(FilePath(), kRootName, "ISPs", document, loading_, saveBlocked_,
                   [this](const std::string& line) { ReportError(line); }) != TListFileRead::Read) {
    return false;
  }

  const TXMLNode& root = document.Root();
  version_ = root.GetAttribute(kVersion);
  // One rebuild of the view at the end, not one call per ISP.
  struct TBulk {
    bool& on;
    ~TBulk() { on = false; }
  } bulk{bulk_ = true};
  ClearItems();
  for (int i = 0; i < root.GetChildCount(); ++i) {
    const TXMLNode& element = *root.GetChild(i);
    if (element.Name != kISPName) continue;
    TISP read;
    std::string name;
    ReadXMLString(element, "Name", name);
    ReadXMLString(element, "Description", read.Description);
    ReadXMLString(element, "Prefix", read.Prefix);
    read.Restriction.LoadFromXML(element);
    TISP* isp = Add(name, std::move(read));
    if (isp == nullptr) continue;  // no name, or one read before
    const TXMLNode* range = element.FindChild(kRangeName);
    if (range == nullptr) continue;
    for (int j = 0; j < range->GetChildCount(); ++j) {
      const TXMLNode& ip = *range->GetChild(j);
      if (ip.Name != kIPName) continue;
      const std::optional<std::string> mask = NormalizeIPMask(ip.Text);
      if (!mask) {
        ReportError("isps.xml: the range '" + ip.Text + "' of the ISP '" + isp->Name +
                    "' was dropped, it is no IP range");
        continue;
      }
      ranges_.Add(*mask, isp);  // a range held already stays with its first ISP
    }
  }
  Changed();
  loading_ = false;
  if (view_ != nullptr) view_->RefreshTree();
  RefreshUsers();
  return true;
}

bool TISPList::Save() {
  if (loading_ || saveBlocked_) return false;
  TXMLDocument document;
  TXMLNode& root = document.Root();
  root.Name = std::string(kRootName);
  root.AddAttribute(std::string(kVersion), std::string(kProgramVersion));
  // One walk of the trie, its ranges sorted out by ISP.
  TStringList masks;
  GetMasks(masks, nullptr);
  std::unordered_map<const TISP*, std::vector<int>> rangesOf;
  for (int j = 0; j < masks.Count(); ++j)
    rangesOf[static_cast<const TISP*>(masks.GetObject(j))].push_back(j);
  for (int i = 0; i < GetCount(); ++i) {
    const TISP& isp = GetItem(i);
    TXMLNode& element = *root.AddChild(std::string(kISPName));
    WriteXMLString(element, "Name", isp.Name);
    WriteXMLString(element, "Description", isp.Description);
    WriteXMLString(element, "Prefix", isp.Prefix);
    isp.Restriction.SaveToXML(element);
    TXMLNode& range = *element.AddChild(std::string(kRangeName));
    for (int j : rangesOf[&isp]) WriteXMLString(range, kIPName, masks.Get(j));
  }
  // Owner-only, as the other lists of the security settings.
  return WriteFileAtomicPrivate(FilePath(), document.SaveToString());
}
