#pragma once

#include "base/date_time.h"

// The wall-clock date and time in the machine's local time zone, as the
// operator reads it (feed file names, ban expiry shown in settings files).
TDateTime NowLocal();
