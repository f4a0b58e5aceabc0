#include "gui/gui_utils.h"

#include "base/case_tables.h"

int FindSortedString(const std::vector<std::string>& sorted, const std::string& text,
                     bool& found) {
  found = false;
  int low = 0;
  int high = static_cast<int>(sorted.size()) - 1;
  while (low <= high) {
    const int middle = low + (high - low) / 2;
    const int order = CompareTextNilSafe(&sorted[static_cast<std::size_t>(middle)], &text);
    if (order < 0) {
      low = middle + 1;
    } else if (order > 0) {
      high = middle - 1;
    } else {
      found = true;
      return middle;
    }
  }
  return low;
}
