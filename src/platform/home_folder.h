#pragma once

#include <string>

// Creates the home folder when missing, makes it the working directory and
// returns its absolute path without a trailing '/', so the relative paths
// scripts use (io.open, dofile, pictures) mean the hub's folder. Throws
// std::runtime_error when it cannot.
std::string EnterHomeFolder(const std::string& home);
