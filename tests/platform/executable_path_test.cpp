#include "platform/executable_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

TEST(ExecutablePathTest, NamesThisTestProgram) {
  const std::string path = ExecutablePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_EQ(std::filesystem::path(path).filename(), "platform_tests");
  EXPECT_TRUE(std::filesystem::is_regular_file(path));
}

}  // namespace
