#include "platform/append_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace {

// Owns one descriptor for the length of one append.
class TAppendDescriptor {
 public:
  explicit TAppendDescriptor(int fd) : fd_(fd) {}
  TAppendDescriptor(const TAppendDescriptor&) = delete;
  TAppendDescriptor& operator=(const TAppendDescriptor&) = delete;
  ~TAppendDescriptor() { Close(); }

  int Get() const { return fd_; }

  bool Close() {
    if (fd_ < 0) return true;
    const int rc = ::close(std::exchange(fd_, -1));
    return rc == 0 || errno == EINTR;
  }

 private:
  int fd_;
};

}  // namespace

bool AppendToFile(const std::string& path, std::string_view bytes) noexcept {
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  TAppendDescriptor file(fd);

  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(file.Get(), data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  return file.Close();
}
