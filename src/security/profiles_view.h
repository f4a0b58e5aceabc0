#pragma once

class TProfile;

// What the profile list tells a front end showing it. The daemon shows
// nothing, so every call does nothing unless overridden. Main thread only.
class TProfilesView {
 public:
  virtual ~TProfilesView() = default;
  // Added, or renamed (the object keeps its identity).
  virtual void UpdateProfile(TProfile& /*profile*/) {}
  // Taken out of the list.
  virtual void RemoveProfile(TProfile& /*profile*/) {}
  // Every user-defined profile was replaced (load).
  virtual void RefreshList() {}
};
