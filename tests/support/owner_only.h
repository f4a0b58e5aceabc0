#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

// Files holding accounts or passwords are saved readable by their owner
// only: a new file, and one that was widened by hand since the last save.
inline void ExpectSavedOwnerOnly(const std::string& path, const std::function<bool()>& save) {
  namespace fs = std::filesystem;
  const fs::perms ownerOnly = fs::perms::owner_read | fs::perms::owner_write;
  ASSERT_TRUE(save()) << path;
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, ownerOnly) << path << ", new";
  fs::permissions(path, ownerOnly | fs::perms::group_read | fs::perms::others_read);
  ASSERT_TRUE(save()) << path;
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, ownerOnly) << path << ", was 0644";
}
