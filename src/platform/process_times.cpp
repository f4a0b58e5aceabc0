#include "platform/process_times.h"

#include <sys/resource.h>
#include <sys/sysinfo.h>

#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "platform/file_io.h"

namespace {

std::uint64_t Microseconds(const struct timeval& tv) {
  if (tv.tv_sec < 0 || tv.tv_usec < 0) return 0;
  return static_cast<std::uint64_t>(tv.tv_sec) * 1'000'000u +
         static_cast<std::uint64_t>(tv.tv_usec);
}

// "  1234 kB" -> 1234 * 1024; false on anything else or on overflow.
bool ParseKilobytes(std::string_view value, std::uint64_t& bytes) {
  std::size_t i = 0;
  while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) ++i;
  const std::size_t digitsStart = i;
  std::uint64_t kb = 0;
  constexpr std::uint64_t kMaxKb = std::numeric_limits<std::uint64_t>::max() / 1024;
  while (i < value.size() && value[i] >= '0' && value[i] <= '9') {
    const auto digit = static_cast<std::uint64_t>(value[i] - '0');
    if (kb > (kMaxKb - digit) / 10) return false;
    kb = kb * 10 + digit;
    ++i;
  }
  if (i == digitsStart || value.substr(i) != " kB") return false;
  bytes = kb * 1024;
  return true;
}

}  // namespace

bool ReadProcessTimes(TProcessTimes& out) {
  struct rusage usage {};
  if (::getrusage(RUSAGE_SELF, &usage) != 0) return false;
  out.UserMicroseconds = Microseconds(usage.ru_utime);
  out.SystemMicroseconds = Microseconds(usage.ru_stime);
  return true;
}

bool ParseProcessStatus(std::string_view text, TProcessMemory& out) {
  struct TField {
    std::string_view Name;
    std::uint64_t TProcessMemory::*Member;
  };
  static constexpr std::array<TField, 4> kFields{{
      {"VmRSS", &TProcessMemory::ResidentBytes},
      {"VmHWM", &TProcessMemory::PeakResidentBytes},
      {"VmSize", &TProcessMemory::VirtualBytes},
      {"VmPeak", &TProcessMemory::PeakVirtualBytes},
  }};
  bool found = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    for (const TField& field : kFields) {
      std::uint64_t bytes = 0;
      if (line.substr(0, colon) == field.Name && ParseKilobytes(line.substr(colon + 1), bytes)) {
        out.*field.Member = bytes;
        found = true;
      }
    }
  }
  return found;
}

bool ReadProcessMemory(TProcessMemory& out) {
  std::string status;
  if (!ReadFileBytes("/proc/self/status", status)) return false;
  return ParseProcessStatus(status, out);
}

bool ParseMemAvailable(std::string_view text, std::uint64_t& bytes) {
  constexpr std::string_view kKey = "MemAvailable:";
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line = text.substr(at, end - at);
    if (line.substr(0, kKey.size()) == kKey) return ParseKilobytes(line.substr(kKey.size()), bytes);
    at = end + 1;
  }
  return false;
}

bool ReadSystemMemory(TSystemMemory& out) {
  struct sysinfo info {};
  if (::sysinfo(&info) != 0) return false;
  const std::uint64_t unit = info.mem_unit == 0 ? 1 : info.mem_unit;
  out.TotalBytes = static_cast<std::uint64_t>(info.totalram) * unit;
  out.FreeBytes = static_cast<std::uint64_t>(info.freeram) * unit;
  out.TotalSwapBytes = static_cast<std::uint64_t>(info.totalswap) * unit;
  out.FreeSwapBytes = static_cast<std::uint64_t>(info.freeswap) * unit;
  std::string meminfo;
  if (!ReadFileBytes("/proc/meminfo", meminfo) || !ParseMemAvailable(meminfo, out.AvailableBytes))
    out.AvailableBytes = out.FreeBytes;
  return true;
}
