#pragma once

#include <functional>
#include <utility>

class THubCore;
class TSettingsFileSet;

// Hub-wide switches the operator commands and the front ends share: the
// lock (listeners closed, connections kept) and the save of every file.
class THubControl {
 public:
  virtual ~THubControl() = default;
  virtual bool Locked() const = 0;
  // Closes the listeners.
  virtual void Lock() = 0;
  // Reopens the listeners; false (and still locked) when none opened.
  virtual bool Unlock() = 0;
  // Saves every settings file; false when any failed.
  virtual bool SaveAll() = 0;
};

// The lock over the core's listeners and the save over the file set.
// `startListening` reopens the ports the settings name. Main thread only.
class TCoreHubControl : public THubControl {
 public:
  TCoreHubControl(THubCore& core, TSettingsFileSet& files, std::function<bool()> startListening)
      : core_(core), files_(files), startListening_(std::move(startListening)) {}
  bool Locked() const override { return locked_; }
  void Lock() override;
  bool Unlock() override;
  bool SaveAll() override;

 private:
  THubCore& core_;
  TSettingsFileSet& files_;
  std::function<bool()> startListening_;
  bool locked_ = false;
};
