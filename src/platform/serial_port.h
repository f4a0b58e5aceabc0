#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/unique_fd.h"

// Line settings of a serial port. Parity and stop-bit codes follow the
// Windows serial API's numbering (none, odd, even, mark, space; one, one and
// a half, two), which the component's enums share.
struct TSerialLine {
  std::uint32_t Baud = 9600;
  std::uint8_t DataBits = 8;
  std::uint8_t Parity = 0;
  std::uint8_t StopBits = 0;
};

// What a read or a write of the port came to. Expected conditions are values,
// never exceptions.
enum class TSerialIo : std::uint8_t {
  kDone,        // bytes moved (possibly fewer than asked for a write)
  kWouldBlock,  // nothing to read / no room to write now
  kClosed,      // the line is gone (hang-up, device unplugged)
  kError,       // any other failure; see LastError()
};

// An open serial device (a terminal device: a real port, a USB adapter or a
// pseudo-terminal). Owns the descriptor; it is non-blocking, so the caller
// watches it for readiness. Used by one thread.
class TSerialPort {
 public:
  TSerialPort() = default;
  TSerialPort(TSerialPort&&) noexcept = default;
  TSerialPort& operator=(TSerialPort&&) noexcept = default;

  // Opens `path` exclusively, raw 9600 8N1 without flow control, both queues
  // flushed, DTR and RTS dropped. False with `error` set to the system's text
  // when the device cannot be opened or is not a terminal.
  bool Open(const std::string& path, std::string& error);
  // Applies baud, data bits (5..8), parity and stop bits. False with `error`
  // set when the device refuses them or a value has no terminal equivalent.
  bool Configure(const TSerialLine& line, std::string& error);
  void Close();

  bool IsOpen() const { return fd_.IsOpen(); }
  int Fd() const { return fd_.Get(); }

  // Appends what is waiting (at most `limit` bytes) to `out`.
  TSerialIo Read(std::string& out, std::size_t limit = 4096);
  // Writes what the device takes now; `written` tells how much.
  TSerialIo Write(std::string_view data, std::size_t& written);

  const std::string& LastError() const { return lastError_; }

  // The serial devices present under `devDir`: ttyS*, ttyUSB* and ttyACM*,
  // sorted by name with numbers in numeric order.
  static std::vector<std::string> ListPorts(const std::string& devDir = "/dev");

 private:
  TUniqueFd fd_;
  std::string lastError_;
};
