#include "core/write_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include <zlib.h>

namespace {

constexpr std::string_view kHeader = "$ZOn|";

std::string Inflate(std::string_view packed) {
  std::string out(4 << 20, '\0');
  uLongf size = static_cast<uLongf>(out.size());
  const int rc = uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                            reinterpret_cast<const Bytef*>(packed.data()),
                            static_cast<uLong>(packed.size()));
  EXPECT_EQ(rc, Z_OK);
  out.resize(size);
  return out;
}

std::string Repetitive(int lines) {
  std::string text;
  for (int i = 0; i < lines; ++i) text += "<Hub-Security> user" + std::to_string(i % 10) + " logged in|";
  return text;
}

// Bytes a deflater cannot shrink (xorshift, fixed seed).
std::string Noise(int size) {
  std::string text(static_cast<std::size_t>(size), '\0');
  std::uint32_t x = 2463534242u;
  for (char& c : text) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x & 0xFF);
  }
  return text;
}

TEST(WriteBufferCompressTest, CompressesTheTailOrLeavesItPlain) {
  struct Case {
    const char* name;
    std::string plainHead;  // sent partly before compressing
    int sent;               // bytes of the head already consumed
    std::string tail;
    bool compressed;
  };
  const Case cases[] = {
      {"empty", "", 0, "", false},
      {"short", "", 0, "$Hello bob|", false},
      {"compressible but under the minimum", "", 0, std::string(127, 'a'), false},
      {"compressible at the minimum", "", 0, std::string(128, 'a'), true},
      {"incompressible", "", 0, Noise(5000), false},
      {"repetitive", "", 0, Repetitive(200), true},
      {"large", "", 0, Repetitive(30000), true},
      {"after partial send", "$To: bob From: x $<x> hi|", 7, Repetitive(100), true},
      {"partial send, no bar", "", 3, "no end of message yet", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TWriteBuffer buffer;
    buffer.AppendString(c.plainHead);
    buffer.AppendString(c.tail);
    buffer.Consume(c.sent);
    const std::string before = buffer.GetString();
    const int packed = buffer.Compress();
    if (!c.compressed) {
      EXPECT_EQ(packed, 0);
      EXPECT_EQ(buffer.GetString(), before);
      continue;
    }
    // The partly sent message is finished in plain text, '|' included.
    const std::string plain = c.plainHead.substr(static_cast<std::size_t>(c.sent));
    ASSERT_GT(packed, 0);
    const std::string_view content = buffer.View();
    ASSERT_EQ(content.substr(0, plain.size() + kHeader.size()), plain + std::string(kHeader));
    const std::string_view stream = content.substr(plain.size() + kHeader.size());
    EXPECT_EQ(static_cast<int>(stream.size()), packed);
    EXPECT_LE(packed, static_cast<int>(c.tail.size()) - 4);
    EXPECT_EQ(Inflate(stream), c.tail);
    EXPECT_EQ(buffer.CompressionMark(), buffer.Length());
  }
}

// A broadcast leaves one tail in many buffers; what is reused must be the
// result for exactly that tail.
TEST(WriteBufferCompressTest, EqualTailsShareOneResultAndOthersGetTheirOwn) {
  const std::string tail = Repetitive(40);
  std::string nearly = tail;
  nearly.back() = '!';
  TWriteBuffer first, second, other, plainHead;
  first.AppendString(tail);
  second.AppendString(tail);
  other.AppendString(nearly);
  plainHead.AppendString("$Hello a|");
  plainHead.Consume(3);
  plainHead.AppendString(tail);
  ASSERT_GT(first.Compress(), 0);
  ASSERT_GT(second.Compress(), 0);
  ASSERT_GT(other.Compress(), 0);
  ASSERT_GT(plainHead.Compress(), 0);
  EXPECT_EQ(first.View(), second.View());
  EXPECT_EQ(Inflate(other.View().substr(kHeader.size())), nearly);
  EXPECT_EQ(plainHead.View().substr(0, 6 + kHeader.size()), "llo a|$ZOn|");
  EXPECT_EQ(Inflate(plainHead.View().substr(6 + kHeader.size())), tail);
}

TEST(WriteBufferCompressTest, ASecondCompressTakesOnlyTheNewTail) {
  TWriteBuffer buffer;
  const std::string first = Repetitive(50);
  const std::string second = Repetitive(80);
  buffer.AppendString(first);
  const int firstPacked = buffer.Compress();
  ASSERT_GT(firstPacked, 0);
  const std::string afterFirst = buffer.GetString();
  EXPECT_EQ(buffer.Compress(), 0);  // nothing new
  buffer.AppendString(second);
  const int secondPacked = buffer.Compress();
  ASSERT_GT(secondPacked, 0);
  const std::string_view content = buffer.View();
  ASSERT_EQ(content.substr(0, afterFirst.size()), afterFirst);
  ASSERT_EQ(content.substr(afterFirst.size(), kHeader.size()), kHeader);
  EXPECT_EQ(Inflate(content.substr(afterFirst.size() + kHeader.size())), second);
}

TEST(WriteBufferCompressTest, SendingPartOfACompressedBlockKeepsTheMarkInside) {
  TWriteBuffer buffer;
  buffer.AppendString(Repetitive(50));
  ASSERT_GT(buffer.Compress(), 0);
  const int mark = buffer.CompressionMark();
  buffer.Consume(10);
  EXPECT_EQ(buffer.CompressionMark(), mark - 10);
  buffer.Consume(buffer.Length());
  EXPECT_EQ(buffer.CompressionMark(), 0);
}

}  // namespace
