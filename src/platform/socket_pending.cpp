#include "platform/socket_pending.h"

#include <poll.h>
#include <sys/ioctl.h>

#include <cerrno>

TPendingInput SocketPendingInput(int fd) {
  TPendingInput result;
  if (fd < 0) {
    result.Failed = true;
    return result;
  }
  pollfd entry{};
  entry.fd = fd;
  entry.events = POLLIN;
  int ready = 0;
  do {
    ready = poll(&entry, 1, 0);
  } while (ready < 0 && errno == EINTR);
  if (ready < 0) {
    result.Failed = true;
    return result;
  }
  if (ready == 0) return result;
  result.Readable = true;
  int count = 0;
  if (ioctl(fd, FIONREAD, &count) != 0) {
    result.Failed = true;
    return result;
  }
  result.Bytes = count;
  return result;
}
