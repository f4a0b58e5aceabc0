#include "utils/program_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/exceptions.h"

namespace {

// The home is process-wide: put back whatever other tests expect.
class ProgramFolderTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = ProgramFolder(); }
  void TearDown() override { SetProgramFolder(saved_); }

  std::string saved_;
};

TEST_F(ProgramFolderTest, HomeIsAbsoluteWithTrailingSlash) {
  const std::string cwd = std::filesystem::current_path().string();
  struct Case {
    std::string folder;
    std::string expected;
  } cases[] = {
      {"/tmp/kavro-home", "/tmp/kavro-home/"},
      {"/tmp/kavro-home/", "/tmp/kavro-home/"},
      {"/tmp/a/../b/./c", "/tmp/b/c/"},
      {"/", "/"},
      {"hub-home", cwd + "/hub-home/"},
  };
  for (const auto& c : cases) {
    SetProgramFolder(c.folder);
    EXPECT_EQ(ProgramFolder(), c.expected) << c.folder;
  }
}

TEST_F(ProgramFolderTest, PathsJoinHomeFolderAndFile) {
  SetProgramFolder("/srv/kavro");
  EXPECT_EQ(ProgramPath(kSettingsFolder, "settings.xml"), "/srv/kavro/settings/settings.xml");
  EXPECT_EQ(ProgramPath(kCertFolder, "cert.pem"), "/srv/kavro/cert/cert.pem");
  EXPECT_EQ(ProgramPath("", "kavro.pid"), "/srv/kavro/kavro.pid");
}

TEST_F(ProgramFolderTest, EmptyHomeIsRefused) {
  EXPECT_THROW(SetProgramFolder(""), EKavroException);
}

TEST(FolderOfTest, KeepsTheFolderPart) {
  struct Case {
    const char* path;
    const char* expected;
  } cases[] = {
      {"/usr/bin/kavrod", "/usr/bin/"},
      {"/kavrod", "/"},
      {"kavrod", "./"},
      {"", "./"},
      {"/usr/bin/", "/usr/bin/"},
  };
  for (const auto& c : cases) EXPECT_EQ(FolderOf(c.path), c.expected) << c.path;
}

}  // namespace
