#pragma once

#include <cstdint>

// The number of descriptors the process may hold: the hub keeps one per
// connection, so the distribution's soft default (often 1024) caps the
// user count far below what the hub can serve.

struct TOpenFileLimit {
  std::uint64_t Soft = 0;
  std::uint64_t Hard = 0;  // UINT64_MAX when unlimited
};

// Raises the soft limit to the hard limit and returns the limits in force
// afterwards. When the raise is refused the old limits stay and are
// returned; when they cannot be read both are 0.
TOpenFileLimit RaiseOpenFileLimit();
