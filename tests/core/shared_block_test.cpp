#include "core/shared_block.h"

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "core/shared_chain.h"

namespace {

// The most a block may hold beyond its bytes: a storm queues thousands.
std::size_t Allowed(std::size_t bytes) { return bytes + bytes / 8 + 64; }

std::string MyINFOText(int i) {
  return "$MyINFO $ALL user" + std::to_string(i) + " client <++ V:0.868,M:A,H:1/0/0,S:3>$ $100\x01$$" +
         std::to_string(i * 1000) + "$|";
}

TEST(SharedBlockFootprintTest, BlocksHoldOnlyTheirTextAndPackedForm) {
  // A text built in a large reserve.
  std::string text;
  text.reserve(1 << 20);
  for (int i = 0; i < 40; ++i) text += MyINFOText(i);
  const TSharedBlock block(std::move(text));
  const std::size_t size = static_cast<std::size_t>(block.Size());
  EXPECT_LE(block.Footprint(), Allowed(size));

  // The deflated form is much smaller than the text it was made in room for.
  const std::string_view packed = block.Packed();
  ASSERT_FALSE(packed.empty());
  ASSERT_LT(packed.size(), size / 2);
  EXPECT_LE(block.Footprint(), Allowed(size) + Allowed(packed.size()));
  EXPECT_LE(PackMessages(block.Text()).capacity(), Allowed(packed.size()));
}

TEST(SharedBlockFootprintTest, ChainBlocksHoldOnlyTheirBytesAcrossChanges) {
  TSharedChain chain(4096);
  auto walk = [&](int from, int to) {
    chain.Begin();
    for (int i = from; i < to; ++i) chain.Add(static_cast<std::uint64_t>(i + 1), MyINFOText(i));
    chain.Finish();
  };
  walk(0, 500);
  walk(0, 501);  // a join at the end
  walk(1, 501);  // a quit at the front
  ASSERT_GT(chain.Blocks().size(), 4u);
  for (const auto& block : chain.Blocks()) {
    EXPECT_LE(block->Footprint(), Allowed(static_cast<std::size_t>(block->Size())));
  }
}

}  // namespace
