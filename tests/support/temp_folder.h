#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

// A fresh, empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TTempFolder {
 public:
  explicit TTempFolder(const std::string& prefix = "kavro-test-") {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() /
            (prefix + std::to_string(seed()) + "-" + std::to_string(seed()));
    std::filesystem::create_directories(path_);
  }
  ~TTempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string String() const { return path_.string(); }
  std::string File(const std::string& relative) const { return (path_ / relative).string(); }

 private:
  std::filesystem::path path_;
};
