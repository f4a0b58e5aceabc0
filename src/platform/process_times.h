#pragma once

#include <cstdint>
#include <string_view>

// What the hub reads about its own process and the machine: processor time
// for the load figure, memory for the information page. Failures are
// return values; the caller keeps what it showed before.

// Processor time the process has used so far, user and kernel.
struct TProcessTimes {
  std::uint64_t UserMicroseconds = 0;
  std::uint64_t SystemMicroseconds = 0;

  std::uint64_t TotalMicroseconds() const { return UserMicroseconds + SystemMicroseconds; }
};

bool ReadProcessTimes(TProcessTimes& out);

// The process's memory in bytes; a figure the kernel did not report stays 0.
struct TProcessMemory {
  std::uint64_t ResidentBytes = 0;      // VmRSS
  std::uint64_t PeakResidentBytes = 0;  // VmHWM
  std::uint64_t VirtualBytes = 0;       // VmSize
  std::uint64_t PeakVirtualBytes = 0;   // VmPeak
};

bool ReadProcessMemory(TProcessMemory& out);

// Reads the figures above from the text of /proc/<pid>/status ("VmRSS:
// 1234 kB" lines). False when none of them is there; malformed or
// overflowing values are skipped.
bool ParseProcessStatus(std::string_view text, TProcessMemory& out);

// The machine's memory in bytes.
struct TSystemMemory {
  std::uint64_t TotalBytes = 0;
  std::uint64_t FreeBytes = 0;
  std::uint64_t AvailableBytes = 0;  // MemAvailable: free plus what the kernel can reclaim
  std::uint64_t TotalSwapBytes = 0;
  std::uint64_t FreeSwapBytes = 0;
};

// AvailableBytes falls back to FreeBytes on kernels without MemAvailable.
bool ReadSystemMemory(TSystemMemory& out);

// The MemAvailable figure of a /proc/meminfo text, in bytes; false when absent.
bool ParseMemAvailable(std::string_view text, std::uint64_t& bytes);
