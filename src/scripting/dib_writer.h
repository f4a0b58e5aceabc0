#pragma once

#include <string>

struct TPicture;

// Builds a device-independent bitmap of a picture at one colour depth: the
// 40-byte header, then the palette (1, 4 and 8 bits) or the three colour
// masks (16 bits), then the pixel rows bottom-up, each padded to 4 bytes.
// bitsPerPixel is 1, 4, 8, 15, 16, 24 or 32; 15 is written as plain 16-bit
// 5-5-5 pixels. Transparent pixels are laid on white first, as a window
// would draw them. Throws std::invalid_argument for any other depth, an
// empty picture, a pixel count that does not match the size, or a bitmap
// whose size does not fit the header's 32-bit fields.
std::string WriteDib(const TPicture& picture, int bitsPerPixel);
