#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Folder listings and bounded file reads for the scans that look into many
// small files (the language folder). Failures are return values: a file that
// cannot be read is simply left out by the caller.

// Names of the regular files directly inside `folder` whose names end in
// `extension` (compared case-insensitively, as an operator copying files
// from another system expects ".XML" to count), symbolic links followed.
// Sorted bytewise, so every file system yields the same order. nullopt when
// the folder cannot be opened.
std::optional<std::vector<std::string>> ListFilesByExtension(const std::string& folder,
                                                             std::string_view extension);

// Reads at most `limit` bytes from the start of the regular file at `path`
// into `out` (replaced). False when the file is missing, is not a regular
// file or cannot be read; `out` is then empty. Never blocks on a FIFO.
bool ReadFilePrefix(const std::string& path, std::size_t limit, std::string& out);
