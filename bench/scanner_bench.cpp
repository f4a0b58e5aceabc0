// Times the scanners against 1,000 search words: the main-chat scanner on
// a 2,048-byte line that hits nothing (every byte is looked up) and the
// search scanner on a search pattern. Searches are the busiest traffic a
// hub relays. Not a test: run it by hand (build/bench/scanner_bench [runs]).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "security/mc_scanner.h"
#include "security/text_penalties.h"
#include "security/word_scanner.h"
#include "settings/language.h"
#include "settings/settings.h"

namespace {

constexpr int kItems = 1000;
constexpr std::size_t kLineBytes = 2048;

// Lower-case words of 4 to 10 letters, as banned words are.
std::string Word(std::mt19937& random) {
  std::uniform_int_distribution<int> length(4, 10);
  std::uniform_int_distribution<int> letter('a', 'z');
  std::string word;
  const int n = length(random);
  for (int i = 0; i < n; ++i) word += static_cast<char>(letter(random));
  return word;
}

// Words from the same letters, so many positions start a name's first
// letters without completing it.
std::string Text(std::mt19937& random, std::size_t bytes, char blank) {
  std::string text;
  while (text.size() < bytes) {
    if (!text.empty()) text += blank;
    text += Word(random);
  }
  text.resize(bytes);
  return text;
}

template <typename Fn>
double NanosPerRun(int runs, Fn run) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < runs; ++i) run();
  const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
  return spent.count() / runs;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20000;
  std::mt19937 random(20240611);
  TSettings settings;
  TLanguage language;
  TLunarize luna;
  TKennylize kenny;
  TMCScanner mc(settings, language, luna, kenny);
  TSearchScanner search(settings);
  while (mc.GetCount() < kItems) {
    const std::string word = Word(random);
    TMCScannerItem* item = mc.Add(word);
    if (item == nullptr) continue;
    auto action = std::make_unique<TMCScannerItemAction>();
    action->Level = 10;
    action->Action = mcaSkipMessage;
    item->AddAction(std::move(action));
    search.Add(word, TSearchScannerItem{{"", "no", true, 10, true, true, wsaSkip}});
  }

  // Lines that match nothing: every position is looked up.
  std::vector<std::string> lines;
  std::vector<std::string> patterns;
  while (lines.size() < 64) {
    std::string line = Text(random, kLineBytes, ' ');
    std::string copy = line;
    if (mc.Scan(copy, 0, "bench", 0, 0).Pass && copy == line) lines.push_back(line);
  }
  while (patterns.size() < 64) {
    std::string pattern = Text(random, 24, '$');
    if (search.Scan(pattern, 0) == nullptr) patterns.push_back(pattern);
  }

  std::size_t i = 0;
  std::string buffer;
  int passed = 0;
  const double mcNanos = NanosPerRun(runs, [&] {
    buffer = lines[i++ % lines.size()];
    passed += mc.Scan(buffer, 0, "bench", 0, 0).Pass ? 1 : 0;
  });
  i = 0;
  const double searchNanos = NanosPerRun(runs * 20, [&] {
    passed += search.Scan(patterns[i++ % patterns.size()], 0) == nullptr ? 1 : 0;
  });

  std::printf("items %d, runs %d (%d passed)\n", kItems, runs, passed);
  std::printf("main-chat Scan, %zu-byte line   %9.1f ns per line\n", kLineBytes, mcNanos);
  std::printf("search Scan, 24-byte pattern       %9.1f ns per search\n", searchNanos);
  return 0;
}
