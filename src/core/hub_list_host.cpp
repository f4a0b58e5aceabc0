#include "core/hub_list_host.h"

#include <algorithm>
#include <optional>

#include "base/case_tables.h"
#include "core/hub_socket.h"
#include "platform/file_io.h"
#include "settings/list_file.h"
#include "utils/constants.h"
#include "utils/ip_match.h"
#include "utils/program_folder.h"
#include "utils/xml_document.h"
#include "utils/xml_values.h"

namespace {

constexpr std::string_view kFileName = "register.xml";
constexpr std::string_view kRootName = "Register";
constexpr std::string_view kHostName = "Host";
constexpr std::string_view kVersion = "version";

// The ';'-separated, non-empty parts of `text`.
std::vector<std::string> SplitPatterns(std::string_view text) {
  std::vector<std::string> parts;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find(';'), text.size());
    if (end > 0) parts.emplace_back(text.substr(0, end));
    text.remove_prefix(std::min(text.size(), end + 1));
  }
  return parts;
}

void ReadHost(const TXMLNode& element, THost& host) {
  ReadXMLEnableAttribute(element, host.Enabled);
  ReadXMLString(element, "Description", host.Description);
  ReadXMLString(element, "Host", host.Host);
  ReadXMLInteger(element, "Port", host.Port);
  ReadXMLDateTime(element, "LastRun", host.LastRun);
  ReadXMLBoolean(element, "MayConnectToOtherUsers", host.MayConnectToOtherUsers);
  ReadXMLStringEnabled(element, "BotNickPattern", host.BotNickPattern,
                       host.BotNickPatternEnabled);
  ReadXMLStringEnabled(element, "BotIPPattern", host.BotIPPattern, host.BotIPPatternEnabled);
  ReadXMLBoolean(element, "UpdateBotIPWithDNS", host.UpdateBotIPWithDNS);
  ReadXMLBoolean(element, "SupportsNmdcs", host.SupportsNmdcs);
}

void WriteHost(TXMLNode& element, const THost& host) {
  WriteXMLEnableAttribute(element, host.Enabled);
  WriteXMLString(element, "Name", host.Name);
  WriteXMLString(element, "Description", host.Description);
  WriteXMLString(element, "Host", host.Host);
  WriteXMLInteger(element, "Port", host.Port);
  WriteXMLDateTime(element, "LastRun", host.LastRun);
  WriteXMLBoolean(element, "MayConnectToOtherUsers", host.MayConnectToOtherUsers);
  WriteXMLStringEnabled(element, "BotNickPattern", host.BotNickPattern,
                        host.BotNickPatternEnabled);
  WriteXMLStringEnabled(element, "BotIPPattern", host.BotIPPattern, host.BotIPPatternEnabled);
  WriteXMLBoolean(element, "UpdateBotIPWithDNS", host.UpdateBotIPWithDNS);
  WriteXMLBoolean(element, "SupportsNmdcs", host.SupportsNmdcs);
}

}  // namespace

THostList::THostList(std::string defaultStatus, TReport error)
    : defaultStatus_(std::move(defaultStatus)), error_(std::move(error)) {}

// The patterns point into the entries: empty the lists before they go.
THostList::~THostList() { ClearPatterns(); }

int THostList::IndexOf(std::string_view name) const {
  for (std::size_t i = 0; i < hosts_.size(); ++i)
    if (SameText(hosts_[i]->Name, name)) return static_cast<int>(i);
  return -1;
}

THost* THostList::Add(std::string_view name) {
  if (THost* host = Find(name)) return host;
  auto host = std::make_unique<THost>();
  host->Name = std::string(name);
  host->Status = defaultStatus_;
  hosts_.push_back(std::move(host));
  return hosts_.back().get();
}

THost* THostList::Find(std::string_view name) const {
  const int index = IndexOf(name);
  return index < 0 ? nullptr : hosts_[static_cast<std::size_t>(index)].get();
}

bool THostList::Delete(std::string_view name) {
  const int index = IndexOf(name);
  if (index < 0) return false;
  View().RemoveHost(*hosts_[static_cast<std::size_t>(index)]);
  hosts_.erase(hosts_.begin() + index);
  return true;
}

bool THostList::Rename(THost& host, std::string_view newName) {
  if (newName.empty() || host.Name == newName) return false;
  const THost* other = Find(newName);
  if (other != nullptr && other != &host) return false;
  host.Name = std::string(newName);
  return true;
}

void THostList::ClearPatterns() {
  nickPatterns_.Clear();
  ipMasks_.Clear();
  entries_.clear();
}

