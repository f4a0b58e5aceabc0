#include "core/shared_chain.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct TEntry {
  std::uint64_t id;
  std::string text;
  std::uint64_t version = 0;  // 0: compared by its bytes
};

std::string Walk(TSharedChain& chain, const std::vector<TEntry>& entries, int mark) {
  std::string all;
  chain.Begin();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    // Split in two pieces as the nick list gives them ("nick", "$$").
    const std::string& t = entries[i].text;
    chain.Add(entries[i].id, std::string_view(t).substr(0, t.size() / 2), std::string_view(t).substr(t.size() / 2),
              static_cast<int>(i) == mark, entries[i].version);
    all += t;
  }
  chain.Finish();
  return all;
}

std::string Joined(const TSharedChain& chain) {
  std::string all;
  for (const auto& block : chain.Blocks()) all += block->Text();
  return all;
}

// Random inserts, removals and changes (some to a text of the same size,
// which only a new version tells): the chain always spells the walk's
// text, marks the marked entry, and makes few blocks per change.
TEST(SharedChainTest, FollowsEveryChangeAndRemakesOnlyWhatChanged) {
  for (unsigned seed : {3u, 17u, 256u}) {
    std::mt19937 random(seed);
    TSharedChain chain(400);
    std::vector<TEntry> entries;
    std::uint64_t next = 1;
    std::uint64_t versions = 0;
    // Most entries carry versions, as "$MyINFO"s do; every fifth is compared.
    const auto versionOf = [&](std::uint64_t id) { return id % 5 == 0 ? 0 : ++versions; };
    for (int i = 0; i < 300; ++i) {
      entries.push_back({next, "$MyINFO $ALL u" + std::to_string(i) + " x|", versionOf(next)});
      ++next;
    }
    Walk(chain, entries, -1);
    for (int step = 0; step < 600; ++step) {
      const std::uint64_t madeBefore = chain.BlocksMade();
      const std::size_t at = random() % (entries.size() + 1);
      switch (random() % 4) {
        case 0:
          entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(at),
                         {next, "$MyINFO $ALL n" + std::to_string(next) + std::string(random() % 60, 'y') + "|",
                          versionOf(next)});
          ++next;
          break;
        case 1:
          if (at < entries.size()) entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(at));
          break;
        case 2:
          if (at < entries.size()) {
            entries[at].text = "$MyINFO $ALL c" + std::to_string(100 + random() % 900) + "|";
            if (entries[at].version != 0) entries[at].version = ++versions;
          }
          break;
        default:
          break;  // nothing changed: nothing is made
      }
      const int mark = entries.empty() ? -1 : static_cast<int>(random() % entries.size());
      const std::string expected = Walk(chain, entries, mark);
      ASSERT_EQ(Joined(chain), expected) << "seed " << seed << " step " << step;
      if (mark >= 0) {
        const TSharedChain::TPlace& place = chain.Marked();
        ASSERT_GE(place.block, 0);
        EXPECT_EQ(chain.Blocks()[static_cast<std::size_t>(place.block)]->Text().substr(
                      static_cast<std::size_t>(place.offset), static_cast<std::size_t>(place.length)),
                  entries[static_cast<std::size_t>(mark)].text);
      }
      EXPECT_LE(chain.BlocksMade() - madeBefore, 4u) << "seed " << seed << " step " << step;
      for (const auto& block : chain.Blocks()) EXPECT_LE(block->Size(), 2 * 400 + 200);
      // Blocks stay large: no run of small ones.
      for (std::size_t b = 1; b < chain.Blocks().size(); ++b)
        EXPECT_GE(chain.Blocks()[b - 1]->Size() + chain.Blocks()[b]->Size(), 400 / 4) << "seed " << seed;
    }
  }
}

// Entries arriving one by one at the end of the list (nicks in login order)
// grow the last block until it is full instead of making one block each.
TEST(SharedChainTest, AppendsAtTheEndFillTheLastBlock) {
  TSharedChain chain(1000);
  std::vector<TEntry> entries;
  for (int i = 0; i < 500; ++i) {
    entries.push_back({static_cast<std::uint64_t>(i + 1), "$MyINFO $ALL b" + std::to_string(10000 + i) + " x|"});
    const int mark = static_cast<int>(entries.size()) - 1;
    Walk(chain, entries, mark);
    const TSharedChain::TPlace& place = chain.Marked();
    ASSERT_GE(place.block, 0);
    EXPECT_EQ(chain.Blocks()[static_cast<std::size_t>(place.block)]->Text().substr(
                  static_cast<std::size_t>(place.offset), static_cast<std::size_t>(place.length)),
              entries.back().text);
  }
  std::string all;
  for (const auto& e : entries) all += e.text;
  EXPECT_EQ(Joined(chain), all);
  EXPECT_LE(chain.Blocks().size(), all.size() / 1000 + 1);
}

}  // namespace
