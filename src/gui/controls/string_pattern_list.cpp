#include "gui/controls/string_pattern_list.h"

#include <utility>

void TStringPatternList::SetText(const std::string& text) {
  if (text == text_) return;
  std::set<std::string> fresh;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = text.find(';', start);
    const std::size_t stop = end == std::string::npos ? text.size() : end;
    if (stop > start) fresh.insert(text.substr(start, stop - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (!OnAdded && !OnRemoved) {
    entries_.insert(fresh.begin(), fresh.end());
    text_ = text;
    return;
  }
  const std::set<std::string> old = std::exchange(entries_, fresh);
  text_ = text;
  for (const std::string& entry : old)
    if (!fresh.count(entry) && OnRemoved) OnRemoved(entry);
  for (const std::string& entry : fresh)
    if (!old.count(entry) && OnAdded) OnAdded(entry);
}
