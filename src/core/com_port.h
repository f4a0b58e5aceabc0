#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/event_loop.h"
#include "platform/serial_port.h"

// Codes as the Windows serial API numbers them.
enum TParity : std::uint8_t { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum TStopBit : std::uint8_t { sbONE, sbONE5, snTWO };
enum TReceiveMode : std::uint8_t { rmRAW, rmTERM };

// Reads the terminator text "#13#10" (a "#" and a decimal byte code,
// repeated) into its bytes. Throws EComError for a piece that is not a code
// of 0..255 and for an empty result.
std::string ParseTerminator(std::string_view text);
// The text form of terminator bytes: "#" and the decimal code of each.
std::string FormatTerminator(std::string_view bytes);

// The serial control line's port: opens the device named by Port, watches it
// on the main thread's loop and hands received text to ReceiveCallBack, whole
// lines in rmTERM mode. Owns the device and the receive and send queues; does
// not own the loop. Main thread only.
class TComPort {
 public:
  using TReceiveProc = std::function<void(const std::string&)>;
  using TNotifyEvent = std::function<void(TComPort&)>;

  // Text waiting for a terminator beyond this is dropped with the rest of
  // its line, so a talkative device without line ends cannot fill memory.
  static constexpr std::size_t kMaxPendingLine = 4096;
  // Bytes waiting for the device to take them; more are dropped.
  static constexpr std::size_t kMaxQueuedWrite = 65536;

  explicit TComPort(EventLoop& loop);
  ~TComPort();
  TComPort(const TComPort&) = delete;
  TComPort& operator=(const TComPort&) = delete;

  std::string Port = "/dev/ttyS0";
  std::uint32_t Baud = 9600;
  std::uint8_t DataBits = 8;
  TParity Parity = ptNONE;
  TStopBit StopBits = sbONE;
  // The driver's queue sizes on Windows; a terminal device has fixed queues,
  // so they are kept for the settings only.
  std::uint32_t WinQSizeIn = 8192;
  std::uint32_t WinQSizeOut = 8192;
  TReceiveMode ReceiveMode = rmTERM;

  TNotifyEvent OnPortOpen;
  TNotifyEvent OnPortClose;
  // The line went away (hang-up, unplugged adapter) or failed; the port stays
  // open until closed, but reads no more.
  TNotifyEvent OnError;
  TReceiveProc ReceiveCallBack;

  std::string Terminator() const { return FormatTerminator(terminator_); }
  // Throws EComError; an illegal or empty text leaves CR LF in force.
  void SetTerminator(std::string_view text);
  const std::string& TerminatorBytes() const { return terminator_; }

  // Throws EComError "TCOMPORT : cannot open <port>\r<reason>". Does nothing
  // when already open.
  void Open();
  void Close();
  bool Opened() const { return open_; }
  // Queues the text and writes what the device takes now; the rest goes out
  // when the device can take it. Nothing when closed.
  void Write(std::string_view text);

  std::size_t QueuedWriteBytes() const { return sendQueue_.size(); }

 private:
  void OnReady(unsigned events);
  void HandleReceived(std::string data);
  void FlushSend();
  void LineLost();
  void UpdateInterest();

  EventLoop& loop_;
  TSerialPort device_;
  TFdWatch watch_;
  bool open_ = false;
  bool lost_ = false;
  // Set while the rest of an over-long line is being skipped.
  bool skipping_ = false;
  std::string terminator_ = "\r\n";
  std::string receiveBuffer_;
  std::string sendQueue_;
};
