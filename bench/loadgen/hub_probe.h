#pragma once

#include <cstdint>

// The hub's own figures read from /proc while the load runs: so the report
// can tell the CPU spent in each phase, not only over the process's life.
struct THubSample {
  bool Valid = false;
  double CpuSeconds = 0;     // user + system
  double SystemSeconds = 0;  // the kernel's share: sockets, page faults
  std::uint64_t RssKb = 0;   // resident now
};

// pid 0 (no hub given) or a vanished process gives an invalid sample.
THubSample SampleHub(int pid);
