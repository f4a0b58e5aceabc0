#pragma once

#include <string>
#include <vector>

// Bisection over a list sorted without regard to case: the index of `text`
// with `found` true, or the index where it would be inserted with `found`
// false.
int FindSortedString(const std::vector<std::string>& sorted, const std::string& text,
                     bool& found);
