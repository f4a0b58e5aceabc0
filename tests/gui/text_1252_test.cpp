#include "gui/text_1252.h"

#include <gtest/gtest.h>

namespace {

TEST(Text1252, EveryByteRoundTrips) {
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    const QString text = TextFromBytes(byte);
    ASSERT_EQ(text.size(), 1) << b;
    EXPECT_EQ(BytesFromText(text), byte) << b;
  }
}

struct TByteRow {
  unsigned char byte;
  char16_t code;
};

TEST(Text1252, TableRows) {
  const TByteRow rows[] = {
      {0x41, u'A'},    {0x80, 0x20AC}, {0x81, 0x0081}, {0x8A, 0x0160}, {0x8D, 0x008D},
      {0x8F, 0x008F},  {0x90, 0x0090}, {0x92, 0x2019}, {0x9D, 0x009D}, {0x9F, 0x0178},
      {0xA0, 0x00A0},  {0xA6, 0x00A6}, {0xA7, 0x00A7}, {0xFF, 0x00FF}, {0x00, 0x0000},
  };
  for (const TByteRow& row : rows) {
    EXPECT_EQ(CharFromByte(row.byte).unicode(), row.code) << int(row.byte);
    EXPECT_EQ(static_cast<unsigned char>(ByteFromChar(QChar(row.code))), row.byte) << int(row.byte);
  }
}

TEST(Text1252, CharactersWithoutAByteBecomeQuestionMarks) {
  EXPECT_EQ(BytesFromText(QStringLiteral(u"a\u4E2Db\u0100")), "a?b?");
  // One character outside the 16-bit plane is one "?".
  EXPECT_EQ(BytesFromText(QString::fromUtf8("x\xF0\x9F\x98\x80y")), "x?y");
}

TEST(Text1252, MemosTurnCrLfIntoLineBreaksAndBack) {
  EXPECT_EQ(MemoFromBytes("one\r\ntwo\r\n"), "one\ntwo\n");
  EXPECT_EQ(BytesFromMemo("one\ntwo\r\nthree"), "one\r\ntwo\r\nthree");
}

}  // namespace
