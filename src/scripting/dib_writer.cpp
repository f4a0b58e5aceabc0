#include "scripting/dib_writer.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

#include "scripting/rtf_picture.h"

namespace {

constexpr std::uint32_t kHeaderSize = 40;
constexpr std::uint32_t kRgb = 0;        // BI_RGB
constexpr std::uint32_t kBitFields = 3;  // BI_BITFIELDS

struct TRgb {
  std::uint8_t R = 0;
  std::uint8_t G = 0;
  std::uint8_t B = 0;
};

// The 16 colours of the standard VGA palette in the order Windows keeps them.
constexpr std::array<TRgb, 16> kVgaColours = {{
    {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
}};

constexpr std::array<TRgb, 2> kBlackWhite = {{{0x00, 0x00, 0x00}, {0xFF, 0xFF, 0xFF}}};

// A channel of the 3-3-2 cube: `steps` levels spread evenly over 0..255.
constexpr std::uint8_t CubeLevel(int index, int steps) {
  return static_cast<std::uint8_t>((index * 255 * 2 + (steps - 1)) / (2 * (steps - 1)));
}

// The cube level nearest to `value` (the lower one on a tie).
int NearestCubeLevel(std::uint8_t value, int steps) {
  int best = 0;
  int bestDistance = 256;
  for (int i = 0; i < steps; ++i) {
    const int distance = value > CubeLevel(i, steps) ? value - CubeLevel(i, steps)
                                                     : CubeLevel(i, steps) - value;
    if (distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  return best;
}

// Index bits rrrgggbb: the cube's distance splits by channel, so the nearest
// entry is the nearest level of each channel.
std::uint8_t NearestCubeIndex(TRgb c) {
  return static_cast<std::uint8_t>(NearestCubeLevel(c.R, 8) << 5 | NearestCubeLevel(c.G, 8) << 2 |
                                   NearestCubeLevel(c.B, 4));
}

TRgb CubeEntry(int index) {
  return {CubeLevel(index >> 5 & 7, 8), CubeLevel(index >> 2 & 7, 8), CubeLevel(index & 3, 4)};
}

// The entry nearest in RGB space (the first one on a tie).
template <std::size_t N>
std::uint8_t NearestIndex(const std::array<TRgb, N>& palette, TRgb c) {
  std::size_t best = 0;
  int bestDistance = std::numeric_limits<int>::max();
  for (std::size_t i = 0; i < N; ++i) {
    const int dr = c.R - palette[i].R;
    const int dg = c.G - palette[i].G;
    const int db = c.B - palette[i].B;
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  return static_cast<std::uint8_t>(best);
}

// An 0xAARRGGBB pixel laid on white.
TRgb OnWhite(std::uint32_t pixel) {
  const unsigned alpha = pixel >> 24;
  const auto blend = [alpha](unsigned channel) {
    return static_cast<std::uint8_t>((channel * alpha + 255 * (255 - alpha) + 127) / 255);
  };
  return {blend(pixel >> 16 & 0xFF), blend(pixel >> 8 & 0xFF), blend(pixel & 0xFF)};
}

void PutU16(std::string& out, std::uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8 & 0xFF));
}

void PutU32(std::string& out, std::uint32_t value) {
  PutU16(out, value & 0xFFFF);
  PutU16(out, value >> 16);
}

void PutEntry(std::string& out, TRgb c) {
  out.push_back(static_cast<char>(c.B));
  out.push_back(static_cast<char>(c.G));
  out.push_back(static_cast<char>(c.R));
  out.push_back('\0');
}

std::uint32_t PaletteSize(int bits) {
  switch (bits) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

// Writes one pixel at `x` of a row that starts zero-filled.
void PutPixel(char* row, int x, int bits, TRgb c) {
  auto* bytes = reinterpret_cast<unsigned char*>(row);
  switch (bits) {
    case 1:
      bytes[x / 8] |= static_cast<unsigned char>(NearestIndex(kBlackWhite, c) << (7 - x % 8));
      break;
    case 4:
      bytes[x / 2] |= static_cast<unsigned char>(NearestIndex(kVgaColours, c) << (x % 2 == 0 ? 4 : 0));
      break;
    case 8:
      bytes[x] = NearestCubeIndex(c);
      break;
    case 15:
    case 16: {
      const unsigned value = bits == 15
                                 ? (c.R >> 3) << 10 | (c.G >> 3) << 5 | (c.B >> 3)
                                 : (c.R >> 3) << 11 | (c.G >> 2) << 5 | (c.B >> 3);
      bytes[2 * x] = static_cast<unsigned char>(value & 0xFF);
      bytes[2 * x + 1] = static_cast<unsigned char>(value >> 8);
      break;
    }
    case 24:
      bytes[3 * x] = c.B;
      bytes[3 * x + 1] = c.G;
      bytes[3 * x + 2] = c.R;
      break;
    default:  // 32: the fourth byte is unused
      bytes[4 * x] = c.B;
      bytes[4 * x + 1] = c.G;
      bytes[4 * x + 2] = c.R;
      break;
  }
}

}  // namespace

std::string WriteDib(const TPicture& picture, int bitsPerPixel) {
  const int bits = bitsPerPixel;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 15 && bits != 16 && bits != 24 && bits != 32) {
    throw std::invalid_argument("unsupported colour depth " + std::to_string(bits));
  }
  if (picture.Width <= 0 || picture.Height <= 0) throw std::invalid_argument("empty picture");
  const std::uint64_t width = static_cast<std::uint64_t>(picture.Width);
  const std::uint64_t height = static_cast<std::uint64_t>(picture.Height);
  const int storedBits = bits == 15 ? 16 : bits;
  const std::uint64_t stride = (width * static_cast<std::uint64_t>(storedBits) + 31) / 32 * 4;
  const std::uint64_t imageSize = stride * height;
  const std::uint32_t paletteSize = PaletteSize(bits);
  const std::uint64_t extra = bits == 16 ? 12 : std::uint64_t{paletteSize} * 4;
  if (kHeaderSize + extra + imageSize > std::numeric_limits<std::uint32_t>::max()) {
    throw std::invalid_argument("picture too large");
  }
  if (picture.Pixels.size() != width * height) {
    throw std::invalid_argument("pixel count does not match the picture size");
  }

  std::string out;
  out.reserve(static_cast<std::size_t>(kHeaderSize + extra + imageSize));
  PutU32(out, kHeaderSize);
  PutU32(out, static_cast<std::uint32_t>(width));
  PutU32(out, static_cast<std::uint32_t>(height));  // positive: rows bottom-up
  PutU16(out, 1);                                   // planes
  PutU16(out, static_cast<std::uint32_t>(storedBits));
  PutU32(out, bits == 16 ? kBitFields : kRgb);
  PutU32(out, static_cast<std::uint32_t>(imageSize));
  PutU32(out, 0);  // pixels per metre, x
  PutU32(out, 0);  // and y
  PutU32(out, paletteSize);
  PutU32(out, 0);  // every colour important

  if (bits == 1) {
    for (const TRgb& c : kBlackWhite) PutEntry(out, c);
  } else if (bits == 4) {
    for (const TRgb& c : kVgaColours) PutEntry(out, c);
  } else if (bits == 8) {
    for (int i = 0; i < 256; ++i) PutEntry(out, CubeEntry(i));
  } else if (bits == 16) {
    PutU32(out, 0xF800);
    PutU32(out, 0x07E0);
    PutU32(out, 0x001F);
  }

  const std::size_t pixelsStart = out.size();
  out.resize(pixelsStart + static_cast<std::size_t>(imageSize), '\0');
  for (std::uint64_t y = 0; y < height; ++y) {
    char* row = out.data() + pixelsStart + (height - 1 - y) * stride;
    const std::uint32_t* source = picture.Pixels.data() + y * width;
    for (std::uint64_t x = 0; x < width; ++x) {
      PutPixel(row, static_cast<int>(x), bits, OnWhite(source[x]));
    }
  }
  return out;
}
