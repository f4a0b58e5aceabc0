#include "core/buffer_pools.h"

#include <cstdlib>
#include <string>

#include "base/exceptions.h"

namespace {

constexpr int kPoolCapacity = 16;

// Blocks of class 2 and up serve the few users with a long queue at a time;
// a login storm must not leave gigabytes of them pooled until the next trim.
constexpr int kFirstLargePool = 2;
constexpr int kMaxPooledLargeBlocks = 32;

void FreeBlock(void* block) { std::free(block); }

}  // namespace

TBufferPools::TBufferPools() {
  for (auto& pool : pools_) pool = std::make_unique<TPointerPool<char>>(FreeBlock, kPoolCapacity);
}

TBufferPools::~TBufferPools() {
  // The scratch hands its block straight to our pools: going through
  // BufferPools() here would reach an object already being destroyed.
  scratch_.ReturnBlock(*this);
}

TPointerPool<char>& TBufferPools::Pool(int index) {
  KAVRO_CHECK(index >= 0 && index < kBufferPoolCount, "Bad buffer pool index");
  return *pools_[static_cast<std::size_t>(index)];
}

int TBufferPools::BlockSize(int index) {
  KAVRO_CHECK(index >= 0 && index < kBufferPoolCount, "Bad buffer pool index");
  return index == kReadBlockPool ? kReadBlockSize : kWriteClassSize[static_cast<std::size_t>(index)];
}

char* TBufferPools::TakeBlock(int index) {
  char* block = Pool(index).Pop();
  if (block != nullptr) return block;
  const int size = BlockSize(index);
  block = static_cast<char*>(std::malloc(static_cast<std::size_t>(size)));
  if (block == nullptr) {
    throw EBufferException("TBufferPools.TakeBlock",
                           "Out of memory for " + std::to_string(size) + " bytes");
  }
  return block;
}

void TBufferPools::GiveBlock(int index, char* block) {
  TPointerPool<char>& pool = Pool(index);
  pool.Push(block);
  if (index >= kFirstLargePool && pool.Count() > kMaxPooledLargeBlocks) {
    pool.Trim(kMaxPooledLargeBlocks);
  }
}

TBufferPools& BufferPools() {
  static TBufferPools pools;
  return pools;
}
