#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Byte counts as people read and type them: "1.50 KiB", "10 g".

// Below 1024 (and for negative counts) the integer and " B". Otherwise the
// count in the largest binary unit up to EiB that keeps it below 1024, rounded
// to five significant digits, written with two decimals and a '.' separator.
// Rounding can reach the next unit's threshold: 1048575 is "1024.00 KiB".
std::string FormatByteSize(std::int64_t bytes);
std::string FormatByteSize32(std::uint32_t bytes);

// Leading decimal digits, optional spaces, then an optional unit letter in any
// case (b, k, m, g, t, p; powers of 1024); anything after the letter is
// ignored ("10 GiB"). "" gives 0. No leading digits, another character in
// place of the letter, or a result beyond 64 bits gives -1.
std::int64_t ParseByteSize(std::string_view text);
