// Pictures converted by a script in a real kavrod: the entry's loader reads
// the file without a display, and the result lands beside the picture.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "e2e/e2e_home.h"
#include "platform/file_io.h"

namespace {

// Two pixels, red then (0x12, 0x34, 0x56), as a 24-bit BMP file.
const std::string kBmp = std::string("BM\x3E\0\0\0\0\0\0\0\x36\0\0\0", 14) +
                         std::string("\x28\0\0\0\x02\0\0\0\x01\0\0\0\x01\0\x18\0", 16) +
                         std::string(24, '\0') + std::string("\0\0\xFF\x56\x34\x12\0\0", 8);

// One red pixel; GIF comes through Qt's image plugins.
const std::string kGif = std::string(
    "GIF89a\x01\x00\x01\x00\x80\x00\x00\xFF\x00\x00\x00\x00\x00"
    ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;", 35);

constexpr const char* kScript = R"LUA(
local function convert(name, source, target, format)
  local ok, message = pcall(core.ConvertBmpToRtfImage, source, target, format)
  print(name, tostring(ok), tostring(message))
end
convert("bmp", "image/two.bmp", "image/two.rtf", 6)
convert("gif", "image/dot.gif", "image/dot.rtf", 7)
convert("missing", "image/none.png", "image/none.rtf", 6)
convert("custom", "image/two.bmp", "image/custom.rtf", 8)
)LUA";

TEST(PictureScriptTest, KavrodConvertsPicturesForScripts) {
  TE2EHome home;
  home.WriteSettings();
  std::filesystem::create_directories(home.File("image"));
  std::filesystem::create_directories(home.File("scripts"));
  std::ofstream(home.File("image/two.bmp"), std::ios::binary) << kBmp;
  std::ofstream(home.File("image/dot.gif"), std::ios::binary) << kGif;
  std::ofstream(home.File("scripts/pictures.lua"), std::ios::binary) << kScript;
  ASSERT_TRUE(home.StartHub());
  ASSERT_TRUE(home.Hub().WaitForOutput("Lua: custom")) << home.Hub().Output();
  const std::string output = home.Hub().Output();
  EXPECT_NE(output.find("Lua: bmp\ttrue\tnil"), std::string::npos) << output;
  EXPECT_NE(output.find("Lua: gif\ttrue\tnil"), std::string::npos) << output;
  EXPECT_NE(output.find("Lua: missing\tfalse\tcore.ConvertBmpToRtfImage(cannot read picture "
                        "image/none.png)"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("Lua: custom\tfalse\tcore.ConvertBmpToRtfImage(unsupported pixel format 8)"),
            std::string::npos)
      << output;
  EXPECT_EQ(home.StopHub(), 0);

  const std::string header24 = "28000000" "02000000" "01000000" "0100" "1800" "00000000"
                               "08000000" "00000000" "00000000" "00000000" "00000000";
  const std::string header32 = "28000000" "01000000" "01000000" "0100" "2000" "00000000"
                               "04000000" "00000000" "00000000" "00000000" "00000000";
  std::string rtf;
  EXPECT_TRUE(ReadFileBytes(home.File("image/two.rtf"), rtf));
  EXPECT_EQ(rtf, " {\\pict\\dibitmap0 " + header24 + "0000FF563412" "0000" + " }");
  EXPECT_TRUE(ReadFileBytes(home.File("image/dot.rtf"), rtf));
  EXPECT_EQ(rtf, " {\\pict\\dibitmap0 " + header32 + "0000FF00" + " }");
  EXPECT_FALSE(std::filesystem::exists(home.File("image/none.rtf")));
  EXPECT_FALSE(std::filesystem::exists(home.File("image/custom.rtf")));
}

}  // namespace
