#include "bot.h"

#include <cstring>
#include <exception>

#include "core/protocol.h"
#include "mono_time.h"
#include "poller.h"

namespace {

constexpr std::size_t kReadChunk = 65536;
constexpr std::size_t kKeptCapacity = 16384;
constexpr std::string_view kZOn = "$ZOn";
constexpr std::string_view kLock = "$Lock ";
constexpr std::string_view kConnectToMe = "$ConnectToMe ";

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

std::string_view SupportsOf(TClientFlavor flavor) {
  switch (flavor) {
    case TClientFlavor::Eiskalt:
      return "$Supports UserCommand NoGetINFO NoHello UserIP2 TTHSearch ZPipe0 TLS |";
    case TClientFlavor::Ncdc:
      return "$Supports NoGetINFO NoHello UserIP2 TLS|";
    case TClientFlavor::Plain:
      break;
  }
  return {};  // an old client announces nothing
}

// "a.b.c.d" to a host-order address; 0 when malformed.
std::uint32_t ParseIp(std::string_view text) {
  std::uint32_t ip = 0;
  int parts = 0;
  std::uint32_t part = 0;
  int digits = 0;
  for (const char c : text) {
    if (c >= '0' && c <= '9' && digits < 3) {
      part = part * 10 + static_cast<std::uint32_t>(c - '0');
      ++digits;
    } else if (c == '.' && digits > 0 && part < 256 && parts < 3) {
      ip = ip << 8 | part;
      ++parts;
      part = 0;
      digits = 0;
    } else {
      return 0;
    }
  }
  if (parts != 3 || digits == 0 || part > 255) return 0;
  return ip << 8 | part;
}

}  // namespace

TBot::TBot(TBotContext& context, std::uint32_t index, std::uint32_t ip, TClientFlavor flavor,
           bool passive)
    : ctx_(context), index_(index), ip_(ip), flavor_(flavor), passive_(passive) {
  char text[16];
  FormatIp(ip, text, sizeof text);
  ipText_ = text;
}

bool TBot::Start(std::uint32_t generation) {
  nick_ = "user" + std::to_string(index_);
  if (generation > 0) nick_ += "r" + std::to_string(generation);
  plain_.clear();
  scanned_ = 0;
  out_.clear();
  wantWrite_ = true;  // writability reports the finished connect
  StartUs = NowUs();
  ConnectedUs = LockUs = HelloUs = OnlineUs = DrainedUs = 0;
  probe_.clear();
  if (!socket_.Connect(ip_, ctx_.HubIp, ctx_.HubPort)) {
    state_ = TBotState::Idle;
    return false;
  }
  state_ = TBotState::Connecting;
  ctx_.Poller.Add(socket_.Fd(), index_, true);
  return true;
}

void TBot::Drop() {
  if (socket_.IsOpen()) ctx_.Poller.Remove(socket_.Fd());
  socket_.Close();
  state_ = TBotState::Idle;
}

void TBot::Fail(std::string_view why) {
  const bool wasOpen = socket_.IsOpen();
  Drop();
  if (wasOpen) ctx_.Listener.OnLost(index_, why);
}

void TBot::OnConnected() {
  if (!socket_.ConnectSucceeded()) {
    Fail("connect failed");
    return;
  }
  ConnectedUs = NowUs();
  state_ = TBotState::WaitLock;
  Flush();
}

void TBot::OnWritable() {
  if (state_ == TBotState::Connecting) {
    OnConnected();
    return;
  }
  Flush();
}

void TBot::OnReadable() {
  char buffer[kReadChunk];
  for (int round = 0; round < 4 && socket_.IsOpen(); ++round) {
    const long n = socket_.Read(buffer, sizeof buffer);
    if (n < 0) {
      Fail(state_ == TBotState::Online ? "closed by the hub" : "closed during login");
      return;
    }
    if (n == 0) return;
    ctx_.BytesWire += static_cast<std::uint64_t>(n);
    try {
      Consume(buffer, static_cast<std::size_t>(n));
    } catch (const std::exception& e) {
      Fail(e.what());
      return;
    }
    if (static_cast<std::size_t>(n) < sizeof buffer) return;
  }
}

void TBot::Consume(const char* data, std::size_t length) {
  while (length > 0 && socket_.IsOpen()) {
    if (inflater_.Active()) {
      const std::size_t before = plain_.size();
      const std::size_t used = inflater_.Feed(data, length, plain_);
      ctx_.BytesIn += plain_.size() - before;
      data += used;
      length -= used;
    } else {
      plain_.append(data, length);
      ctx_.BytesIn += length;
      length = 0;
    }
    ParsePlain();
    // A "$ZOn|" inside the text moved the bytes after it back to the caller.
  }
}

void TBot::ParsePlain() {
  const std::uint64_t nowUs = NowUs();
  std::size_t start = 0;
  std::size_t from = scanned_;
  while (socket_.IsOpen()) {
    const void* bar = std::memchr(plain_.data() + from, '|', plain_.size() - from);
    if (bar == nullptr) break;
    const auto end = static_cast<std::size_t>(static_cast<const char*>(bar) - plain_.data());
    const std::string_view message(plain_.data() + start, end - start);
    start = end + 1;
    from = start;
    if (message == kZOn) {
      // Everything after the marker is a zlib stream until it ends.
      std::string compressed = plain_.substr(start);
      plain_.clear();
      scanned_ = 0;
      inflater_.Begin();
      Consume(compressed.data(), compressed.size());
      return;
    }
    HandleMessage(message, nowUs);
  }
  if (!socket_.IsOpen()) return;
  plain_.erase(0, start);
  scanned_ = plain_.size();
  // A nick list inflates to hundreds of KB once; thousands of users must
  // not each keep that much.
  if (plain_.empty() && plain_.capacity() > kKeptCapacity) std::string().swap(plain_);
}

