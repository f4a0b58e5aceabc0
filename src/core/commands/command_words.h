#pragma once

#include <optional>
#include <string_view>

// The whole word as a decimal int; nothing for anything else (empty, a
// sign other than '-', trailing text, out of range).
std::optional<int> WholeInt(std::string_view word);

// A list offset: a non-number keeps 0, a negative one is 0.
int OffsetWord(std::string_view word);
