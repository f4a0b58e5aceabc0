#include "platform/append_file.h"

#include <string>

#include <gtest/gtest.h>

#include "platform/file_io.h"
#include "support/temp_folder.h"

namespace {

TEST(AppendFileTest, CreatesThenAppendsWithoutTouchingEarlierBytes) {
  TTempFolder folder;
  const std::string path = folder.File("log.txt");
  ASSERT_TRUE(AppendToFile(path, "one\r\n"));
  ASSERT_TRUE(AppendToFile(path, ""));
  ASSERT_TRUE(AppendToFile(path, std::string("t\0o\r\n", 5)));
  std::string text;
  ASSERT_TRUE(ReadFileBytes(path, text));
  EXPECT_EQ(text, std::string("one\r\nt\0o\r\n", 10));
}

TEST(AppendFileTest, FailuresAreReturnedNotRaised) {
  TTempFolder folder;
  ASSERT_TRUE(AppendToFile(folder.File("file"), "x"));
  const std::string cases[] = {
      folder.File("missing/log.txt"),  // the folder is not created
      folder.File("file/log.txt"),     // a file stands where a folder should
      folder.String(),                 // a folder, not a file
      "",
  };
  for (const std::string& path : cases) EXPECT_FALSE(AppendToFile(path, "x")) << path;
}

}  // namespace
