#include "core/compress_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <zlib.h>

namespace {

std::string Inflate(const char* data, int length) {
  std::string out(1 << 20, '\0');
  uLongf size = static_cast<uLongf>(out.size());
  const int rc = uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                            reinterpret_cast<const Bytef*>(data), static_cast<uLong>(length));
  EXPECT_EQ(rc, Z_OK);
  out.resize(size);
  return out;
}

TEST(CompressBlockTest, RoundTrips) {
  std::string nickList;
  for (int i = 0; nickList.size() < 100000; ++i) {
    nickList += "$MyINFO $ALL user" + std::to_string(i) + " <ncdc V:1.23,M:A,H:1/0/0,S:2>$ $100\x01$$" +
                std::to_string(i * 7919) + "$|";
  }
  // The last is large enough for the fast level.
  const std::string inputs[] = {"", "a", std::string(5000, 'z'), "<Hub> Welcome|$Hello bob|",
                                nickList};
  for (const std::string& input : inputs) {
    SCOPED_TRACE(input.size());
    std::vector<char> target(input.size() + 64);
    const int n = CompressBlock(input.data(), static_cast<int>(input.size()), target.data(),
                                static_cast<int>(target.size()));
    ASSERT_GT(n, 0);
    EXPECT_EQ(Inflate(target.data(), n), input);
  }
}

TEST(CompressBlockTest, TooSmallTargetFails) {
  const std::string input(1000, 'q');
  const int capacities[] = {0, 1, 5};
  for (int capacity : capacities) {
    SCOPED_TRACE(capacity);
    std::vector<char> target(8);
    EXPECT_EQ(CompressBlock(input.data(), static_cast<int>(input.size()), target.data(), capacity),
              -1);
  }
  EXPECT_EQ(CompressBlock(input.data(), -1, nullptr, 0), -1);
  // The stream is reused: a failed block must not spoil the next one.
  std::vector<char> target(input.size() + 64);
  const int n = CompressBlock(input.data(), static_cast<int>(input.size()), target.data(),
                              static_cast<int>(target.size()));
  ASSERT_GT(n, 0);
  EXPECT_EQ(Inflate(target.data(), n), input);
}

}  // namespace
