#include "app/qt_picture_loader.h"

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "platform/file_io.h"

namespace {

bool LoadPicture(const std::string& path, TPicture& out) {
  // The bytes are read here rather than by Qt so that a path is used as the
  // bytes it is: Qt would decode it as UTF-8 first.
  std::string bytes;
  if (!ReadFileBytes(path, bytes)) return false;
  QImage image;
  if (!image.loadFromData(QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())))) {
    return false;
  }
  // Straight (not premultiplied) 0xAARRGGBB words, whatever the file held.
  image.convertTo(QImage::Format_ARGB32);
  if (image.isNull() || image.width() <= 0 || image.height() <= 0) return false;
  TPicture picture;
  picture.Width = image.width();
  picture.Height = image.height();
  picture.Pixels.resize(static_cast<std::size_t>(picture.Width) * static_cast<std::size_t>(picture.Height));
  const std::size_t rowBytes = static_cast<std::size_t>(picture.Width) * sizeof(std::uint32_t);
  for (int y = 0; y < picture.Height; ++y) {
    std::memcpy(picture.Pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.Width),
                image.constScanLine(y), rowBytes);
  }
  out = std::move(picture);
  return true;
}

}  // namespace

TPictureLoader MakeQtPictureLoader() {
  return [](const std::string& path, TPicture& out) {
    try {
      return LoadPicture(path, out);
    } catch (...) {  // std::bad_alloc for a picture too large to hold
      return false;
    }
  };
}