void TBot::HandleMessage(std::string_view message, std::uint64_t nowUs) {
  if (message.empty()) return;
  switch (state_) {
    case TBotState::WaitLock:
      if (StartsWith(message, kLock)) HandleLock(message, nowUs);
      return;
    case TBotState::WaitHello:
      if (StartsWith(message, "$Hello ") && message.substr(7) == nick_) {
        HelloUs = nowUs;
        state_ = TBotState::WaitListed;
        // The nick list asked before "$MyINFO" ends with the own entry, which
        // tells the user it is listed.
        Send("$Version 1,0091|$GetNickList|" + MyInfo(0));
      } else if (StartsWith(message, "$GetPass") || StartsWith(message, "$ForceMove") ||
                 StartsWith(message, "$BadPass")) {
        Fail(message);
      }
      return;
    case TBotState::WaitListed:
      if (StartsWith(message, "$MyINFO $ALL ") && message.size() > 13 + nick_.size() &&
          message.compare(13, nick_.size(), nick_) == 0 && message[13 + nick_.size()] == ' ') {
        OnlineUs = nowUs;
        state_ = TBotState::Online;
        // The hub queues a message for its own user behind all it owes it,
        // so the copy comes back once the login burst is out.
        probe_ = "$To: " + nick_ + " From: " + nick_ + " $<" + nick_ + "> drained";
        Send(probe_ + "|");
        if (state_ == TBotState::Online) ctx_.Listener.OnOnline(index_);
        return;
      }
      break;
    case TBotState::Online:
      if (!probe_.empty() && message == probe_) {
        probe_.clear();
        DrainedUs = nowUs;
        ctx_.Listener.OnDrained(index_);
        return;
      }
      break;
    case TBotState::Idle:
    case TBotState::Connecting:
      return;
  }
  if (std::memchr(message.data(), '\x01', message.size()) != nullptr) {
    ScanMarkers(message, [&](TMarker m) { ctx_.Listener.OnMarker(index_, m, nowUs); });
  } else if (StartsWith(message, kConnectToMe)) {
    const std::size_t space = message.rfind(' ');
    const std::size_t colon = message.rfind(':');
    if (space == std::string_view::npos || colon == std::string_view::npos || colon < space) return;
    const std::uint32_t ip = ParseIp(message.substr(space + 1, colon - space - 1));
    std::uint32_t port = 0;
    for (const char c : message.substr(colon + 1)) {
      if (c < '0' || c > '9' || port > 65535) return;
      port = port * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (ip != 0 && port <= 65535) {
      ctx_.Listener.OnConnectToMe(index_, ip, static_cast<std::uint16_t>(port), nowUs);
    }
  }
}

void TBot::HandleLock(std::string_view message, std::uint64_t nowUs) {
  LockUs = nowUs;
  std::string_view lock = message.substr(kLock.size());
  const std::size_t pk = lock.find(" Pk=");
  if (pk != std::string_view::npos) lock = lock.substr(0, pk);
  state_ = TBotState::WaitHello;
  // Real clients send all three in one write.
  std::string burst(SupportsOf(flavor_));
  burst += "$Key " + TProtocol::KeyOfLock(lock) + "|$ValidateNick " + nick_ + "|";
  Send(burst);
}

std::string TBot::MyInfo(std::uint32_t version) const {
  const char mode = passive_ ? 'P' : 'A';
  std::string tag;
  switch (flavor_) {
    case TClientFlavor::Eiskalt:
      tag = "<EiskaltDC++ V:2.4.2,M:";
      break;
    case TClientFlavor::Ncdc:
      tag = "<ncdc V:1.23.1,M:";
      break;
    case TClientFlavor::Plain:
      tag = "<microdc2 V:0.15.6,M:";
      break;
  }
  tag += mode;
  tag += ",H:2/0/0,S:3>";
  const std::uint64_t share = (static_cast<std::uint64_t>(index_) + 1) * 1073741824ull;
  return "$MyINFO $ALL " + nick_ + " bench user " + std::to_string(version) + tag + "$ $20\x01$$" +
         std::to_string(share) + "$|";
}

void TBot::Send(std::string_view message) {
  if (!socket_.IsOpen()) return;
  ctx_.BytesOut += message.size();
  out_.append(message);
  if (state_ != TBotState::Connecting) Flush();
}

void TBot::Flush() {
  if (!out_.empty()) {
    const long n = socket_.Write(out_.data(), out_.size());
    if (n < 0) {
      Fail("write failed");
      return;
    }
    out_.erase(0, static_cast<std::size_t>(n));
  }
  const bool want = !out_.empty();
  if (want != wantWrite_) {
    wantWrite_ = want;
    ctx_.Poller.Modify(socket_.Fd(), index_, want);
  }
}
