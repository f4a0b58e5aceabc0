#include "scripting/rtf_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "scripting/dib_writer.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// Pictures by file name; any other name cannot be read.
class TTestLoader {
 public:
  void Add(const std::string& path, TPicture picture) { pictures_[path] = std::move(picture); }
  int Calls() const { return calls_; }

  TPictureLoader Loader() {
    return [this](const std::string& path, TPicture& out) {
      ++calls_;
      const auto it = pictures_.find(path);
      if (it == pictures_.end()) return false;
      out = it->second;
      return true;
    };
  }

 private:
  std::map<std::string, TPicture> pictures_;
  int calls_ = 0;
};

std::string HexOf(const std::string& bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    out.push_back(kHex[static_cast<unsigned char>(c) >> 4]);
    out.push_back(kHex[static_cast<unsigned char>(c) & 0x0F]);
  }
  return out;
}

class RtfPictureTest : public testing::Test {
 protected:
  void SetUp() override {
    // Bytes above 0x9F show whether the hex digits are upper case.
    loader_.Add("logo.bmp", TPicture{3, 2, {0xFFABCDEF, 0xFF000000, 0xFFFFFFFF, 0xFF102030,
                                            0x00000000, 0xFFFEDCBA}});
  }
  std::string Path(const std::string& name) const { return folder_.File(name); }

  std::string Read(const std::string& name) const {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(Path(name), bytes));
    return bytes;
  }

  std::vector<std::string> FolderNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_.Path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // Expects a std::runtime_error whose detail contains `part`.
  void ExpectFailure(const std::string& source, int format, const std::string& part) {
    try {
      ConvertPictureToRtfFile(loader_.Loader(), source, Path("out.rtf"), format);
      ADD_FAILURE() << "no exception for " << source << " at format " << format;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
    }
  }

  TTempFolder folder_{"kavro-rtf-picture-"};
  TTestLoader loader_;
};

TEST_F(RtfPictureTest, WritesTheDibAsUpperCaseHexInAPictureGroup) {
  struct TCase {
    int Format;
    int Bits;
  };
  const TCase cases[] = {{0, 32}, {1, 1}, {2, 4}, {3, 8}, {4, 15}, {5, 16}, {6, 24}, {7, 32}};
  TPicture picture;
  ASSERT_TRUE(loader_.Loader()("logo.bmp", picture));
  for (const TCase& c : cases) {
    SCOPED_TRACE("format " + std::to_string(c.Format));
    ConvertPictureToRtfFile(loader_.Loader(), "logo.bmp", Path("out.rtf"), c.Format);
    EXPECT_EQ(Read("out.rtf"), " {\\pict\\dibitmap0 " + HexOf(WriteDib(picture, c.Bits)) + " }");
  }
  // The temporary file was renamed: the folder holds the output alone.
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"out.rtf"});
}

TEST_F(RtfPictureTest, RefusedFormatsAndUnreadablePicturesLeaveNoFile) {
  ExpectFailure("logo.bmp", 8, "unsupported pixel format 8");
  ExpectFailure("logo.bmp", 9, "unsupported pixel format 9");
  ExpectFailure("logo.bmp", -1, "unsupported pixel format -1");
  EXPECT_EQ(loader_.Calls(), 0);  // refused before the picture is read
  ExpectFailure("missing.bmp", 6, "cannot read picture missing.bmp");
  loader_.Add("short.bmp", TPicture{2, 2, {0xFF000000}});
  ExpectFailure("short.bmp", 6, "short.bmp");
  loader_.Add("empty.bmp", TPicture{});
  ExpectFailure("empty.bmp", 6, "empty picture");
  EXPECT_TRUE(FolderNames().empty());
}

TEST_F(RtfPictureTest, AFailureLeavesAnOldOutputAsItWas) {
  std::ofstream(Path("out.rtf")) << "old";
  ExpectFailure("missing.bmp", 6, "cannot read picture");
  ExpectFailure("logo.bmp", 8, "unsupported pixel format");
  EXPECT_EQ(Read("out.rtf"), "old");
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"out.rtf"});
}

TEST_F(RtfPictureTest, WithoutALoaderNothingIsRead) {
  EXPECT_THROW(ConvertPictureToRtfFile(TPictureLoader{}, "logo.bmp", Path("out.rtf"), 6),
               std::runtime_error);
  EXPECT_TRUE(FolderNames().empty());
}

TEST_F(RtfPictureTest, AFailedWriteIsAnError) {
  std::ofstream(Path("plain")) << "x";
  try {
    ConvertPictureToRtfFile(loader_.Loader(), "logo.bmp", Path("plain") + "/out.rtf", 6);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("cannot write"), std::string::npos) << e.what();
  }
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"plain"});
}

}  // namespace
