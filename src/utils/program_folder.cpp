#include "utils/program_folder.h"

#include <filesystem>

#include "platform/executable_path.h"
#include "base/exceptions.h"

namespace {

std::string& HomeFolder() {
  static std::string home;
  return home;
}

std::string WithTrailingSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

}  // namespace

void SetProgramFolder(std::string_view folder) {
  if (folder.empty()) throw EKavroException("SetProgramFolder", "empty folder");
  const std::filesystem::path absolute =
      std::filesystem::absolute(std::filesystem::path(folder)).lexically_normal();
  HomeFolder() = WithTrailingSlash(absolute.string());
}

const std::string& ProgramFolder() {
  std::string& home = HomeFolder();
  if (home.empty()) home = FolderOf(ExecutablePath());
  return home;
}

std::string ProgramPath(std::string_view folder, std::string_view file) {
  std::string path = ProgramFolder();
  if (!folder.empty()) {
    path += folder;
    path += '/';
  }
  path += file;
  return path;
}

std::string FolderOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return "./";
  return std::string(path.substr(0, slash + 1));
}
