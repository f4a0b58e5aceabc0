#pragma once

#include <cstdint>

// Milliseconds since an arbitrary fixed point (system start on Linux). Only
// comparable with itself; never goes backwards and cannot wrap in 64 bits.
uint64_t MonotonicMs();
