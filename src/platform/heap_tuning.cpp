#include "platform/heap_tuning.h"

#include <malloc.h>

namespace {

constexpr int kLargeBlock = 128 * 1024;

}  // namespace

void ReturnLargeBlocksToSystem() {
  // Setting the bound explicitly also stops glibc from moving it.
  mallopt(M_MMAP_THRESHOLD, kLargeBlock);
}
