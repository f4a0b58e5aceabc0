#include "scripting/dib_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "scripting/rtf_picture.h"

namespace {

std::uint32_t U16(const std::string& dib, std::size_t at) {
  return static_cast<unsigned char>(dib[at]) | static_cast<unsigned char>(dib[at + 1]) << 8;
}

std::uint32_t U32(const std::string& dib, std::size_t at) {
  return U16(dib, at) | U16(dib, at + 2) << 16;
}

std::vector<int> Bytes(const std::string& dib, std::size_t at, std::size_t count) {
  std::vector<int> out;
  for (std::size_t i = 0; i < count; ++i) out.push_back(static_cast<unsigned char>(dib.at(at + i)));
  return out;
}

TPicture Picture(int width, int height, std::vector<std::uint32_t> pixels) {
  return TPicture{width, height, std::move(pixels)};
}

// A picture whose rows need padding at every depth but 32 bits.
TPicture ThreeByTwo() {
  return Picture(3, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF000000, 0xFF808080});
}

struct THeaderCase {
  int Bits;
  std::uint32_t BitCount;
  std::uint32_t Compression;
  std::uint32_t Stride;
  std::uint32_t ColoursUsed;
  std::uint32_t Extra;  // bytes between the header and the pixels
};

TEST(DibWriterTest, HeaderFieldsForEachDepth) {
  const THeaderCase cases[] = {
      {1, 1, 0, 4, 2, 8},        {4, 4, 0, 4, 16, 64},  {8, 8, 0, 4, 256, 1024},
      {15, 16, 0, 8, 0, 0},      {16, 16, 3, 8, 0, 12}, {24, 24, 0, 12, 0, 0},
      {32, 32, 0, 12, 0, 0},
  };
  for (const THeaderCase& c : cases) {
    SCOPED_TRACE("bits " + std::to_string(c.Bits));
    const std::string dib = WriteDib(ThreeByTwo(), c.Bits);
    EXPECT_EQ(U32(dib, 0), 40u);
    EXPECT_EQ(U32(dib, 4), 3u);
    EXPECT_EQ(U32(dib, 8), 2u);  // positive: bottom-up
    EXPECT_EQ(U16(dib, 12), 1u);
    EXPECT_EQ(U16(dib, 14), c.BitCount);
    EXPECT_EQ(U32(dib, 16), c.Compression);
    EXPECT_EQ(U32(dib, 20), 2 * c.Stride);
    EXPECT_EQ(U32(dib, 24), 0u);
    EXPECT_EQ(U32(dib, 28), 0u);
    EXPECT_EQ(U32(dib, 32), c.ColoursUsed);
    EXPECT_EQ(U32(dib, 36), 0u);
    EXPECT_EQ(dib.size(), 40 + c.Extra + 2 * c.Stride);
  }
}

TEST(DibWriterTest, TrueColourRowsAreBottomUpAndPadded) {
  const std::string dib = WriteDib(ThreeByTwo(), 24);
  // The bottom row comes first: white, black, grey, then three zero bytes.
  EXPECT_EQ(Bytes(dib, 40, 12),
            (std::vector<int>{0xFF, 0xFF, 0xFF, 0, 0, 0, 0x80, 0x80, 0x80, 0, 0, 0}));
  // The top row in blue, green, red byte order.
  EXPECT_EQ(Bytes(dib, 52, 12), (std::vector<int>{0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0, 0, 0, 0}));
}

TEST(DibWriterTest, ThirtyTwoBitsLeavesTheFourthByteUnused) {
  const std::string dib = WriteDib(Picture(1, 1, {0x80123456}), 32);
  // Half-transparent pixels are laid on white first.
  EXPECT_EQ(Bytes(dib, 40, 4), (std::vector<int>{0xAA, 0x99, 0x88, 0}));
}

TEST(DibWriterTest, TransparentPixelsAreLaidOnWhite) {
  const std::string dib =
      WriteDib(Picture(3, 1, {0x00000000, 0x80000000, 0x7F0000FF}), 24);
  EXPECT_EQ(Bytes(dib, 40, 9),
            (std::vector<int>{0xFF, 0xFF, 0xFF, 0x7F, 0x7F, 0x7F, 0xFF, 0x80, 0x80}));
}

TEST(DibWriterTest, SixteenBitsUsesFiveSixFiveMasks) {
  const std::string dib = WriteDib(Picture(3, 1, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF}), 16);
  EXPECT_EQ(U32(dib, 40), 0xF800u);
  EXPECT_EQ(U32(dib, 44), 0x07E0u);
  EXPECT_EQ(U32(dib, 48), 0x001Fu);
  EXPECT_EQ(U16(dib, 52), 0xF800u);
  EXPECT_EQ(U16(dib, 54), 0x07E0u);
  EXPECT_EQ(U16(dib, 56), 0x001Fu);
  EXPECT_EQ(Bytes(dib, 58, 2), (std::vector<int>{0, 0}));  // padding
}

