#include "core/buffer_text.h"

#include <array>

#include "core/read_buffer.h"
#include "core/write_buffer.h"

namespace {

constexpr int kTabWidth = 48;

// Display widths of the Windows-1252 characters in a typical client's chat
// font; control characters take no room.
constexpr std::array<unsigned char, 256> kCharWidth = {
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,   // 0
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  11,  // 16
    3,  4,  4,  8,  6,  11, 7,  2,  4,  4,  6,  8,  4,  4,  4,  4,   // 32
    6,  6,  6,  6,  6,  6,  6,  6,  6,  6,  4,  4,  8,  8,  8,  5,   // 48
    10, 7,  6,  7,  7,  6,  6,  7,  7,  4,  5,  6,  5,  8,  7,  8,   // 64
    6,  8,  7,  6,  6,  7,  6,  10, 6,  6,  6,  4,  4,  4,  8,  6,   // 80
    6,  6,  6,  5,  6,  6,  4,  6,  6,  2,  3,  5,  2,  8,  6,  6,   // 96
    6,  6,  4,  5,  4,  6,  6,  8,  6,  6,  5,  5,  4,  5,  8,  11,  // 112
    6,  11, 2,  6,  4,  9,  6,  6,  6,  15, 6,  4,  11, 11, 6,  11,  // 128
    11, 2,  2,  4,  4,  5,  6,  10, 6,  10, 5,  4,  10, 11, 5,  6,   // 144
    3,  4,  6,  6,  6,  6,  4,  6,  6,  10, 5,  6,  8,  4,  10, 6,   // 160
    5,  8,  5,  5,  6,  6,  6,  4,  6,  5,  5,  6,  11, 11, 11, 5,   // 176
    7,  7,  7,  7,  7,  7,  10, 7,  6,  6,  6,  6,  4,  4,  4,  4,   // 192
    8,  7,  8,  8,  8,  8,  8,  8,  8,  7,  7,  7,  7,  6,  6,  6,   // 208
    6,  6,  6,  6,  6,  6,  10, 5,  6,  6,  6,  6,  2,  2,  2,  2,   // 224
    6,  6,  6,  6,  6,  6,  6,  8,  6,  6,  6,  6,  6,  6,  6,  6,   // 240
};

}  // namespace

bool AppendTabPadded(std::string_view text, TWriteBuffer& buffer, int column) {
  buffer.AppendString(text);
  long width = 0;
  for (char c : text) width += kCharWidth[static_cast<unsigned char>(c)];
  const long tabs = column - width / kTabWidth;
  if (tabs < 0) return false;
  for (long i = 0; i < tabs; ++i) buffer.AppendChar('\t');
  return true;
}

std::string GetTextFromWord(const TReadBuffer& buffer, int n, int first, int last) {
  if (n < 0 || first < 0 || first > last || last >= buffer.Filled()) return {};
  const char* data = buffer.Data();
  int i = first;
  while (i <= last && data[i] == ' ') ++i;
  for (int word = 0; word < n && i <= last; ++word) {
    while (i <= last && data[i] != ' ') ++i;
    while (i <= last && data[i] == ' ') ++i;
  }
  if (i > last) return {};
  return std::string(data + i, static_cast<std::size_t>(last - i + 1));
}
