#include "app/qt_picture_loader.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QImage>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace {

// Qt writes the files into memory; the test puts them on disk under names
// that need not be UTF-8.
class QtPictureLoaderTest : public testing::Test {
 protected:
  std::string Write(const std::string& name, const QByteArray& bytes) const {
    const std::string path = folder_.File(name);
    std::ofstream(path, std::ios::binary).write(bytes.constData(), bytes.size());
    return path;
  }

  static QByteArray Encode(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format)) << format;
    return bytes;
  }

  TTempFolder folder_{"kavro-qt-picture-"};
};

QImage TwoByTwo(QImage::Format format, std::vector<QRgb> pixels) {
  QImage image(2, 2, format);
  image.setPixel(0, 0, pixels[0]);
  image.setPixel(1, 0, pixels[1]);
  image.setPixel(0, 1, pixels[2]);
  image.setPixel(1, 1, pixels[3]);
  return image;
}

TEST_F(QtPictureLoaderTest, ReadsBmpAndPngWithoutAnApplicationObject) {
  ASSERT_EQ(QCoreApplication::instance(), nullptr);
  struct TCase {
    const char* Format;
    QImage::Format Layout;
    std::vector<std::uint32_t> Pixels;  // top row first
  };
  const TCase cases[] = {
      {"BMP", QImage::Format_RGB32, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF123456}},
      // Alpha comes through straight, not premultiplied.
      {"PNG", QImage::Format_ARGB32, {0x00000000, 0x80FF0000, 0xFF00FF00, 0x40102030}},
  };
  const TPictureLoader load = MakeQtPictureLoader();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Format);
    const std::vector<QRgb> pixels(c.Pixels.begin(), c.Pixels.end());
    const std::string path =
        Write(std::string("pic\xE9.") + c.Format, Encode(TwoByTwo(c.Layout, pixels), c.Format));
    TPicture picture;
    ASSERT_TRUE(load(path, picture));
    EXPECT_EQ(picture.Width, 2);
    EXPECT_EQ(picture.Height, 2);
    EXPECT_EQ(picture.Pixels, c.Pixels);
  }
}

// JPEG and GIF come from Qt's image plugins, found without an application.
TEST_F(QtPictureLoaderTest, ReadsJpegAndGifThroughThePlugins) {
  const TPictureLoader load = MakeQtPictureLoader();
  QImage solid(8, 8, QImage::Format_RGB32);
  solid.fill(0xFF3060C0);
  TPicture jpeg;
  ASSERT_TRUE(load(Write("photo.jpg", Encode(solid, "JPEG")), jpeg));
  ASSERT_EQ(jpeg.Pixels.size(), 64u);
  const std::uint32_t p = jpeg.Pixels[27];  // lossy: near the colour
  EXPECT_LE(std::abs(static_cast<int>(p >> 16 & 0xFF) - 0x30), 8);
  EXPECT_LE(std::abs(static_cast<int>(p >> 8 & 0xFF) - 0x60), 8);
  EXPECT_LE(std::abs(static_cast<int>(p & 0xFF) - 0xC0), 8);

  // One red pixel; Qt reads GIF but does not write it.
  const char gif[] = "GIF89a\x01\x00\x01\x00\x80\x00\x00\xFF\x00\x00\x00\x00\x00"
                     ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;";
  TPicture picture;
  ASSERT_TRUE(load(Write("dot.gif", QByteArray(gif, sizeof gif - 1)), picture));
  EXPECT_EQ(picture.Width, 1);
  EXPECT_EQ(picture.Pixels, std::vector<std::uint32_t>{0xFFFF0000});
}

TEST_F(QtPictureLoaderTest, MissingAndUnreadableFilesAreRefused) {
  const TPictureLoader load = MakeQtPictureLoader();
  TPicture picture;
  EXPECT_FALSE(load(folder_.File("missing.png"), picture));
  EXPECT_FALSE(load(Write("text.png", "not a picture"), picture));
  QByteArray png = Encode(TwoByTwo(QImage::Format_RGB32, {0, 0, 0, 0}), "PNG");
  EXPECT_FALSE(load(Write("cut.png", png.left(png.size() / 2)), picture));
  EXPECT_FALSE(load(folder_.String(), picture));  // a folder
  EXPECT_TRUE(picture.Pixels.empty());
}

}  // namespace
