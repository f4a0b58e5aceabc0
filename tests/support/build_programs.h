#pragma once

#include <string>

#include "platform/executable_path.h"
#include "utils/program_folder.h"

// Programs of the same build, found from the running test program
// (build/tests/) instead of being compiled in: compiled-in paths would keep
// every clone from sharing the compiler cache.
inline std::string BuildProgram(const std::string& pathFromTestsFolder) {
  return FolderOf(ExecutablePath()) + pathFromTestsFolder;
}

inline std::string KavrodPath() { return BuildProgram("../kavrod"); }
