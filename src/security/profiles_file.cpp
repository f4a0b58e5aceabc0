// Loading and saving settings/profiles.xml.
#include <memory>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "security/account_users.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "security/profiles_view.h"
#include "security/profiles.h"
#include "settings/list_file.h"
#include "settings/settings.h"
#include "base/case_tables.h"
#include "utils/constants.h"
#include "utils/program_folder.h"
#include "utils/xml_document.h"
#include "utils/xml_values.h"

namespace {

constexpr std::string_view kFileName = "profiles.xml";
constexpr std::string_view kRootName = "Profiles";
constexpr std::string_view kProfileName = "Profile";
constexpr std::string_view kVersion = "version";

}  // namespace

std::string TProfiles::FilePath() { return ProgramPath(kSettingsFolder, kFileName); }

bool TProfiles::Load() {
  TXMLDocument document;
  if (ReadListFile(FilePath(), kRootName, "profiles", document, loading_, saveBlocked_,
                   [this](const std::string& line) { ReportError(line); }) != TListFileRead::Read) {
    return false;
  }

  const TXMLNode& root = document.Root();
  version_ = root.GetAttribute(kVersion);
  TLegacyProfileRules legacy;
  legacy.Apply = VersionBelow(version_, kLegacyProfileVersion);
  legacy.FeedAction = settings_.FeedAction;
  legacy.FeedKick = settings_.FeedKick;
  legacy.FeedEvent = settings_.FeedEvent;
  legacy.FeedGUI = settings_.FeedGUI;
  legacy.FeedError = settings_.FeedError;

  // The old objects live on in `retired` until every account points at
  // its new profile; connections may hold them longer.
  std::vector<std::shared_ptr<TProfile>> retired;
  retired.swap(profiles_);
  profiles_.reserve(16);
  for (int i = 0; i < root.GetChildCount(); ++i) {
    const TXMLNode& element = *root.GetChild(i);
    std::string name;
    ReadXMLString(element, "Name", name);
    if (SameText(name, kRegularName)) {
      regular_->ReadFromXML(element, legacy);
    } else if (SameText(name, kRegisteredName)) {
      registered_->ReadFromXML(element, legacy);
    } else if (!name.empty() && Find(name) == nullptr) {
      AddProfile(TProfile::CreateFromXML(element, legacy));
    }
  }
  if (accounts_ != nullptr) accounts_->RelinkProfiles();
  if (users_ != nullptr) users_->RefreshAccounts();
  loading_ = false;
  if (view_ != nullptr) view_->RefreshList();
  return true;
}

bool TProfiles::Save() const {
  if (loading_ || saveBlocked_) return false;
  TXMLDocument document;
  TXMLNode& root = document.Root();
  root.Name = std::string(kRootName);
  root.AddAttribute(std::string(kVersion), std::string(kProgramVersion));
  regular_->WriteToXML(*root.AddChild(std::string(kProfileName)));
  registered_->WriteToXML(*root.AddChild(std::string(kProfileName)));
  for (const auto& profile : profiles_) {
    profile->WriteToXML(*root.AddChild(std::string(kProfileName)));
  }
  return WriteFileAtomicPrivate(FilePath(), document.SaveToString());
}
