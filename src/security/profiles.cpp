#include "security/profiles.h"

#include <algorithm>
#include <utility>

#include "security/profile.h"
#include "security/profiles_view.h"
#include "utils/bin_list.h"
#include "base/case_tables.h"
#include "base/exceptions.h"

namespace {

std::shared_ptr<TProfile> MakeBuiltIn(std::string_view name) {
  auto profile = std::make_shared<TProfile>();
  profile->Name = std::string(name);
  profile->UserDefined = false;
  return profile;
}

int CompareNames(std::string_view a, std::string_view b) {
  return CompareKeysForward(a, b, /*caseSensitive=*/false);
}

}  // namespace

TProfiles::TProfiles(const TSettings& settings, TAccountUsers* users, TFeedSink errorSink)
    : settings_(settings),
      users_(users),
      errorSink_(std::move(errorSink)),
      regular_(MakeBuiltIn(kRegularName)),
      registered_(MakeBuiltIn(kRegisteredName)) {
  profiles_.reserve(16);
}

TProfiles::~TProfiles() = default;

bool TProfiles::IsBuiltInName(std::string_view name) {
  return SameText(name, kRegularName) || SameText(name, kRegisteredName);
}

std::size_t TProfiles::LowerBound(std::string_view name) const {
  const auto it = std::lower_bound(
      profiles_.begin(), profiles_.end(), name,
      [](const std::shared_ptr<TProfile>& stored, std::string_view key) {
        return CompareNames(key, stored->Name) > 0;
      });
  return static_cast<std::size_t>(it - profiles_.begin());
}

int TProfiles::IndexOf(std::string_view name) const {
  if (name.empty()) return -1;
  const std::size_t at = LowerBound(name);
  if (at < profiles_.size() && CompareNames(name, profiles_[at]->Name) == 0) {
    return static_cast<int>(at);
  }
  return -1;
}

void TProfiles::Insert(std::shared_ptr<TProfile> profile) {
  const std::size_t at = LowerBound(profile->Name);
  profiles_.insert(profiles_.begin() + static_cast<std::ptrdiff_t>(at), std::move(profile));
}

std::shared_ptr<TProfile> TProfiles::Find(std::string_view name) const {
  const int index = IndexOf(name);
  return index < 0 ? nullptr : profiles_[static_cast<std::size_t>(index)];
}

std::shared_ptr<TProfile> TProfiles::FindAny(std::string_view name) const {
  if (SameText(name, kRegularName)) return regular_;
  if (SameText(name, kRegisteredName)) return registered_;
  return Find(name);
}

std::shared_ptr<TProfile> TProfiles::Add(std::string_view name) {
  auto profile = std::make_shared<TProfile>();
  profile->Name = std::string(name);
  if (!AddProfile(profile)) return nullptr;
  if (view_ != nullptr) view_->UpdateProfile(*profile);
  return profile;
}

bool TProfiles::AddProfile(std::shared_ptr<TProfile> profile) {
  KAVRO_CHECK(profile != nullptr, "TProfiles.AddProfile without a profile");
  if (profile->Name.empty() || IsBuiltInName(profile->Name) || IndexOf(profile->Name) >= 0) {
    return false;
  }
  profile->UserDefined = true;
  Insert(std::move(profile));
  return true;
}

bool TProfiles::Delete(std::string_view name) {
  const int index = IndexOf(name);
  if (index < 0) return false;
  const std::shared_ptr<TProfile> gone = profiles_[static_cast<std::size_t>(index)];
  profiles_.erase(profiles_.begin() + index);
  if (view_ != nullptr) view_->RemoveProfile(*gone);
  return true;
}

bool TProfiles::Rename(const std::shared_ptr<TProfile>& profile, std::string_view name) {
  if (profile == nullptr || name.empty() || name == profile->Name || IsBuiltInName(name)) {
    return false;
  }
  const int current = IndexOf(profile->Name);
  if (current < 0 || profiles_[static_cast<std::size_t>(current)] != profile) return false;
  const int holder = IndexOf(name);
  if (holder >= 0 && holder != current) return false;

  // Out and back in under the new key, so the list stays in order.
  std::shared_ptr<TProfile> keep = profile;
  profiles_.erase(profiles_.begin() + current);
  keep->Name = std::string(name);
  Insert(keep);
  if (view_ != nullptr) view_->UpdateProfile(*keep);
  return true;
}

const std::shared_ptr<TProfile>& TProfiles::GetItem(int index) const {
  KAVRO_CHECK(index >= 0 && index < GetCount(), "TProfiles.GetItem index out of range");
  return profiles_[static_cast<std::size_t>(index)];
}

std::vector<std::shared_ptr<TProfile>> TProfiles::GetSortedByLevel() const {
  // Compared as numbers rather than as the text of (9 - level): a file may
  // hold levels above 9, which the text key would put out of order.
  std::vector<std::shared_ptr<TProfile>> sorted = profiles_;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const std::shared_ptr<TProfile>& a, const std::shared_ptr<TProfile>& b) {
                     return a->ProfileLevel > b->ProfileLevel;
                   });
  return sorted;
}

void TProfiles::ReportError(const std::string& line) const {
  if (errorSink_) errorSink_(line);
}
