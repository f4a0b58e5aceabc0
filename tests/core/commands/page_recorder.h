#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/page_refresh.h"

// The page refreshes the commands asked for, one word line each.
class TPageRecorder : public TPageRefresh {
 public:
  std::vector<std::string> Calls;
  void RedirectsChanged() override { Calls.push_back("redirects"); }
  void GeneralSettingsChanged() override { Calls.push_back("general"); }
  void RestrictionsChanged() override { Calls.push_back("restrictions"); }
  void AccountChanged(std::string_view nick) override { Add("account", nick); }
  void AccountRenamed(std::string_view oldNick, std::string_view newNick) override {
    Add("renamed", std::string(oldNick) + " " + std::string(newNick));
  }
  void AccountDeleted(std::string_view nick) override { Add("deleted", nick); }
  void ISPRangeAdded(std::string_view isp, std::string_view range) override {
    Add("range+", std::string(isp) + " " + std::string(range));
  }
  void ISPRangeRemoved(std::string_view isp, std::string_view range) override {
    Add("range-", std::string(isp) + " " + std::string(range));
  }
  void TextCommandChanged(std::string_view name) override { Add("text", name); }

  // The calls since the last Take.
  std::vector<std::string> Take() { return std::exchange(Calls, {}); }

 private:
  void Add(std::string_view what, std::string_view detail) {
    Calls.push_back(std::string(what) + " " + std::string(detail));
  }
};
