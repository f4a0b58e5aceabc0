#pragma once

#include <cstddef>

// One piece of a gathered write: bytes the caller keeps alive until the
// write returns.
struct TIoSlice {
  const void* data = nullptr;
  std::size_t length = 0;
};
