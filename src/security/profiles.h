#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TAccounts;
class TAccountUsers;
class TProfilesView;
class TProfile;
class TSettings;

// The hub's profiles: the two built-in ones, "Regular" (every connection
// until it logs in with an account) and "Registered" (self-registered
// protected nicks), and the user-defined ones in name order, stored in
// settings/profiles.xml.
//
// Profiles are held by shared_ptr because the list and every connection
// working under one hold them: a reload replaces the user-defined profiles,
// and an object a connection still holds must stay valid until the user
// list re-binds that connection. The built-in profiles are never replaced;
// a reload reads into them in place.
//
// Owns the profile list; does not own the accounts, the logged-in users or
// the settings it reads the legacy feed flags from. Main thread only.
class TProfiles {
 public:
  using TFeedSink = std::function<void(const std::string& line)>;

  static constexpr std::string_view kRegularName = "Regular";
  static constexpr std::string_view kRegisteredName = "Registered";

  // `settings` must outlive this list; `users` may be null.
  explicit TProfiles(const TSettings& settings, TAccountUsers* users = nullptr,
                     TFeedSink errorSink = {});
  ~TProfiles();
  TProfiles(const TProfiles&) = delete;
  TProfiles& operator=(const TProfiles&) = delete;

  // The accounts register themselves here (nullptr when they go), so that a
  // reload can point every account at its profile's new object.
  void SetAccounts(TAccounts* accounts) { accounts_ = accounts; }
  void SetAccountUsers(TAccountUsers* users) { users_ = users; }
  // Where Error lines go (a damaged file); none by default.
  void SetErrorSink(TFeedSink sink) { errorSink_ = std::move(sink); }
  // Told after each change; nullptr: nobody.
  void SetView(TProfilesView* view) { view_ = view; }

  const std::shared_ptr<TProfile>& Regular() const { return regular_; }
  const std::shared_ptr<TProfile>& Registered() const { return registered_; }

  // A user-defined profile by name (case-insensitive), or null.
  std::shared_ptr<TProfile> Find(std::string_view name) const;
  // As Find, but "Regular" and "Registered" give the built-in profiles.
  std::shared_ptr<TProfile> FindAny(std::string_view name) const;
  static bool IsBuiltInName(std::string_view name);

  // A new profile with the defaults; null when the name is empty, taken or
  // a built-in name.
  std::shared_ptr<TProfile> Add(std::string_view name);
  // Inserts a ready user-defined profile under its name; false on the same
  // grounds as Add.
  bool AddProfile(std::shared_ptr<TProfile> profile);
  // Takes the profile out of the list; holders keep their object.
  bool Delete(std::string_view name);
  // False when `name` equals the current name exactly, is empty, is a
  // built-in name or belongs to another profile, or when `profile` is not in
  // the list; a change of case alone is allowed.
  bool Rename(const std::shared_ptr<TProfile>& profile, std::string_view name);

  int GetCount() const { return static_cast<int>(profiles_.size()); }
  // 0 <= index < GetCount(), name order.
  const std::shared_ptr<TProfile>& GetItem(int index) const;

  // The user-defined profiles by level, highest first, equal levels by name.
  std::vector<std::shared_ptr<TProfile>> GetSortedByLevel() const;

  // Reads settings/profiles.xml. False when it is missing, or when it
  // cannot be parsed: then nothing changes, an Error line is reported and
  // saving stays refused until a load succeeds, so the damaged file is kept
  // for repair. A root other than <Profiles> reads no profile and keeps the
  // current ones. After reading, every account is pointed at its profile's
  // new object and the logged-in users are re-bound.
  bool Load();
  // Writes settings/profiles.xml (owner-only). False before the first load
  // attempt, after a damaged load, or when the write fails.
  bool Save() const;
  bool Loading() const { return loading_; }
  // The version text of the file last read ("" when it had none).
  const std::string& FileVersion() const { return version_; }

  static std::string FilePath();

 private:
  // Position of the first profile whose name does not sort before `name`.
  std::size_t LowerBound(std::string_view name) const;
  int IndexOf(std::string_view name) const;
  void Insert(std::shared_ptr<TProfile> profile);
  void ReportError(const std::string& line) const;

  const TSettings& settings_;
  TAccounts* accounts_ = nullptr;
  TAccountUsers* users_ = nullptr;
  TFeedSink errorSink_;
  TProfilesView* view_ = nullptr;

  std::shared_ptr<TProfile> regular_;
  std::shared_ptr<TProfile> registered_;
  std::vector<std::shared_ptr<TProfile>> profiles_;  // name order, case-insensitive
  bool loading_ = true;
  bool saveBlocked_ = false;
  std::string version_;
};
