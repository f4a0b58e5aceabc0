#include "platform/serial_port.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace {

std::string ErrnoText(int err) { return std::strerror(err); }

bool ToSpeed(std::uint32_t baud, speed_t& speed) {
  static constexpr std::pair<std::uint32_t, speed_t> kSpeeds[] = {
      {110, B110},       {300, B300},       {600, B600},       {1200, B1200},
      {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},
      {38400, B38400},   {57600, B57600},   {115200, B115200}, {230400, B230400},
      {460800, B460800}, {921600, B921600},
  };
  for (const auto& [rate, code] : kSpeeds) {
    if (rate == baud) {
      speed = code;
      return true;
    }
  }
  return false;
}

// "ttyUSB10" after "ttyUSB9": the prefix by bytes, then the number.
bool PortNameLess(const std::string& a, const std::string& b) {
  auto split = [](const std::string& s) {
    std::size_t i = s.size();
    while (i > 0 && s[i - 1] >= '0' && s[i - 1] <= '9') --i;
    return std::pair<std::string, std::string>(s.substr(0, i), s.substr(i));
  };
  const auto [pa, na] = split(a);
  const auto [pb, nb] = split(b);
  if (pa != pb) return pa < pb;
  if (na.size() != nb.size()) return na.size() < nb.size();
  return na < nb;
}

}  // namespace

bool TSerialPort::Open(const std::string& path, std::string& error) {
  Close();
  TUniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.IsOpen()) {
    error = ErrnoText(errno);
    return false;
  }
  if (!isatty(fd.Get())) {
    error = ErrnoText(ENOTTY);
    return false;
  }
  // Not shared, as a port opened by another program would fight over bytes.
  if (ioctl(fd.Get(), TIOCEXCL) != 0) {
    error = ErrnoText(errno);
    return false;
  }
  termios tio{};
  if (tcgetattr(fd.Get(), &tio) != 0) {
    error = ErrnoText(errno);
    return false;
  }
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSTOPB | PARENB | CSIZE);
  tio.c_cflag |= CS8;
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  cfsetispeed(&tio, B9600);
  cfsetospeed(&tio, B9600);
  if (tcsetattr(fd.Get(), TCSANOW, &tio) != 0) {
    error = ErrnoText(errno);
    return false;
  }
  tcflush(fd.Get(), TCIOFLUSH);
  // A pseudo-terminal has no modem lines and refuses this; nothing is lost.
  int lines = TIOCM_DTR | TIOCM_RTS;
  (void)ioctl(fd.Get(), TIOCMBIC, &lines);
  fd_ = std::move(fd);
  lastError_.clear();
  return true;
}

bool TSerialPort::Configure(const TSerialLine& line, std::string& error) {
  if (!IsOpen()) {
    error = ErrnoText(EBADF);
    return false;
  }
  termios tio{};
  if (tcgetattr(fd_.Get(), &tio) != 0) {
    error = ErrnoText(errno);
    return false;
  }
  speed_t speed = B9600;
  if (!ToSpeed(line.Baud, speed)) {
    error = "Unsupported baud rate " + std::to_string(line.Baud);
    return false;
  }
  tcflag_t size = CS8;
  switch (line.DataBits) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default:
      error = "Unsupported data bits " + std::to_string(line.DataBits);
      return false;
  }
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
  tio.c_cflag |= size;
  switch (line.Parity) {
    case 0: break;
    case 1: tio.c_cflag |= PARENB | PARODD; break;
    case 2: tio.c_cflag |= PARENB; break;
    case 3: tio.c_cflag |= PARENB | CMSPAR | PARODD; break;  // mark
    case 4: tio.c_cflag |= PARENB | CMSPAR; break;           // space
    default:
      error = "Unsupported parity " + std::to_string(line.Parity);
      return false;
  }
  // One and a half stop bits exist only with five data bits, where the
  // hardware gives them for the two-stop-bit setting.
  switch (line.StopBits) {
    case 0: break;
    case 1:
    case 2: tio.c_cflag |= CSTOPB; break;
    default:
      error = "Unsupported stop bits " + std::to_string(line.StopBits);
      return false;
  }
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
  if (tcsetattr(fd_.Get(), TCSANOW, &tio) != 0) {
    error = ErrnoText(errno);
    return false;
  }
  return true;
}

void TSerialPort::Close() {
  if (fd_.IsOpen()) ioctl(fd_.Get(), TIOCNXCL);
  fd_.Reset();
}

TSerialIo TSerialPort::Read(std::string& out, std::size_t limit) {
  if (!IsOpen()) return TSerialIo::kClosed;
  const std::size_t old = out.size();
  out.resize(old + limit);
  ssize_t n;
  do {
    n = ::read(fd_.Get(), out.data() + old, limit);
  } while (n < 0 && errno == EINTR);
  if (n > 0) {
    out.resize(old + static_cast<std::size_t>(n));
    return TSerialIo::kDone;
  }
  out.resize(old);
  if (n == 0) return TSerialIo::kClosed;
  if (errno == EAGAIN || errno == EWOULDBLOCK) return TSerialIo::kWouldBlock;
  // The far side of a pseudo-terminal closing, or an unplugged adapter.
  if (errno == EIO || errno == ENXIO || errno == ENODEV) return TSerialIo::kClosed;
  lastError_ = ErrnoText(errno);
  return TSerialIo::kError;
}

TSerialIo TSerialPort::Write(std::string_view data, std::size_t& written) {
  written = 0;
  if (!IsOpen()) return TSerialIo::kClosed;
  while (written < data.size()) {
    const ssize_t n = ::write(fd_.Get(), data.data() + written, data.size() - written);
    if (n > 0) {
      written += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
      return written > 0 ? TSerialIo::kDone : TSerialIo::kWouldBlock;
    if (n < 0 && (errno == EIO || errno == ENXIO || errno == ENODEV)) return TSerialIo::kClosed;
    lastError_ = ErrnoText(n < 0 ? errno : EIO);
    return TSerialIo::kError;
  }
  return TSerialIo::kDone;
}

std::vector<std::string> TSerialPort::ListPorts(const std::string& devDir) {
  std::vector<std::string> names;
  DIR* dir = opendir(devDir.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = readdir(dir)) {
    const std::string_view name = entry->d_name;
    for (const std::string_view prefix : {"ttyS", "ttyUSB", "ttyACM"}) {
      if (name.size() > prefix.size() && name.substr(0, prefix.size()) == prefix &&
          std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                      [](char c) { return c >= '0' && c <= '9'; })) {
        names.emplace_back(name);
        break;
      }
    }
  }
  closedir(dir);
  std::sort(names.begin(), names.end(), PortNameLess);
  for (auto& n : names) n = devDir + "/" + n;
  return names;
}
