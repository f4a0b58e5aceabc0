#pragma once

#include <string>
#include <string_view>

class TReadBuffer;
class TWriteBuffer;

// Appends `text`, then enough tabs to reach tab stop `column` in a client's
// proportional font (48 width units to a stop). False, with no tabs, when the
// text already reaches past that stop; the text is appended either way.
bool AppendTabPadded(std::string_view text, TWriteBuffer& buffer, int column);

// Bytes first..last of the buffer from the start of word n (0-based, words
// split at runs of spaces) to `last`; "" when the range is invalid or holds
// fewer than n + 1 words. Commands use it for "the rest of the line".
std::string GetTextFromWord(const TReadBuffer& buffer, int n, int first, int last);
