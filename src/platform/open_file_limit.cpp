#include "platform/open_file_limit.h"

#include <sys/resource.h>

#include <limits>

namespace {

std::uint64_t ToCount(rlim_t value) {
  return value == RLIM_INFINITY ? std::numeric_limits<std::uint64_t>::max()
                                : static_cast<std::uint64_t>(value);
}

}  // namespace

TOpenFileLimit RaiseOpenFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return {};
  if (limit.rlim_cur != limit.rlim_max) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  return {ToCount(limit.rlim_cur), ToCount(limit.rlim_max)};
}
