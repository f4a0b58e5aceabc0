#include "platform/home_folder.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

std::string EnterHomeFolder(const std::string& home) {
  std::error_code error;
  std::filesystem::create_directories(home, error);
  const std::filesystem::path absolute = std::filesystem::absolute(home, error);
  if (error) throw std::runtime_error("cannot resolve the home folder " + home);
  std::filesystem::current_path(absolute, error);
  if (error) throw std::runtime_error("cannot enter the home folder " + absolute.string());
  std::string folder = absolute.lexically_normal().string();
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}
