#include "utils/hash_list.h"

#include "base/case_tables.h"

std::uint32_t HashListKey(std::string_view key, bool caseSensitive) {
  std::uint32_t h = 0;
  if (caseSensitive) {
    for (const char c : key) h = (h * 9u) ^ static_cast<unsigned char>(c);
  } else {
    for (const char c : key) h = (h * 9u) ^ LowerChar(c);
  }
  return h;
}

bool SameHashListKey(std::string_view a, std::string_view b, bool caseSensitive) {
  return caseSensitive ? a == b : SameText(a, b);
}

void THashChains::Reset(int bucketCount, int capacity) {
  KAVRO_CHECK(bucketCount > 0 && capacity >= 0, "THashChains.Reset sizes");
  heads_.assign(static_cast<std::size_t>(bucketCount), -1);
  next_.assign(static_cast<std::size_t>(capacity), -1);
}

void THashChains::ClearChains() { std::fill(heads_.begin(), heads_.end(), -1); }

void THashChains::PushFront(std::size_t bucket, int index) {
  next_[static_cast<std::size_t>(index)] = heads_[bucket];
  heads_[bucket] = index;
}

// The link (chain head or a predecessor's next) that points at `index`.
int& THashChains::LinkTo(std::size_t bucket, int index) {
  int* link = &heads_[bucket];
  while (*link != index) {
    KAVRO_CHECK(*link >= 0, "THashChains index missing from its chain");
    link = &next_[static_cast<std::size_t>(*link)];
  }
  return *link;
}

void THashChains::Unlink(std::size_t bucket, int index) {
  LinkTo(bucket, index) = next_[static_cast<std::size_t>(index)];
  next_[static_cast<std::size_t>(index)] = -1;
}

void THashChains::Renumber(std::size_t bucket, int from, int to) {
  LinkTo(bucket, from) = to;
  next_[static_cast<std::size_t>(to)] = next_[static_cast<std::size_t>(from)];
  next_[static_cast<std::size_t>(from)] = -1;
}
