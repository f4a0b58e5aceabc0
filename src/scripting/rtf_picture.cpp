#include "scripting/rtf_picture.h"

#include <array>
#include <stdexcept>
#include <string>

#include "platform/file_io.h"
#include "scripting/dib_writer.h"

namespace {

// Bits per pixel by pixel-format number: device (drawn as 32 bits), then 1,
// 4, 8, 15, 16, 24 and 32 bits. "Custom" (8) has no fixed layout to write.
constexpr std::array<int, 8> kFormatBits = {32, 1, 4, 8, 15, 16, 24, 32};

std::string RtfPictureGroup(const std::string& dib) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const std::string head = " {\\pict\\dibitmap0 ";
  const std::string tail = " }";
  std::string out;
  out.reserve(head.size() + 2 * dib.size() + tail.size());
  out += head;
  for (const char c : dib) {
    const auto byte = static_cast<unsigned char>(c);
    out.push_back(kHex[byte >> 4]);
    out.push_back(kHex[byte & 0x0F]);
  }
  out += tail;
  return out;
}

}  // namespace

void ConvertPictureToRtfFile(const TPictureLoader& loader, const std::string& source,
                             const std::string& target, int pixelFormat) {
  if (pixelFormat < 0 || pixelFormat >= static_cast<int>(kFormatBits.size())) {
    throw std::runtime_error("unsupported pixel format " + std::to_string(pixelFormat));
  }
  TPicture picture;
  if (!loader || !loader(source, picture)) {
    throw std::runtime_error("cannot read picture " + source);
  }
  std::string dib;
  try {
    dib = WriteDib(picture, kFormatBits[static_cast<std::size_t>(pixelFormat)]);
  } catch (const std::invalid_argument& e) {
    throw std::runtime_error(std::string(e.what()) + " in " + source);
  }
  if (!WriteFileAtomic(target, RtfPictureGroup(dib))) {
    throw std::runtime_error("cannot write " + target);
  }
}
