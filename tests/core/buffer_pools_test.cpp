#include "core/buffer_pools.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/read_buffer.h"
#include "core/write_buffer.h"
#include "base/exceptions.h"

namespace {

TEST(BufferPoolsTest, BlockSizes) {
  const int expected[] = {32768, 20480, 61440, 148480, 368640, 1105920, 3317760};
  for (int i = 0; i < kBufferPoolCount; ++i) EXPECT_EQ(TBufferPools::BlockSize(i), expected[i]);
  EXPECT_THROW(TBufferPools::BlockSize(7), EAssertionFailed);
}

TEST(BufferPoolsTest, AGivenBackBlockIsTheNextOneTaken) {
  TBufferPools& pools = BufferPools();
  for (int i = 0; i < kBufferPoolCount; ++i) {
    SCOPED_TRACE(i);
    char* block = pools.TakeBlock(i);
    const int inUse = pools.Pool(i).InUse();
    pools.GiveBlock(i, block);
    EXPECT_EQ(pools.Pool(i).InUse(), inUse - 1);
    EXPECT_EQ(pools.TakeBlock(i), block);
    pools.GiveBlock(i, block);
  }
}

// Everyday blocks are all kept for reuse; large ones only up to a bound, so
// a burst of long queues does not stay pooled.
TEST(BufferPoolsTest, OnlyABoundedNumberOfLargeBlocksIsKept) {
  struct Case {
    int pool;
    int given;
    int keptAtMost;
  };
  const Case cases[] = {{0, 40, 40}, {1, 40, 40}, {2, 40, 32}, {6, 40, 32}};
  TBufferPools& pools = BufferPools();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pool);
    pools.Pool(c.pool).Trim(0);
    std::vector<char*> blocks;
    for (int i = 0; i < c.given; ++i) blocks.push_back(pools.TakeBlock(c.pool));
    for (char* block : blocks) pools.GiveBlock(c.pool, block);
    EXPECT_EQ(pools.Pool(c.pool).Count(), c.keptAtMost);
  }
}

TEST(BufferPoolsTest, BuffersRecycleTheirBlocks) {
  const char* writeBlock = nullptr;
  {
    TWriteBuffer buffer(1);
    writeBlock = buffer.Data();
  }
  TWriteBuffer again(1);
  EXPECT_EQ(again.Data(), writeBlock);

  // Growing hands the class-1 block back; shrinking takes it again.
  again.AppendString(std::string(30000, 'a'));
  EXPECT_EQ(again.SizeClass(), 2);
  again.Consume(again.Length());
  EXPECT_EQ(again.Data(), writeBlock);

  TReadBuffer read;
  read.Allocate();
  const char* readBlock = read.Data();
  read.Release();
  EXPECT_EQ(read.Data(), nullptr);
  read.Allocate();
  EXPECT_EQ(read.Data(), readBlock);
}

TEST(BufferPoolsTest, ClearWithReleaseGivesTheBlockBack) {
  TPointerPool<char>& pool = BufferPools().Pool(1);
  TWriteBuffer buffer(1);
  const int pooled = pool.Count();
  buffer.Clear(false);
  EXPECT_EQ(pool.Count(), pooled);
  buffer.Clear(true);
  EXPECT_EQ(pool.Count(), pooled + 1);
}

}  // namespace
