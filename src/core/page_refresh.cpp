#include "core/page_refresh.h"

#include <algorithm>

void TPageRefreshFan::Add(TPageRefresh* target) {
  if (target != nullptr && std::find(targets_.begin(), targets_.end(), target) == targets_.end())
    targets_.push_back(target);
}

void TPageRefreshFan::Remove(TPageRefresh* target) {
  targets_.erase(std::remove(targets_.begin(), targets_.end(), target), targets_.end());
}

void TPageRefreshFan::RedirectsChanged() {
  Each([](TPageRefresh& t) { t.RedirectsChanged(); });
}
void TPageRefreshFan::GeneralSettingsChanged() {
  Each([](TPageRefresh& t) { t.GeneralSettingsChanged(); });
}
void TPageRefreshFan::RestrictionsChanged() {
  Each([](TPageRefresh& t) { t.RestrictionsChanged(); });
}
void TPageRefreshFan::AccountChanged(std::string_view nick) {
  Each([&](TPageRefresh& t) { t.AccountChanged(nick); });
}
void TPageRefreshFan::AccountRenamed(std::string_view oldNick, std::string_view newNick) {
  Each([&](TPageRefresh& t) { t.AccountRenamed(oldNick, newNick); });
}
void TPageRefreshFan::AccountDeleted(std::string_view nick) {
  Each([&](TPageRefresh& t) { t.AccountDeleted(nick); });
}
void TPageRefreshFan::ISPRangeAdded(std::string_view isp, std::string_view range) {
  Each([&](TPageRefresh& t) { t.ISPRangeAdded(isp, range); });
}
void TPageRefreshFan::ISPRangeRemoved(std::string_view isp, std::string_view range) {
  Each([&](TPageRefresh& t) { t.ISPRangeRemoved(isp, range); });
}
void TPageRefreshFan::TextCommandChanged(std::string_view name) {
  Each([&](TPageRefresh& t) { t.TextCommandChanged(name); });
}
