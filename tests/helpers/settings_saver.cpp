// The saving child of the settings crash test: loads the files of the home
// it is given, then saves all of them round after round with new values,
// writing each finished round's number on a line of its standard output,
// until it is killed (or a minute has passed, should its parent be gone).
//
//   settings_saver HOME FIRST_ROUND

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "support/stamped_files.h"
#include "utils/program_folder.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: settings_saver HOME FIRST_ROUND\n");
    return 2;
  }
  try {
    SetProgramFolder(argv[1]);
    TStampedFiles files;
    files.Load();  // the first child finds none; the others find the last kill's
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    for (int round = std::atoi(argv[2]); std::chrono::steady_clock::now() < deadline; ++round) {
      files.Stamp(round);
      if (!files.Save()) {
        std::fprintf(stderr, "round %d: a save was refused\n", round);
        return 1;
      }
      std::printf("%d\n", round);
      std::fflush(stdout);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
