#include "utils/string_list.h"

#include <algorithm>

#include "utils/growth.h"

namespace {
const std::string kEmpty;
}

TStringList::TStringList(int capacity) : capacity_(std::max(capacity, 1)) {
  items_.reserve(static_cast<std::size_t>(capacity_));
}

void TStringList::GrowIfFull() {
  if (Count() < capacity_) return;
  SetCapacity(GrowCapacity(capacity_));
}

void TStringList::Add(std::string s) { AddObject(std::move(s), nullptr); }

void TStringList::AddObject(std::string s, void* object) {
  GrowIfFull();
  items_.emplace_back(std::move(s), object);
}

void TStringList::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  items_.erase(items_.begin() + index);
}

void TStringList::Clear() { items_.clear(); }

void TStringList::Split(std::string_view text, char separator) {
  Clear();
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == separator) {
      ++pos;
      continue;
    }
    std::size_t end = text.find(separator, pos);
    if (end == std::string_view::npos) end = text.size();
    Add(std::string(text.substr(pos, end - pos)));
    pos = end;
  }
}

std::string TStringList::Join(int first, int last) const {
  const int lastIndex = Count() - 1;
  if (last < 0 || last > lastIndex) last = lastIndex;
  if (first < 0) first = 0;
  if (first > last) return {};
  std::string out = items_[static_cast<std::size_t>(first)].first;
  for (int i = first + 1; i <= last; ++i) {
    out += Delimiter;
    out += items_[static_cast<std::size_t>(i)].first;
  }
  return out;
}

const std::string& TStringList::Get(int index) const {
  if (index < 0 || index >= Count()) return kEmpty;
  return items_[static_cast<std::size_t>(index)].first;
}

void* TStringList::GetObject(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[static_cast<std::size_t>(index)].second;
}

void TStringList::Put(int index, std::string s) {
  if (index < 0 || index >= Count()) return;
  items_[static_cast<std::size_t>(index)].first = std::move(s);
}

void TStringList::SetCapacity(int n) {
  if (n <= capacity_) return;
  capacity_ = n;
  items_.reserve(static_cast<std::size_t>(n));
}
