#pragma once

#include <string>
#include <string_view>

// Appends `bytes` to the end of the file at `path`, creating the file when
// it is missing (never its folder), and closes it at once, so another
// program may rotate or read the file between two calls. One write of the
// whole text under O_APPEND: concurrent appenders do not interleave inside
// a line. False on any failure (folder missing, disk full, no permission);
// never throws.
bool AppendToFile(const std::string& path, std::string_view bytes) noexcept;
