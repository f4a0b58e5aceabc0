#include "e2e/hostile_hub.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>

#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "settings/settings.h"
#include "support/build_programs.h"

namespace {

std::string ReadProcFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The parent pid from /proc/<pid>/stat: the field after the command, which
// is in parentheses and may itself hold spaces.
pid_t ParentOf(const std::string& stat) {
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(stat.substr(close + 1));
  std::string state;
  long parent = -1;
  fields >> state >> parent;
  return static_cast<pid_t>(parent);
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

}  // namespace

void HostileSettings(TSettings& settings) {
  settings.SetWorkPace(TSettings::kMaxWorkPace);
  settings.MaxAmountAuthorizing = {true, 5000};
  // Reverse look-ups would leave loopback for the system's name server.
  settings.PerformDNSLookup = false;
}

pid_t KavrodPid() {
  const std::string program = RealPath(KavrodPath());
  std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
  if (!proc) return -1;
  pid_t found = -1;
  while (const dirent* entry = readdir(proc.get())) {
    const std::string name = entry->d_name;
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    if (ParentOf(ReadProcFile("/proc/" + name + "/stat")) != getpid()) continue;
    if (RealPath("/proc/" + name + "/exe") != program) continue;
    const auto pid = static_cast<pid_t>(std::stol(name));
    if (pid > found) found = pid;
  }
  return found;
}

std::optional<std::int64_t> ResidentKb(pid_t pid) {
  std::istringstream status(ReadProcFile("/proc/" + std::to_string(pid) + "/status"));
  std::string line;
  while (std::getline(status, line)) {
    if (!line.starts_with("VmRSS:")) continue;
    std::istringstream value(line.substr(6));
    std::int64_t kb = 0;
    if (value >> kb) return kb;
  }
  return std::nullopt;
}

std::optional<std::uint64_t> SoftFileLimit(pid_t pid) {
  std::istringstream limits(ReadProcFile("/proc/" + std::to_string(pid) + "/limits"));
  std::string line;
  while (std::getline(limits, line)) {
    if (!line.starts_with("Max open files")) continue;
    std::istringstream value(line.substr(14));
    std::string soft;
    value >> soft;
    if (soft == "unlimited") return UINT64_MAX;
    try {
      return std::stoull(soft);
    } catch (const std::exception&) {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

TFileLimits TestFileLimits() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return {};
  const auto count = [](rlim_t value) {
    return value == RLIM_INFINITY ? UINT64_MAX : static_cast<std::uint64_t>(value);
  };
  return {count(limit.rlim_cur), count(limit.rlim_max)};
}

bool SetTestSoftFileLimit(std::uint64_t soft) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
  if (limit.rlim_max != RLIM_INFINITY && soft > limit.rlim_max) soft = limit.rlim_max;
  limit.rlim_cur = static_cast<rlim_t>(soft);
  return setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

std::string HubServes(TE2EHome& home, const std::string& nick) {
  const auto start = std::chrono::steady_clock::now();
  auto client = TNmdcClient::Connect(home.Port());
  if (!client) return "cannot connect";
  if (!client->Login(nick)) return "login failed: " + client->ReceivedText().substr(0, 300);
  const std::string line = "<" + nick + "> still here|";
  if (!client->Send(line)) return "cannot send";
  if (client->ReadUntil("<" + nick + "> ") != line)
    return "own line not echoed: " + client->ReceivedText().substr(0, 300);
  // A login holds the lock about a second; a sluggish hub takes far longer.
  const auto took = std::chrono::steady_clock::now() - start;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(took).count();
  if (took > std::chrono::seconds(6)) return "took " + std::to_string(ms) + " ms";
  return {};
}

int CriticalErrors(const std::string& output) {
  int count = 0;
  for (std::size_t at = output.find("ECoreCriticalError"); at != std::string::npos;
       at = output.find("ECoreCriticalError", at + 1))
    ++count;
  return count;
}
