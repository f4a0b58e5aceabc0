// Builds a plain and a wildcard pattern list from the first part of the input
// (one pattern a line, up to an empty line) and matches each later line
// against both, checking the answers against a plain scan of the patterns.
// A later line that starts with byte 0 deletes a pattern instead.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/case_tables.h"
#include "base/exceptions.h"
#include "utils/pattern_list.h"
#include "utils/wild_pattern_list.h"

namespace {

struct TPattern {
  std::string Text;
  bool Listed = false;
};

// Whether `key` matches `text` at `at`, ignoring case; '?' in the key takes
// any character when `wild`.
bool KeyAt(std::string_view key, std::string_view text, std::size_t at, bool wild) {
  if (at + key.size() > text.size()) return false;
  for (std::size_t i = 0; i < key.size(); ++i) {
    if (wild && key[i] == '?') continue;
    if (LowerChar(key[i]) != LowerChar(text[at + i])) return false;
  }
  return true;
}

bool Matches(std::string_view pattern, std::string_view text, bool wild) {
  const TPatternRoute route = RoutePattern(pattern);
  const std::string_view key = route.key;
  switch (route.kind) {
    case TPatternKind::Exact:
      return key.size() == text.size() && KeyAt(key, text, 0, wild);
    case TPatternKind::Prefix:
      return KeyAt(key, text, 0, wild);
    case TPatternKind::Suffix:
      return key.size() <= text.size() && KeyAt(key, text, text.size() - key.size(), wild);
    case TPatternKind::Infix:
      for (std::size_t at = 0; at + key.size() <= text.size(); ++at)
        if (KeyAt(key, text, at, wild)) return true;
      return false;
    case TPatternKind::Refused:
      break;
  }
  return false;
}

template <typename List>
class TChecked {
 public:
  TChecked(bool wild, bool caseSensitive) : list_(4, caseSensitive), wild_(wild) {}

  void Add(const std::vector<std::string_view>& lines) {
    patterns_.resize(lines.size());
    ids_.resize(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
      ids_[i] = i;
      patterns_[i].Text = std::string(lines[i]);
      patterns_[i].Listed = list_.Add(lines[i], &ids_[i]);
    }
  }

  void Delete(unsigned char which) {
    if (list_.Count() == 0) return;
    const int index = which % list_.Count();
    patterns_[*list_.GetObject(index)].Listed = false;
    list_.Delete(index);
  }

  void Check(std::string_view text) const {
    bool any = false;
    for (const TPattern& p : patterns_) any = any || (p.Listed && Matches(p.Text, text, wild_));
    const std::size_t* found = list_.Match(text);
    KAVRO_CHECK((found != nullptr) == any, "Match disagrees with a scan of the patterns");
    if (found != nullptr)
      KAVRO_CHECK(Answers(*found, text), "Match returned a pattern that misses");

    std::vector<std::size_t*> all;
    list_.MatchAll(text, all);
    KAVRO_CHECK(all.empty() == !any, "MatchAll disagrees with Match");
    std::vector<bool> seen(patterns_.size(), false);
    for (const std::size_t* id : all) {
      KAVRO_CHECK(Answers(*id, text), "MatchAll returned a pattern that misses");
      seen[*id] = true;
    }
    if (wild_) return;  // a wildcard lookup may stop at its preferred branch
    for (std::size_t i = 0; i < patterns_.size(); ++i)
      if (patterns_[i].Listed && Matches(patterns_[i].Text, text, false))
        KAVRO_CHECK(seen[i], "MatchAll left out a matching pattern");
  }

 private:
  bool Answers(std::size_t id, std::string_view text) const {
    return id < patterns_.size() && patterns_[id].Listed &&
           Matches(patterns_[id].Text, text, wild_);
  }

  List list_;
  bool wild_;
  std::vector<TPattern> patterns_;
  std::vector<std::size_t> ids_;
};

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool caseSensitive = (data[0] & 1) != 0;
  const std::vector<std::string_view> lines =
      SplitLines(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  std::size_t split = 0;
  while (split < lines.size() && !lines[split].empty()) ++split;
  const std::vector<std::string_view> patterns(lines.begin(), lines.begin() + split);

  TChecked<TPatternList<std::size_t>> plain(false, caseSensitive);
  TChecked<TWildPatternList<std::size_t>> wild(true, caseSensitive);
  plain.Add(patterns);
  wild.Add(patterns);
  for (std::size_t i = split + 1; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (!line.empty() && line[0] == '\0') {
      const unsigned char which = line.size() > 1 ? static_cast<unsigned char>(line[1]) : 0;
      plain.Delete(which);
      wild.Delete(which);
      continue;
    }
    plain.Check(line);
    wild.Check(line);
  }
  return 0;
}
