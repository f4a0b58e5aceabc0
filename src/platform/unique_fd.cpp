#include "platform/unique_fd.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

TUniqueFd& TUniqueFd::operator=(TUniqueFd&& other) noexcept {
  if (this != &other) Reset(other.Release());
  return *this;
}

int TUniqueFd::Release() { return std::exchange(fd_, -1); }

void TUniqueFd::Reset(int fd) {
  // close() may report EINTR, but the descriptor is gone either way on Linux:
  // never close it twice.
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

bool TUniqueFd::Close() {
  if (fd_ < 0) return true;
  const int rc = ::close(std::exchange(fd_, -1));
  return rc == 0 || errno == EINTR;
}
