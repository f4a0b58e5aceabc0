#include "hub_probe.h"

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

THubSample SampleHub(int pid) {
  THubSample sample;
  if (pid <= 0) return sample;
  const std::string base = "/proc/" + std::to_string(pid);
  std::ifstream stat(base + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return sample;
  // The command name may hold spaces; the fields after it are fixed.
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return sample;
  std::istringstream fields(line.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  const long ticks = sysconf(_SC_CLK_TCK);
  const double perSecond = static_cast<double>(ticks > 0 ? ticks : 100);
  sample.CpuSeconds = static_cast<double>(utime + stime) / perSecond;
  sample.SystemSeconds = static_cast<double>(stime) / perSecond;
  std::ifstream status(base + "/status");
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) sample.RssKb = std::stoull(line.substr(6));
  }
  sample.Valid = true;
  return sample;
}
