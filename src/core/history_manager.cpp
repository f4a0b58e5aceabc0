#include "core/history_manager.h"

#include <algorithm>

#include "platform/local_clock.h"
#include "settings/language.h"
#include "utils/string_loop.h"
#include "utils/text_format.h"

THistoryManager::THistoryManager(TLanguage& language, TClock clock)
    : language_(language), clock_(clock ? std::move(clock) : TClock([] { return NowLocal(); })) {
  Resize(kInitialCapacity, kInitialDefaultCount);
}

THistoryManager::~THistoryManager() = default;

void THistoryManager::Resize(int capacity, int defaultCount) {
  lines_.reset();
  capacity_ = std::max(capacity, 0);
  if (capacity_ > 0) lines_ = std::make_unique<TStringLoop>(capacity_);
  defaultCount_ = std::clamp(defaultCount, 0, capacity_);
}

void THistoryManager::Add(std::string_view line) {
  if (!lines_) return;
  std::string entry;
  entry.reserve(line.size() + 11);
  entry += '[';
  entry += FormatTime(clock_());
  entry += "] ";
  entry += line;
  lines_->Add(std::move(entry));
}

int THistoryManager::Count() const { return lines_ ? lines_->GetCount() : 0; }

std::string_view THistoryManager::BuildHistory(int count) {
  answer_.Clear(false);
  const int stored = Count();
  if (stored == 0) {
    answer_.AppendString(language_.Text(TLanguageKey::HistoryNoMainchatEntries));
    return answer_.View();
  }
  if (count == 0) count = defaultCount_;
  count = std::clamp(count, 0, stored);
  answer_.AppendString(FormatText(language_.Text(TLanguageKey::HistoryShowingLines), count));
  answer_.AppendString("\r\n");
  for (int i = stored - count; i < stored; ++i) {
    answer_.AppendString(lines_->GetItem(i));
    answer_.AppendString("\r\n");
  }
  return answer_.View();
}