void THostList::AddPattern(TPatternList<THostPE>& list, const std::string& pattern,
                           bool sufficesAlone, bool mayConnect) {
  THostPE* entry = list.Find(pattern);
  if (entry == nullptr) {
    auto fresh = std::make_unique<THostPE>();
    fresh->Pattern = pattern;
    fresh->MayConnect = mayConnect;
    if (!list.Add(pattern, fresh.get())) return;  // "*" and the like match no pinger
    entry = fresh.get();
    entries_.push_back(std::move(fresh));
  }
  entry->SufficesAlone = entry->SufficesAlone || sufficesAlone;
}

void THostList::AddMask(const std::string& mask, bool sufficesAlone, bool mayConnect) {
  THostPE* entry = ipMasks_.Find(mask);
  // Find answers for an address a broader mask covers too: only an entry of
  // this very mask is the same one.
  if (entry != nullptr && entry->Pattern != mask) entry = nullptr;
  if (entry == nullptr) {
    auto fresh = std::make_unique<THostPE>();
    fresh->Pattern = mask;
    fresh->MayConnect = mayConnect;
    if (!ipMasks_.Add(mask, fresh.get())) return;
    entry = fresh.get();
    entries_.push_back(std::move(fresh));
  }
  entry->SufficesAlone = entry->SufficesAlone || sufficesAlone;
}

void THostList::RebuildPatterns() {
  ClearPatterns();
  for (auto it = hosts_.rbegin(); it != hosts_.rend(); ++it) {
    const THost& host = **it;
    if (host.BotNickPatternEnabled) {
      for (const std::string& pattern : SplitPatterns(host.BotNickPattern))
        AddPattern(nickPatterns_, pattern, !host.BotIPPatternEnabled,
                   host.MayConnectToOtherUsers);
    }
    if (host.BotIPPatternEnabled) {
      for (const std::string& text : SplitPatterns(host.BotIPPattern)) {
        const std::optional<std::string> mask = NormalizeIPMask(text);
        if (mask) AddMask(*mask, !host.BotNickPatternEnabled, host.MayConnectToOtherUsers);
      }
    }
  }
}

int THostList::PingerClass(std::string_view nick, std::string_view ip) const {
  const THostPE* byNick = nickPatterns_.Match(nick);
  const THostPE* byIP = ip.empty() ? nullptr : ipMasks_.FindCovering(ip);
  if (byNick != nullptr) {
    const THostPE* deciding = byNick;
    if (!byNick->SufficesAlone) {
      if (byIP == nullptr) return 3;
      deciding = byIP;
    }
    return deciding->MayConnect ? 2 : 1;
  }
  if (byIP == nullptr || !byIP->SufficesAlone) return 0;
  return byIP->MayConnect ? 2 : 1;
}

int THostList::PingerClass(const THubSocket& user) const { return PingerClass(user.Nick, user.IP); }

std::string THostList::FilePath() { return ProgramPath(kSettingsFolder, kFileName); }

bool THostList::Load() {
  TXMLDocument document;
  if (ReadListFile(FilePath(), kRootName, "Hub-list hosts", document, loading_, saveBlocked_,
                   error_) != TListFileRead::Read) {
    return false;
  }
  const TXMLNode& root = document.Root();
  version_ = root.GetAttribute(kVersion);
  // Freeing a host closes its registration socket; an answer still on
  // its way finds no host of its pass.
  hosts_.clear();
  for (int i = 0; i < root.GetChildCount(); ++i) {
    const TXMLNode& element = *root.GetChild(i);
    if (element.Name != kHostName) continue;
    std::string name;
    ReadXMLString(element, "Name", name);
    if (name.empty() || Find(name) != nullptr) continue;
    ReadHost(element, *Add(name));
  }
  RebuildPatterns();
  ReportNickOnlyHosts();
  View().Rebuild();
  loading_ = false;
  return true;
}

// A pinger known by nick alone gets past the bans and the user limit: any
// user who takes such a nick does too.
void THostList::ReportNickOnlyHosts() {
  if (!error_) return;
  for (const auto& host : hosts_) {
    if (host->BotNickPatternEnabled && !host->BotIPPatternEnabled)
      error_("register.xml: the pinger of the host '" + host->Name +
             "' is known by its nick alone; any user with such a nick passes the bans and "
             "the user limit");
  }
}

bool THostList::Save() {
  if (loading_ || saveBlocked_) return false;
  std::vector<const THost*> sorted;
  for (const auto& host : hosts_) sorted.push_back(host.get());
  std::sort(sorted.begin(), sorted.end(),
            [](const THost* a, const THost* b) { return a->Name < b->Name; });
  TXMLDocument document;
  TXMLNode& root = document.Root();
  root.Name = std::string(kRootName);
  root.AddAttribute(std::string(kVersion), std::string(kProgramVersion));
  for (const THost* host : sorted) WriteHost(*root.AddChild(std::string(kHostName)), *host);
  return WriteFileAtomic(FilePath(), document.SaveToString());
}
