#include "core/hub_stats.h"

#include <cstdint>
#include <limits>
#include <utility>

#include "platform/name_resolver.h"

namespace {

constexpr std::string_view kLoopbackIP = "127.0.0.1";

}  // namespace

TStats::TStats() : TStats(FindLocalIP()) {}

TStats::TStats(std::string localIP) : LocalIP(std::move(localIP)) {}

void TStats::UserLoggedIn(std::string_view nick) {
  if (!FirstUserSeen && CurrentUsers == 0) {
    FirstNick = std::string(nick);
    FirstUserSeen = true;
  }
  ++CurrentUsers;
  if (CurrentUsers > PeakUsers) {
    PeakUsers = CurrentUsers;
    if (CurrentUsers > AllTimePeakUsers) AllTimePeakUsers = CurrentUsers;
  }
}

void TStats::UpdateSharePeak() {
  if (CurrentSharesize > PeakSharesize) PeakSharesize = CurrentSharesize;
  if (CurrentSharesize > AllTimePeakSharesize) AllTimePeakSharesize = CurrentSharesize;
}

std::int64_t TShareTotal::Value() const {
  if (sum_ <= 0) return 0;
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  return sum_ >= kMax ? kMax : static_cast<std::int64_t>(sum_);
}

void TStats::AddShare(std::int64_t bytes) { ApplyShare(bytes, true); }

void TStats::RemoveShare(std::int64_t bytes) { ApplyShare(bytes, false); }

void TStats::ApplyShare(std::int64_t bytes, bool add) {
  if (CurrentSharesize != shareTotal_.Value()) shareTotal_.Reset(CurrentSharesize);
  if (add) {
    shareTotal_.Add(bytes);
  } else {
    shareTotal_.Remove(bytes);
  }
  CurrentSharesize = shareTotal_.Value();
  UpdateSharePeak();
}

std::string ChooseLocalIP(const std::vector<std::string>& hostAddresses,
                          const std::vector<std::string>& interfaceAddresses) {
  if (hostAddresses.empty()) return std::string(kLoopbackIP);
  if (!IsLoopbackIPv4(hostAddresses.front())) return hostAddresses.front();
  for (const std::string& address : interfaceAddresses) {
    if (!IsLoopbackIPv4(address)) return address;
  }
  return hostAddresses.front();
}

std::string FindLocalIP() {
  std::string host;
  if (!LocalHostName(host)) return std::string(kLoopbackIP);
  const std::vector<std::string> hostAddresses = ResolveIPv4Addresses(host);
  if (hostAddresses.empty()) return std::string(kLoopbackIP);
  return ChooseLocalIP(hostAddresses, LocalIPv4Addresses());
}
