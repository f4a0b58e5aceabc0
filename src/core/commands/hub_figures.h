#pragma once

#include <array>
#include <cstdint>
#include <string>

class TDNSLookup;
class THubCore;
class TSendResult;
class TCPUInfo;

// One pool of buffers as the core-information report shows it.
struct TPoolFigure {
  int InUse = 0;
  int Total = 0;
};

// What the hub and core information reports show of the running process
// and the machine, read when a report is asked for. Plain values, so tests
// hand in fixed ones and the reports never depend on the machine.
struct THubFigures {
  std::string Ports;  // the listening ports, as the core writes them
  std::string CPUTime = "00:00:00";
  std::string CPUUsage = "N/A";
  std::uint64_t MemoryAvailable = 0;  // bytes the machine can still hand out
  std::uint64_t WorkingSet = 0;       // resident bytes, and their peak
  std::uint64_t PeakWorkingSet = 0;
  std::uint64_t PageFile = 0;  // virtual bytes, and their peak
  std::uint64_t PeakPageFile = 0;
  std::uint64_t Receiving = 0;  // bytes per second
  std::uint64_t Sending = 0;
  std::array<std::uint64_t, 4> SendOutcomes{};
  int LookupThreads = 0;
  int LookupThreadsMax = 0;
  TPoolFigure Readers;
  std::array<TPoolFigure, 6> Writers{};
};

// The figures of this process: memory from the kernel, the buffer pools,
// and what the core, its link judge, the load meter (may be null) and the
// look-up workers know.
THubFigures ReadHubFigures(const THubCore& core, const TSendResult& link, const TCPUInfo* cpu,
                           const TDNSLookup& lookups);
