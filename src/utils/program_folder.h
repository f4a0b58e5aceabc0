#pragma once

#include <string>
#include <string_view>

// The program's home folder: every file the hub reads or writes lives in one
// of the fixed sub-folders below it. Set once at start (from --home) before
// any other thread runs; read-only afterwards.

inline constexpr std::string_view kSettingsFolder = "settings";
inline constexpr std::string_view kLanguageFolder = "language";
inline constexpr std::string_view kScriptsFolder = "scripts";
inline constexpr std::string_view kCertFolder = "cert";
inline constexpr std::string_view kFeedFolder = "feed";
inline constexpr std::string_view kImageFolder = "image";

// Makes `folder` the home, as an absolute path ending in '/'. A relative
// folder is taken from the current directory now, so a later change of
// directory does not move the home. Throws EKavroException for "".
void SetProgramFolder(std::string_view folder);

// The home with its trailing '/'; until set, the executable's folder.
const std::string& ProgramFolder();

// "<home>/<folder>/<file>"; an empty folder gives "<home>/<file>".
std::string ProgramPath(std::string_view folder, std::string_view file);

// The folder of a path, with its trailing '/' ("/usr/bin/kavrod" gives
// "/usr/bin/"; a bare file name gives "./").
std::string FolderOf(std::string_view path);
