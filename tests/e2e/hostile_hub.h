#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

class TE2EHome;
class TSettings;

// What the hostile-client tests share: the hub's settings for speed, a look
// at the running kavrod through /proc, and the check that the hub still
// serves a well-behaved client after an attack.

// The fastest work pace, room for thousands of logins at once and no
// reverse look-ups; the guards under test keep their defaults.
void HostileSettings(TSettings& settings);

// The kavrod this test program started last (a child running the built
// program); -1 when there is none.
pid_t KavrodPid();
// VmRSS of `pid` in kB; nullopt when unreadable.
std::optional<std::int64_t> ResidentKb(pid_t pid);
// The soft "Max open files" limit of `pid`; nullopt when unreadable.
std::optional<std::uint64_t> SoftFileLimit(pid_t pid);

// This test program's own descriptor limits (soft, hard).
struct TFileLimits {
  std::uint64_t Soft = 0;
  std::uint64_t Hard = 0;
};
TFileLimits TestFileLimits();
// Sets this program's soft limit (at most the hard one); false when refused.
bool SetTestSoftFileLimit(std::uint64_t soft);

// Lifts this program's soft limit to the hard one (a descriptor per client)
// and puts the old one back at the end.
class TSoftLimitGuard {
 public:
  TSoftLimitGuard() : saved_(TestFileLimits()) { SetTestSoftFileLimit(saved_.Hard); }
  ~TSoftLimitGuard() { SetTestSoftFileLimit(saved_.Soft); }
  TSoftLimitGuard(const TSoftLimitGuard&) = delete;
  TSoftLimitGuard& operator=(const TSoftLimitGuard&) = delete;
  const TFileLimits& Saved() const { return saved_; }

 private:
  TFileLimits saved_;
};

// Empty when a fresh client on 127.0.0.1 logs in as `nick`, says a line in
// main chat and reads it back within normal time; otherwise what went wrong.
std::string HubServes(TE2EHome& home, const std::string& nick);
// How often the hub's output reports a critical core error.
int CriticalErrors(const std::string& output);
