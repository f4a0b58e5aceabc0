#include "load_options.h"

#include <charconv>
#include <cstdio>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "usage: loadgen [options]\n"
    "  --hub IP:PORT          the hub (127.0.0.1:411)\n"
    "  --users N              simulated users (100)\n"
    "  --scenario NAME        label in the report\n"
    "  --pace N               the hub's work pace, for the report\n"
    "  --connect-rate R       connections per second in the storm (0: all at once)\n"
    "  --login-timeout S      give up the storm after S seconds (60)\n"
    "  --duration S           traffic seconds after the storm (0)\n"
    "  --settle S             wait at most S seconds for late deliveries (10)\n"
    "  --chat R --pm R --active-search R --passive-search R --ctm R --myinfo R\n"
    "                         messages per second for the whole hub\n"
    "  --no-answers           no \"$SR\" for searches\n"
    "  --churn F              share of users that leave and rejoin each second\n"
    "  --passive-every N      every N-th user is passive (10)\n"
    "  --primary KIND         kind for the summary: chat, private, active_search,\n"
    "                         passive_search, result, connect\n"
    "  --hub-pid PID          read the hub's CPU time and memory per phase\n"
    "  --seed N --out FILE\n";

bool ParseDouble(std::string_view text, double& out) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size() && out >= 0;
}

bool ParseUnsigned(std::string_view text, std::uint32_t& out) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size();
}

bool ParseHub(std::string_view text, TLoadOptions& o) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return false;
  std::uint32_t parts[4];
  std::string_view ip = text.substr(0, colon);
  for (int i = 0; i < 4; ++i) {
    const std::size_t dot = i < 3 ? ip.find('.') : ip.size();
    if (dot == std::string_view::npos || !ParseUnsigned(ip.substr(0, dot), parts[i]) ||
        parts[i] > 255) {
      return false;
    }
    ip = i < 3 ? ip.substr(dot + 1) : std::string_view();
  }
  std::uint32_t port = 0;
  if (!ParseUnsigned(text.substr(colon + 1), port) || port == 0 || port > 65535) return false;
  o.HubIp = parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3];
  o.HubPort = static_cast<std::uint16_t>(port);
  return true;
}

}  // namespace

std::optional<TLoadOptions> ParseLoadOptions(int argc, char** argv) {
  TLoadOptions o;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return std::nullopt;
    }
    if (arg == "--no-answers") {
      o.Answers = false;
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "loadgen: '%s' needs a value\n%s", argv[i], kUsage);
      return std::nullopt;
    }
    const std::string_view value = argv[++i];
    bool ok = true;
    if (arg == "--hub")
      ok = ParseHub(value, o);
    else if (arg == "--users")
      ok = ParseUnsigned(value, o.Users) && o.Users > 0 && o.Users < 60000;
    else if (arg == "--scenario")
      o.Scenario = value;
    else if (arg == "--pace")
      ok = ParseUnsigned(value, o.Pace);
    else if (arg == "--connect-rate")
      ok = ParseDouble(value, o.ConnectRate);
    else if (arg == "--login-timeout")
      ok = ParseDouble(value, o.LoginTimeout);
    else if (arg == "--duration")
      ok = ParseDouble(value, o.Duration);
    else if (arg == "--settle")
      ok = ParseDouble(value, o.Settle);
    else if (arg == "--chat")
      ok = ParseDouble(value, o.Chat);
    else if (arg == "--pm")
      ok = ParseDouble(value, o.Private);
    else if (arg == "--active-search")
      ok = ParseDouble(value, o.ActiveSearch);
    else if (arg == "--passive-search")
      ok = ParseDouble(value, o.PassiveSearch);
    else if (arg == "--ctm")
      ok = ParseDouble(value, o.Connect);
    else if (arg == "--myinfo")
      ok = ParseDouble(value, o.MyInfo);
    else if (arg == "--churn")
      ok = ParseDouble(value, o.Churn) && o.Churn <= 1;
    else if (arg == "--passive-every")
      ok = ParseUnsigned(value, o.PassiveEvery);
    else if (arg == "--seed")
      ok = ParseUnsigned(value, o.Seed);
    else if (arg == "--hub-pid")
      ok = ParseUnsigned(value, o.HubPid);
    else if (arg == "--primary")
      o.Primary = value;
    else if (arg == "--out")
      o.Out = value;
    else
      ok = false;
    if (!ok) {
      std::fprintf(stderr, "loadgen: bad option '%s %s'\n%s", argv[i - 1], argv[i], kUsage);
      return std::nullopt;
    }
  }
  return o;
}
