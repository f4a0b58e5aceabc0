#include "utils/bin_list.h"

#include <algorithm>
#include <cstddef>

#include "base/case_tables.h"

namespace {

int Fold(char c, bool caseSensitive) {
  return caseSensitive ? static_cast<unsigned char>(c) : UpperChar(c);
}

// Compares the first n characters in walk order (from the ends when
// `backward`); 0 when they agree.
template <bool Backward>
int CompareRun(std::string_view a, std::string_view b, std::size_t n, bool caseSensitive) {
  for (std::size_t i = 0; i < n; ++i) {
    const char ca = Backward ? a[a.size() - 1 - i] : a[i];
    const char cb = Backward ? b[b.size() - 1 - i] : b[i];
    const int diff = Fold(ca, caseSensitive) - Fold(cb, caseSensitive);
    if (diff != 0) return diff;
  }
  return 0;
}

template <bool Backward>
int CompareKeys(std::string_view searched, std::string_view stored, bool caseSensitive) {
  const int diff = CompareRun<Backward>(searched, stored, std::min(searched.size(), stored.size()),
                                        caseSensitive);
  if (diff != 0) return diff;
  if (stored.size() < searched.size()) return 1;
  return stored.size() > searched.size() ? -1 : 0;
}

// `rest` is the searched text without its wildcard: a stored key matches when
// it begins (ends) with it.
template <bool Backward>
int CompareAffix(std::string_view rest, std::string_view stored, bool caseSensitive) {
  const int diff =
      CompareRun<Backward>(rest, stored, std::min(rest.size(), stored.size()), caseSensitive);
  if (diff != 0) return diff;
  return stored.size() < rest.size() ? 1 : 0;
}

}  // namespace

int CompareKeysForward(std::string_view searched, std::string_view stored, bool caseSensitive) {
  return CompareKeys<false>(searched, stored, caseSensitive);
}

int CompareKeysBackward(std::string_view searched, std::string_view stored, bool caseSensitive) {
  return CompareKeys<true>(searched, stored, caseSensitive);
}

int CompareWildForward(std::string_view searched, std::string_view stored, char wildcard,
                       bool caseSensitive) {
  if (searched.empty() || searched.back() != wildcard)
    return CompareKeys<false>(searched, stored, caseSensitive);
  return CompareAffix<false>(searched.substr(0, searched.size() - 1), stored, caseSensitive);
}

int CompareWildBackward(std::string_view searched, std::string_view stored, char wildcard,
                        bool caseSensitive) {
  if (searched.empty() || searched.front() != wildcard)
    return CompareKeys<true>(searched, stored, caseSensitive);
  return CompareAffix<true>(searched.substr(1), stored, caseSensitive);
}
