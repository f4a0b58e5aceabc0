// Times the three lasting-ban checks of a login (nick and IP, host name,
// client) against 10,000 bans of each kind. Prints one line per check and
// the time per login. Not a test: run it by hand (build/bench/ban_bench
// [logins]).

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "security/ban_list.h"
#include "settings/language.h"

namespace {

constexpr int kBansPerKind = 10000;

struct TLogin {
  std::string Nick;
  std::string IP;
  std::string Host;
  std::string Client;
};

std::string IPText(std::uint32_t value) {
  return std::to_string(value >> 24) + "." + std::to_string((value >> 16) & 255) + "." +
         std::to_string((value >> 8) & 255) + "." + std::to_string(value & 255);
}

// A mix of the pattern kinds operators use: mostly exact keys, with
// prefix, suffix and infix patterns (and '?' for host names).
void FillBans(TBanList& bans, std::mt19937& random) {
  for (int i = 0; i < kBansPerKind; ++i) {
    const std::string n = std::to_string(i);
    switch (i % 10) {
      case 0: bans.AddNickBan("pre" + n + "*", "", 0, {}, "op"); break;
      case 1: bans.AddNickBan("*suf" + n, "", 0, {}, "op"); break;
      case 2: bans.AddNickBan("*mid" + n + "*", "", 0, {}, "op"); break;
      default: bans.AddNickBan("user" + n, "", 0, {}, "op"); break;
    }
    const std::uint32_t address = random();
    if (i % 5 == 0)
      bans.AddIPBan(IPText(address).substr(0, IPText(address).rfind('.') + 1) + "*", "", 0, {},
                    "op");
    else
      bans.AddIPBan(IPText(address), "", 0, {}, "op");
    switch (i % 4) {
      case 0: bans.AddDNSBan("*.dom" + n + ".example", "", {}, "op"); break;
      case 1: bans.AddDNSBan("host?" + n + ".isp.example", "", {}, "op"); break;
      case 2: bans.AddDNSBan("dyn" + n + ".*", "", {}, "op"); break;
      default: bans.AddDNSBan("h" + n + ".net.example", "", {}, "op"); break;
    }
    if (i % 2 == 0)
      bans.AddClientBan("Client" + n + "0.*", "", {}, "op");
    else
      bans.AddClientBan("Client" + n + "1.0", "", {}, "op");
  }
}

// Logins that mostly pass; about one in twenty hits a ban of some kind.
std::vector<TLogin> MakeLogins(int count, std::mt19937& random) {
  std::vector<TLogin> logins;
  logins.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const std::string n = std::to_string(random() % (kBansPerKind * 20));
    TLogin login;
    login.Nick = (i % 3 == 0 ? "someone_" : "user") + n;
    login.IP = IPText(random());
    login.Host = "host" + std::to_string(random() % 10) + n + ".isp.example";
    login.Client = i % 2 == 0 ? "DC++0.868" : "Client" + n + "1.0";
    logins.push_back(std::move(login));
  }
  return logins;
}

template <typename Check>
double NanosecondsEach(const std::vector<TLogin>& logins, int& refused, Check check) {
  refused = 0;
  const auto start = std::chrono::steady_clock::now();
  for (const TLogin& login : logins)
    if (check(login)) ++refused;
  const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
  return spent.count() / static_cast<double>(logins.size());
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200000;
  std::mt19937 random(20240501);
  TLanguage language;
  // A fixed clock: no ban expires while the bench runs.
  TBanList bans(language, {}, [] { return TDateTime{1714564800}; });

  const auto filling = std::chrono::steady_clock::now();
  FillBans(bans, random);
  const std::chrono::duration<double, std::milli> filled =
      std::chrono::steady_clock::now() - filling;
  const std::vector<TLogin> logins = MakeLogins(count, random);

  std::printf("bans: nick %d, IP %d, DNS %d, client %d (added in %.1f ms)\n",
              bans.GetCount(TBanKind::Nick), bans.GetCount(TBanKind::IP),
              bans.GetCount(TBanKind::DNS), bans.GetCount(TBanKind::Client), filled.count());
  std::printf("logins: %d\n", count);

  int refused = 0;
  const double nickIP = NanosecondsEach(logins, refused, [&](const TLogin& login) {
    return bans.CheckNickAndIPBan(login.Nick, login.IP, false, false).has_value();
  });
  std::printf("CheckNickAndIPBan  %8.0f ns  (%d refused)\n", nickIP, refused);
  const double dns = NanosecondsEach(logins, refused, [&](const TLogin& login) {
    return bans.CheckDNSBan(login.Host, false).has_value();
  });
  std::printf("CheckDNSBan        %8.0f ns  (%d refused)\n", dns, refused);
  const double client = NanosecondsEach(logins, refused, [&](const TLogin& login) {
    return bans.CheckClientBan(login.Client, false).has_value();
  });
  std::printf("CheckClientBan     %8.0f ns  (%d refused)\n", client, refused);
  const double all = NanosecondsEach(logins, refused, [&](const TLogin& login) {
    return bans.CheckNickAndIPBan(login.Nick, login.IP, false, false).has_value() ||
           bans.CheckDNSBan(login.Host, false).has_value() ||
           bans.CheckClientBan(login.Client, false).has_value();
  });
  std::printf("all three per login %7.0f ns  (%.2f us; %d refused)\n", all, all / 1000.0,
              refused);
  return 0;
}
