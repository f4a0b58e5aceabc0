#pragma once

#include <string>
#include <string_view>

// Whole-file reads and crash-safe whole-file writes for the settings, language
// and feed files. Failures are return values: a caller that cannot read or
// write a file carries on with what it has.

// Reads the whole file into `out` (replaced). False when the file cannot be
// opened or read; `out` is then empty.
bool ReadFileBytes(const std::string& path, std::string& out);

// Replaces the file at `path` with `bytes` so that a crash or a full disk
// never leaves a half-written file: the bytes go to a temporary file in the
// same folder, which is flushed to disk and renamed over the target, and the
// folder is flushed too. A missing folder is created. On any failure the
// temporary file is removed, the old file stays as it was, and the result is
// false. An existing target keeps its permission bits. Temporary files of
// the same target left by writers that were killed are removed.
bool WriteFileAtomic(const std::string& path, std::string_view bytes);

// WriteFileAtomic for files that hold passwords: the file always ends up with
// mode 0600 (owner read and write only, whatever the umask or the old file's
// bits), and missing folders are created as CreatePrivateDirectories does.
bool WriteFileAtomicPrivate(const std::string& path, std::string_view bytes);

// True when `path` names an existing regular file.
bool FileExists(const std::string& path);

// Creates the folder `path` and any missing parents. True when the folder
// exists afterwards.
bool CreateDirectories(const std::string& path);

// CreateDirectories for folders that hold secrets: every folder it creates
// gets mode 0700; folders that exist already keep their mode.
bool CreatePrivateDirectories(const std::string& path);
