#include "gui/text_1252.h"

#include <gtest/gtest.h>

TEST(Text1252, EveryByteRoundTrips) {
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    const QString text = TextFromBytes(byte);
    ASSERT_EQ(text.size(), 1) << b;
    EXPECT_EQ(BytesFromText(text), byte) << b;
  }
}
