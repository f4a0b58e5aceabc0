#pragma once

#include <string_view>
#include <vector>

// What a command tells the administration window after it changed a list or
// a setting that one of the window's pages shows. The daemon has no pages,
// so every call does nothing unless a front end overrides it. Called on the
// main thread, after the change and before the reply.
class TPageRefresh {
 public:
  virtual ~TPageRefresh() = default;
  // The twelve redirect addresses (once per command, whatever it changed).
  virtual void RedirectsChanged() {}
  // The general page's work pace and user limit.
  virtual void GeneralSettingsChanged() {}
  // The users page's restriction frame.
  virtual void RestrictionsChanged() {}
  // An account row added or changed, moved to a new nick, or gone.
  virtual void AccountChanged(std::string_view /*nick*/) {}
  virtual void AccountRenamed(std::string_view /*oldNick*/, std::string_view /*newNick*/) {}
  virtual void AccountDeleted(std::string_view /*nick*/) {}
  // A range an ISP gained or lost.
  virtual void ISPRangeAdded(std::string_view /*isp*/, std::string_view /*range*/) {}
  virtual void ISPRangeRemoved(std::string_view /*isp*/, std::string_view /*range*/) {}
  // A text command's row (its content or its state).
  virtual void TextCommandChanged(std::string_view /*name*/) {}
};

// Tells every registered page group in turn; the root hands this one to the
// commands. A group registers while its pages exist.
class TPageRefreshFan final : public TPageRefresh {
 public:
  void Add(TPageRefresh* target);
  void Remove(TPageRefresh* target);

  void RedirectsChanged() override;
  void GeneralSettingsChanged() override;
  void RestrictionsChanged() override;
  void AccountChanged(std::string_view nick) override;
  void AccountRenamed(std::string_view oldNick, std::string_view newNick) override;
  void AccountDeleted(std::string_view nick) override;
  void ISPRangeAdded(std::string_view isp, std::string_view range) override;
  void ISPRangeRemoved(std::string_view isp, std::string_view range) override;
  void TextCommandChanged(std::string_view name) override;

 private:
  template <class F>
  void Each(F&& fn) {
    // A copy: a target may unregister while told.
    const std::vector<TPageRefresh*> targets = targets_;
    for (TPageRefresh* target : targets) fn(*target);
  }
  std::vector<TPageRefresh*> targets_;
};
