#pragma once

#include <array>
#include <memory>

#include "core/write_buffer.h"
#include "utils/pointer_pool.h"

// Pool 0 holds read blocks; pool c (1..6) holds the blocks of write class c.
inline constexpr int kBufferPoolCount = 7;
inline constexpr int kReadBlockPool = 0;
inline constexpr int kReadBlockSize = 32768;

// Block size of each write size class; class 0 holds no storage.
inline constexpr std::array<int, kBufferPoolCount> kWriteClassSize = {
    0, 20480, 61440, 148480, 368640, 1105920, 3317760};
inline constexpr int kWriteClassCount = kBufferPoolCount;
inline constexpr int kWriteBufferLimit = kWriteClassSize[kWriteClassCount - 1];

// The process-wide storage of all connection buffers: seven pools of raw
// heap blocks and the scratch buffer that compression writes into. Owns the
// pooled blocks and the scratch, not the blocks out in buffers. Main thread
// only. Every buffer must be gone before this object is destroyed.
class TBufferPools {
 public:
  TBufferPools();
  ~TBufferPools();

  TBufferPools(const TBufferPools&) = delete;
  TBufferPools& operator=(const TBufferPools&) = delete;

  // Housekeeping trims these and the core-information command reads them.
  TPointerPool<char>& Pool(int index);
  static int BlockSize(int index);

  // A block of the pool's size: a pooled one, else a fresh allocation
  // (EBufferException when the heap refuses). Contents are undefined.
  char* TakeBlock(int index);
  void GiveBlock(int index, char* block);

  TWriteBuffer& CompressScratch() { return scratch_; }

 private:
  std::array<std::unique_ptr<TPointerPool<char>>, kBufferPoolCount> pools_;
  TWriteBuffer scratch_;  // declared after the pools: it gives its block back
};

// The one instance, built on first use and destroyed at process exit.
TBufferPools& BufferPools();
