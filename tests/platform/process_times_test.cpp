#include "platform/process_times.h"

#include <string>

#include <gtest/gtest.h>

namespace {

TEST(ProcessTimesTest, StatusTextGivesTheMemoryFigures) {
  const std::string status =
      "Name:\tkavrod\n"
      "VmPeak:\t  20480 kB\n"
      "VmSize:\t  10240 kB\n"
      "VmHWM:\t    512 kB\n"
      "VmRSS:\t    256 kB\n"
      "Threads:\t3\n";
  TProcessMemory memory;
  ASSERT_TRUE(ParseProcessStatus(status, memory));
  EXPECT_EQ(memory.PeakVirtualBytes, 20480u * 1024);
  EXPECT_EQ(memory.VirtualBytes, 10240u * 1024);
  EXPECT_EQ(memory.PeakResidentBytes, 512u * 1024);
  EXPECT_EQ(memory.ResidentBytes, 256u * 1024);
}

TEST(ProcessTimesTest, MalformedStatusLinesAreSkipped) {
  const struct {
    const char* text;
    bool found;
    std::uint64_t resident;
  } cases[] = {
      {"", false, 0},
      {"VmRSS:", false, 0},
      {"VmRSS:\t12 MB\n", false, 0},
      {"VmRSS:\t-12 kB\n", false, 0},
      {"VmRSS:\t99999999999999999999 kB\n", false, 0},  // overflows 64 bits
      {"XVmRSS:\t12 kB\n", false, 0},
      {"VmRSS:\t12 kB", true, 12 * 1024},  // no final line end
      {"VmRSS:\t12 kB\nVmRSS:\tbad\n", true, 12 * 1024},
  };
  for (const auto& c : cases) {
    TProcessMemory memory;
    EXPECT_EQ(ParseProcessStatus(c.text, memory), c.found) << c.text;
    EXPECT_EQ(memory.ResidentBytes, c.resident) << c.text;
  }
}

TEST(ProcessTimesTest, MemAvailableIsReadFromItsOwnLine) {
  const struct {
    const char* text;
    bool found;
    std::uint64_t bytes;
  } cases[] = {
      {"MemTotal:       16000 kB\nMemFree:  100 kB\nMemAvailable:    2048 kB\n", true, 2048u * 1024},
      {"MemAvailable: 7 kB", true, 7u * 1024},
      {"MemTotal: 5 kB\nMemFree: 3 kB\n", false, 0},
      {"MemAvailable: lots\n", false, 0},
  };
  for (const auto& c : cases) {
    std::uint64_t bytes = 0;
    EXPECT_EQ(ParseMemAvailable(c.text, bytes), c.found) << c.text;
    EXPECT_EQ(bytes, c.bytes) << c.text;
  }
}

TEST(ProcessTimesTest, OwnFiguresAreReadable) {
  TProcessTimes before;
  ASSERT_TRUE(ReadProcessTimes(before));
  volatile std::uint64_t spin = 0;
  for (int i = 0; i < 20'000'000; ++i) spin = spin + static_cast<std::uint64_t>(i);
  TProcessTimes after;
  ASSERT_TRUE(ReadProcessTimes(after));
  EXPECT_GE(after.TotalMicroseconds(), before.TotalMicroseconds());

  TProcessMemory memory;
  ASSERT_TRUE(ReadProcessMemory(memory));
  EXPECT_GT(memory.ResidentBytes, 0u);
  TSystemMemory system;
  ASSERT_TRUE(ReadSystemMemory(system));
  EXPECT_GT(system.TotalBytes, memory.ResidentBytes);
  EXPECT_GT(system.AvailableBytes, 0u);
}

}  // namespace
