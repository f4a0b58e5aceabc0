#include "platform/executable_path.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/exceptions.h"

std::string ExecutablePath() {
  // readlink does not say how long the target is: grow until it fits.
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) throw EKavroException("ExecutablePath", std::strerror(errno));
    if (static_cast<std::size_t>(n) < buffer.size()) {
      return std::string(buffer.data(), static_cast<std::size_t>(n));
    }
    if (buffer.size() >= 65536) throw EKavroException("ExecutablePath", "path too long");
    buffer.resize(buffer.size() * 2);
  }
}
