#include "core/com_port.h"

#include <utility>

#include "base/exceptions.h"

namespace {

constexpr const char* kIllegalTerminator =
    "Illegal terminator string.\rformat : #<asciicode>#<asciicode>#<...>\rexample: #13#10";

// One turn reads at most this much, so a flooding device leaves the loop
// time for the hub.
constexpr std::size_t kReadPerTurn = 16384;

}  // namespace

std::string ParseTerminator(std::string_view text) {
  std::string bytes;
  if (!text.empty()) text.remove_prefix(1);  // the leading "#"
  while (!text.empty()) {
    const std::size_t hash = text.find('#');
    const std::string_view piece = text.substr(0, hash);
    text = hash == std::string_view::npos ? std::string_view() : text.substr(hash + 1);
    // A byte's code: one to three digits, at most 255.
    if (piece.empty() || piece.size() > 3) throw EComError(kIllegalTerminator);
    int code = 0;
    for (const char c : piece) {
      if (c < '0' || c > '9') throw EComError(kIllegalTerminator);
      code = code * 10 + (c - '0');
    }
    if (code > 255) throw EComError(kIllegalTerminator);
    bytes.push_back(static_cast<char>(code));
  }
  if (bytes.empty()) throw EComError("Terminator string cannot be empty!");
  return bytes;
}

std::string FormatTerminator(std::string_view bytes) {
  std::string text;
  for (const char c : bytes) {
    text.push_back('#');
    text += std::to_string(static_cast<unsigned char>(c));
  }
  return text;
}

TComPort::TComPort(EventLoop& loop) : loop_(loop) {}

TComPort::~TComPort() {
  // No notification from a half-destroyed owner.
  OnPortClose = nullptr;
  Close();
}

void TComPort::SetTerminator(std::string_view text) {
  try {
    terminator_ = ParseTerminator(text);
  } catch (const EComError&) {
    // An empty terminator would never end a line: every byte would be lost.
    terminator_ = "\r\n";
    throw;
  }
}

void TComPort::Open() {
  if (open_) return;
  std::string error;
  TSerialPort device;
  const TSerialLine line{Baud, DataBits, static_cast<std::uint8_t>(Parity),
                         static_cast<std::uint8_t>(StopBits)};
  if (!device.Open(Port, error) || !device.Configure(line, error))
    throw EComError("TCOMPORT : cannot open " + Port + "\r" + error);
  device_ = std::move(device);
  receiveBuffer_.clear();
  sendQueue_.clear();
  skipping_ = false;
  lost_ = false;
  open_ = true;
  watch_ = loop_.Watch(device_.Fd(), ioRead, [this](unsigned events) { OnReady(events); });
  if (OnPortOpen) OnPortOpen(*this);
}

void TComPort::Close() {
  if (!open_) return;
  open_ = false;
  watch_.Remove();
  device_.Close();
  receiveBuffer_.clear();
  sendQueue_.clear();
  if (OnPortClose) OnPortClose(*this);
}

void TComPort::Write(std::string_view text) {
  if (!open_ || lost_) return;
  const std::size_t room = kMaxQueuedWrite - sendQueue_.size();
  sendQueue_.append(text.substr(0, room));
  FlushSend();
}

void TComPort::FlushSend() {
  if (!sendQueue_.empty()) {
    std::size_t written = 0;
    const TSerialIo result = device_.Write(sendQueue_, written);
    sendQueue_.erase(0, written);
    if (result == TSerialIo::kClosed || result == TSerialIo::kError) {
      LineLost();
      return;
    }
  }
  UpdateInterest();
}

void TComPort::UpdateInterest() {
  if (open_ && !lost_) watch_.SetInterest(ioRead | (sendQueue_.empty() ? 0u : ioWrite));
}

void TComPort::LineLost() {
  if (lost_) return;
  lost_ = true;
  sendQueue_.clear();
  // Level-triggered readiness of a dead line would fire on every turn.
  watch_.SetInterest(0);
  if (OnError) OnError(*this);
}

void TComPort::OnReady(unsigned events) {
  if (events & ioWrite) {
    FlushSend();
    if (!open_ || lost_) return;
  }
  if (events & (ioRead | ioHangUp | ioError)) {
    std::string data;
    TSerialIo result = TSerialIo::kDone;
    while (data.size() < kReadPerTurn) {
      result = device_.Read(data, kReadPerTurn - data.size());
      if (result != TSerialIo::kDone) break;
    }
    if (!data.empty()) HandleReceived(std::move(data));
    if (!open_) return;
    if (result == TSerialIo::kClosed || result == TSerialIo::kError) LineLost();
  }
}

void TComPort::HandleReceived(std::string data) {
  if (!ReceiveCallBack) return;
  if (ReceiveMode == rmRAW) {
    ReceiveCallBack(data);
    return;
  }
  receiveBuffer_ += data;
  const std::size_t keep = terminator_.size() - 1;  // a terminator split over two reads
  if (skipping_) {
    const std::size_t end = receiveBuffer_.find(terminator_);
    if (end == std::string::npos) {
      receiveBuffer_.erase(0, receiveBuffer_.size() - std::min(keep, receiveBuffer_.size()));
      return;
    }
    receiveBuffer_.erase(0, end + terminator_.size());
    skipping_ = false;
  }
  // Every complete line of the read, in order; a callback may close the port.
  std::size_t start = 0;
  while (open_) {
    const std::size_t end = receiveBuffer_.find(terminator_, start);
    if (end == std::string::npos) break;
    const std::size_t next = end + terminator_.size();
    std::string line = receiveBuffer_.substr(start, next - start);
    start = next;
    ReceiveCallBack(line);
  }
  if (!open_) return;
  receiveBuffer_.erase(0, start);
  if (receiveBuffer_.size() > kMaxPendingLine) {
    receiveBuffer_.erase(0, receiveBuffer_.size() - keep);
    skipping_ = true;
  }
}
