// Times the ISP lookup of a login (FindByIP, the longest covering range)
// against 1,000 ranges of 100 ISPs. Prints the time per lookup. Not a test:
// run it by hand (build/bench/isp_bench [lookups]).

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "security/isp_list.h"
#include "settings/language.h"

namespace {

constexpr int kISPs = 100;
constexpr int kRanges = 1000;

std::string Octets(std::uint32_t value, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    if (i > 0) text += '.';
    text += std::to_string((value >> (24 - 8 * i)) & 255);
  }
  return count < 4 ? text + ".*" : text;
}

// Ranges as providers hold them: mostly /24 and /16 blocks, a few /8 and
// single hosts, nested ones included.
void FillRanges(TISPList& isps, std::mt19937& random) {
  for (int i = 0; i < kISPs; ++i) isps.Add("ISP" + std::to_string(i));
  int added = 0;
  while (added < kRanges) {
    const std::uint32_t base = random();
    const int kind = added % 10;
    const int octets = kind == 0 ? 1 : kind < 4 ? 2 : kind < 9 ? 3 : 4;
    if (isps.AddIP(isps.GetItem(added % kISPs), Octets(base, octets))) ++added;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000000;
  std::mt19937 random(20240502);
  TLanguage language;
  TISPList isps(language);
  FillRanges(isps, random);

  std::vector<std::string> addresses;
  addresses.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) addresses.push_back(Octets(random(), 4));

  int found = 0;
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& address : addresses)
    if (isps.FindByIP(address) != nullptr) ++found;
  const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;

  std::printf("ISPs %d, ranges %d, lookups %d (%d inside a range)\n", isps.GetCount(),
              isps.RangeCount(), count, found);
  std::printf("FindByIP  %6.1f ns per lookup\n", spent.count() / count);
  return 0;
}
