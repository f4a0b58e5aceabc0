#include "core/front_queue.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

std::vector<int> Contents(const TFrontQueue<std::shared_ptr<int>>& queue) {
  std::vector<int> values;
  for (const auto& item : queue) values.push_back(*item);
  return values;
}

// Pops past the point where the popped slots are reclaimed, then inserts in
// the middle: order, indexing and the release of popped items must hold
// across the move of the remaining items to the front.
TEST(FrontQueueTest, KeepsOrderAcrossReclaimAndInsert) {
  TFrontQueue<std::shared_ptr<int>> queue;
  std::vector<std::weak_ptr<int>> watch;
  for (int i = 0; i < 100; ++i) {
    auto item = std::make_shared<int>(i);
    watch.push_back(item);
    queue.PushBack(std::move(item));
  }
  for (int i = 0; i < 70; ++i) {
    ASSERT_EQ(*queue.Front(), i);
    queue.PopFront();
    EXPECT_TRUE(watch[static_cast<std::size_t>(i)].expired()) << i;
  }
  ASSERT_EQ(queue.Size(), 30u);
  EXPECT_EQ(*queue[0], 70);
  EXPECT_EQ(*queue[29], 99);
  EXPECT_EQ(*queue.Back(), 99);

  std::vector<std::shared_ptr<int>> extra = {std::make_shared<int>(-1), std::make_shared<int>(-2)};
  queue.InsertAfter(1, extra.begin(), extra.end());
  const std::vector<int> values = Contents(queue);
  ASSERT_EQ(values.size(), 32u);
  EXPECT_EQ(values[0], 70);
  EXPECT_EQ(values[1], 71);
  EXPECT_EQ(values[2], -1);
  EXPECT_EQ(values[3], -2);
  EXPECT_EQ(values[4], 72);
  EXPECT_EQ(values.back(), 99);

  while (!queue.Empty()) queue.PopFront();
  EXPECT_EQ(queue.Size(), 0u);
  for (const auto& item : watch) EXPECT_TRUE(item.expired());
  queue.PushBack(std::make_shared<int>(7));
  EXPECT_EQ(Contents(queue), std::vector<int>{7});
}

}  // namespace
