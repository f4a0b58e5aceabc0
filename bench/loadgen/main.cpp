// loadgen: simulated NMDC users against a hub on loopback; prints one JSON
// object per run.
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>

#include "load_driver.h"
#include "load_options.h"
#include "platform/open_file_limit.h"

int main(int argc, char** argv) {
  const auto options = ParseLoadOptions(argc, argv);
  if (!options) return 2;
  try {
    const TOpenFileLimit limit = RaiseOpenFileLimit();
    if (limit.Soft < options->Users + 64) {
      std::fprintf(stderr, "loadgen: %u users need more descriptors than the limit %llu\n",
                   options->Users, static_cast<unsigned long long>(limit.Soft));
      return 1;
    }
    TLoadDriver driver(*options);
    const std::string report = driver.Run();
    if (options->Out.empty()) {
      std::cout << report << std::endl;
    } else {
      std::ofstream out(options->Out);
      out << report << '\n';
      if (!out) {
        std::fprintf(stderr, "loadgen: cannot write %s\n", options->Out.c_str());
        return 1;
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "loadgen: %s\n", e.what());
    return 1;
  }
  return 0;
}
