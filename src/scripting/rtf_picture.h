#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A picture as the entry's loader hands it over: 32-bit pixels 0xAARRGGBB,
// top row first, Width * Height of them.
struct TPicture {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Pixels;
};

// Reads a picture file; false when it cannot. The entry registers one, so the
// core stays free of any picture library.
using TPictureLoader = std::function<bool(const std::string& path, TPicture& out)>;

// Loads source, draws it at pixelFormat (0 device = 32 bits, 1 = 1, 2 = 4,
// 3 = 8, 4 = 15, 5 = 16, 6 = 24, 7 = 32 bits) and writes target as an RTF
// picture group. Throws std::runtime_error with a short detail on failure;
// target is then left as it was.
void ConvertPictureToRtfFile(const TPictureLoader& loader, const std::string& source,
                             const std::string& target, int pixelFormat);
