#pragma once

class TProfile;

// A page that offers the user-defined profiles as choices (the accounts
// and chat-rooms pages); the profiles page tells each one what changed.
class TProfileChoices {
 public:
  virtual ~TProfileChoices() = default;
  virtual void AddProfile(TProfile& profile) = 0;
  virtual void RemoveProfile(TProfile& profile) = 0;
  virtual void RefreshProfiles() = 0;
};
