#include "platform/local_clock.h"

#include <time.h>

TDateTime NowLocal() {
  const time_t now = ::time(nullptr);
  struct tm local {};
  TDateTime result;
  if (::localtime_r(&now, &local) == nullptr) {
    // No zone information: universal time is the best remaining guess.
    result.Seconds = static_cast<std::int64_t>(now);
    return result;
  }
  const TCivilTime civil{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                         local.tm_hour,        local.tm_min,     local.tm_sec > 59 ? 59 : local.tm_sec};
  if (!TryEncodeDateTime(civil, result)) result.Seconds = static_cast<std::int64_t>(now);
  return result;
}