TEST(DibWriterTest, FifteenBitsIsPlainFiveFiveFive) {
  const std::string dib =
      WriteDib(Picture(4, 1, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF0F1F2F}), 15);
  EXPECT_EQ(dib.size(), 40u + 8u);  // no masks
  EXPECT_EQ(U16(dib, 40), 0x7C00u);
  EXPECT_EQ(U16(dib, 42), 0x03E0u);
  EXPECT_EQ(U16(dib, 44), 0x001Fu);
  EXPECT_EQ(U16(dib, 46), (0x0Fu >> 3) << 10 | (0x1Fu >> 3) << 5 | (0x2Fu >> 3));
}

TEST(DibWriterTest, OneBitPaletteAndPacking) {
  const std::string dib = WriteDib(
      Picture(10, 1,
              {0xFFFFFFFF, 0xFF000000, 0xFF808080, 0xFF7F7F7F, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF000000,
               0xFF000000, 0xFFFFFFFF, 0xFFFFFF00}),
      1);
  EXPECT_EQ(Bytes(dib, 40, 8), (std::vector<int>{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0}));
  // Most significant bit first; mid grey 0x80 is nearer white, 0x7F nearer black.
  EXPECT_EQ(Bytes(dib, 48, 4), (std::vector<int>{0xAC, 0xC0, 0, 0}));
}

TEST(DibWriterTest, FourBitVgaPaletteAndNibblePacking) {
  const std::string dib =
      WriteDib(Picture(3, 1, {0xFF000000, 0xFFF01010, 0xFFFFFFFF}), 4);
  const std::vector<int> palette = Bytes(dib, 40, 64);
  // Entries are blue, green, red, 0: maroon at 1, silver at 7, red at 9, white at 15.
  EXPECT_EQ(std::vector<int>(palette.begin() + 4, palette.begin() + 8),
            (std::vector<int>{0, 0, 0x80, 0}));
  EXPECT_EQ(std::vector<int>(palette.begin() + 28, palette.begin() + 32),
            (std::vector<int>{0xC0, 0xC0, 0xC0, 0}));
  EXPECT_EQ(std::vector<int>(palette.begin() + 36, palette.begin() + 40),
            (std::vector<int>{0, 0, 0xFF, 0}));
  EXPECT_EQ(std::vector<int>(palette.begin() + 60, palette.begin() + 64),
            (std::vector<int>{0xFF, 0xFF, 0xFF, 0}));
  // High nibble first: black (0) and red (9), then white (15) and padding.
  EXPECT_EQ(Bytes(dib, 104, 4), (std::vector<int>{0x09, 0xF0, 0, 0}));
}

TEST(DibWriterTest, FourBitNearestEntry) {
  struct TCase {
    std::uint32_t Pixel;
    int Index;
  };
  const TCase cases[] = {{0xFF700000, 1}, {0xFFB0B0B0, 7}, {0xFF909090, 8},
                         {0xFF10E010, 10}, {0xFF0000A0, 4}, {0xFFFFFFF0, 15}};
  for (const TCase& c : cases) {
    const std::string dib = WriteDib(Picture(1, 1, {c.Pixel}), 4);
    EXPECT_EQ(static_cast<unsigned char>(dib.at(104)) >> 4, c.Index) << std::hex << c.Pixel;
  }
}

TEST(DibWriterTest, EightBitColourCube) {
  const std::string dib =
      WriteDib(Picture(3, 1, {0xFF242455, 0xFFC86432, 0xFFFFFFFF}), 8);
  const auto entry = [&dib](int index) { return Bytes(dib, 40 + 4 * static_cast<std::size_t>(index), 4); };
  EXPECT_EQ(entry(0), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(entry(0x25), (std::vector<int>{85, 36, 36, 0}));  // rrrgggbb = 001 001 01
  EXPECT_EQ(entry(0xAD), (std::vector<int>{85, 109, 182, 0}));
  EXPECT_EQ(entry(255), (std::vector<int>{255, 255, 255, 0}));
  // (200, 100, 50) lies nearest to (182, 109, 85).
  EXPECT_EQ(Bytes(dib, 40 + 1024, 4), (std::vector<int>{0x25, 0xAD, 0xFF, 0}));
}

TEST(DibWriterTest, RefusesWhatItCannotWrite) {
  EXPECT_THROW(WriteDib(ThreeByTwo(), 2), std::invalid_argument);
  EXPECT_THROW(WriteDib(ThreeByTwo(), 0), std::invalid_argument);
  EXPECT_THROW(WriteDib(Picture(0, 0, {}), 24), std::invalid_argument);
  EXPECT_THROW(WriteDib(Picture(2, 2, {0, 0, 0}), 24), std::invalid_argument);
  // 4 GB of pixel rows do not fit the header; refused before anything is
  // allocated for them.
  try {
    WriteDib(Picture(65536, 16384, {}), 32);
    ADD_FAILURE() << "no exception";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "picture too large");
  }
}

}  // namespace
