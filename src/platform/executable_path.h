#pragma once

#include <string>

// The absolute path of the running executable (from /proc/self/exe).
// Throws EKavroException when the kernel does not tell.
std::string ExecutablePath();
