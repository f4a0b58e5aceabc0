#include "platform/file_io.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <random>
#include <algorithm>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A fresh folder per test, removed afterwards.
class FileIOTest : public testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder_ = fs::temp_directory_path() / ("kavro-file-io-" + std::to_string(seed()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(folder_, ignored);
  }

  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

  std::string Read(const std::string& name) const {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(Path(name), bytes));
    return bytes;
  }

  // Everything in a folder, so that leftover temporary files show.
  static std::vector<std::string> Entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path folder_;
};

TEST_F(FileIOTest, WritesAndReadsEveryByte) {
  std::string bytes;
  for (int i = 0; i < 200'000; ++i) bytes.push_back(static_cast<char>(i * 7));
  ASSERT_TRUE(WriteFileAtomic(Path("bin.xml"), bytes));
  EXPECT_EQ(Read("bin.xml"), bytes);
  ASSERT_TRUE(WriteFileAtomic(Path("empty.xml"), ""));
  EXPECT_EQ(Read("empty.xml"), "");
  EXPECT_TRUE(FileExists(Path("empty.xml")));
}

TEST_F(FileIOTest, ReplacesTheTargetWholeAndLeavesNoTemporaryFile) {
  ASSERT_TRUE(WriteFileAtomic(Path("settings.xml"), std::string(100'000, 'o')));
  ASSERT_TRUE(WriteFileAtomic(Path("settings.xml"), "new"));
  EXPECT_EQ(Read("settings.xml"), "new");
  EXPECT_EQ(Entries(folder_), std::vector<std::string>{"settings.xml"});
}

TEST_F(FileIOTest, RemovesWhatKilledWritersLeftOfTheSameFile) {
  // 999999999 is above any pid_max: that writer is gone. Process 1 lives.
  struct TCase {
    const char* Name;
    bool Removed;
  };
  const std::vector<TCase> cases = {
      {".settings.xml.tmp-999999999-3", true},
      {".settings.xml.tmp-1-3", false},          // a live writer's
      {".accounts.xml.tmp-999999999-3", false},  // another file's, cleared when it is written
      {".settings.xml.tmp-99x-3", false},
      {".settings.xml.tmp-9999999999-3", false},  // no process id that long
      {"settings.xml.tmp-999999999-3", false},
  };
  for (const TCase& c : cases) std::ofstream(Path(c.Name)) << "partial";
  ASSERT_TRUE(WriteFileAtomic(Path("settings.xml"), "new"));
  for (const TCase& c : cases) EXPECT_EQ(fs::exists(Path(c.Name)), !c.Removed) << c.Name;
  EXPECT_EQ(Read("settings.xml"), "new");
}

TEST_F(FileIOTest, CreatesMissingFolders) {
  const std::string path = Path("home/settings/accounts.xml");
  ASSERT_TRUE(WriteFileAtomic(path, "x"));
  EXPECT_TRUE(FileExists(path));
}

TEST_F(FileIOTest, KeepsThePermissionsOfTheReplacedFile) {
  ASSERT_TRUE(WriteFileAtomic(Path("secret.xml"), "old"));
  fs::permissions(Path("secret.xml"), fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(WriteFileAtomic(Path("secret.xml"), "new"));
  EXPECT_EQ(fs::status(Path("secret.xml")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

// The file size limit binds every user, root included, so this failure
// happens on any machine: the write stops part-way through the new bytes.
TEST_F(FileIOTest, WriteStoppedPartWayFailsAndKeepsTheOldFile) {
  ASSERT_TRUE(WriteFileAtomic(Path("settings.xml"), "old"));
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = WriteFileAtomic(Path("settings.xml"), "new and longer than the limit");
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(written);
  EXPECT_EQ(Read("settings.xml"), "old");
  EXPECT_EQ(Entries(folder_), std::vector<std::string>{"settings.xml"});
}

// A failure after the temporary file exists (here the rename, which no
// privilege overrides) must remove it and leave the target alone.
TEST_F(FileIOTest, FailedRenameRemovesTheTemporaryFile) {
  fs::create_directories(folder_ / "settings.xml" / "inside");
  EXPECT_FALSE(WriteFileAtomic(Path("settings.xml"), "new"));
  EXPECT_EQ(Entries(folder_), std::vector<std::string>{"settings.xml"});
  EXPECT_TRUE(fs::is_directory(folder_ / "settings.xml" / "inside"));
}

TEST_F(FileIOTest, PathsThatCannotHoldAFileFail) {
  ASSERT_TRUE(WriteFileAtomic(Path("plain"), "keep"));
  struct Case {
    const char* what;
    std::string path;
  };
  for (const Case& c : {Case{"parent is a file", Path("plain/settings.xml")},
                        Case{"no file name", Path("folder/")}, Case{"empty path", ""}}) {
    EXPECT_FALSE(WriteFileAtomic(c.path, "x")) << c.what;
  }
  EXPECT_EQ(Read("plain"), "keep");
  EXPECT_FALSE(CreateDirectories(Path("plain/sub")));
}

TEST_F(FileIOTest, ReadFailsOnWhatIsNotAFile) {
  fs::create_directories(folder_ / "dir");
  for (const std::string& path : {Path("missing.xml"), Path("dir"), std::string()}) {
    std::string out = "stale";
    EXPECT_FALSE(ReadFileBytes(path, out)) << path;
    EXPECT_EQ(out, "") << path;
    EXPECT_FALSE(FileExists(path)) << path;
  }
}

TEST_F(FileIOTest, CreateDirectoriesIsIdempotent) {
  EXPECT_TRUE(CreateDirectories(Path("a/b/c")));
  EXPECT_TRUE(CreateDirectories(Path("a/b/c")));
  EXPECT_TRUE(fs::is_directory(folder_ / "a" / "b" / "c"));
  EXPECT_FALSE(CreateDirectories(""));
}

}  // namespace
