#include "core/hub_stats.h"

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
