#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The key a client answers "$Lock" with: every byte XOR its predecessor
// (the first with the last two and 5), nibbles swapped, and the bytes the
// protocol reserves written as "/%DCNnnn%/". Written from the protocol
// notes, apart from the hub's own code, so the two check each other.
std::string NmdcKey(std::string_view lock);

// A scripted NMDC client over a real socket to 127.0.0.1, plain or TLS
// from the first byte. Keeps every message it read, in order.
class TNmdcClient {
 public:
  using TLimit = std::chrono::milliseconds;
  static constexpr TLimit kWait{5000};

  // Null when the connection (or the TLS hand-shake) failed. `source`, a
  // loopback address such as "127.0.3.1", is the address the hub sees the
  // client come from; empty: the system's choice (127.0.0.1).
  static std::unique_ptr<TNmdcClient> Connect(int port, bool tls = false,
                                              std::string_view source = {});
  ~TNmdcClient();
  TNmdcClient(const TNmdcClient&) = delete;
  TNmdcClient& operator=(const TNmdcClient&) = delete;

  bool Send(std::string_view data);
  // TLS 1.3 only: sends a key update, a record that carries no message.
  bool SendKeyUpdate();
  // The next message with its final '|'; nullopt at the time limit or when
  // the hub closed the connection.
  std::optional<std::string> Read(TLimit limit = kWait);
  // Reads until a message that starts with `prefix`.
  std::optional<std::string> ReadUntil(std::string_view prefix, TLimit limit = kWait);
  // Reads everything until the hub closes; true when it did within `limit`.
  bool WaitClosed(TLimit limit = kWait);
  // Reads whatever arrives during `period`.
  void Drain(TLimit period);
  bool Closed() const { return closed_; }

  // Every message read so far, and whether one starts with `prefix`.
  const std::vector<std::string>& Received() const { return received_; }
  // What the hub sent in answer to "$ValidateNick": the messages after its
  // "$Supports" answer, less the hub name and greeting that answer the key.
  std::vector<std::string> AfterTheNick() const;
  bool Got(std::string_view prefix) const;
  std::string ReceivedText() const;

  // Reads "$Lock" (unless read already), answers with "$Supports", the key and "$ValidateNick" in
  // one write as real clients do; true when the lock came.
  bool Handshake(std::string_view nick);
  // Handshake, "$MyPass" when `password` is given and asked for, then
  // "$Version", "$GetNickList" and "$MyINFO"; true once the hub announced
  // the user back to itself.
  bool Login(std::string_view nick, std::optional<std::string_view> password = std::nullopt);
  static std::string MyINFO(std::string_view nick);

 private:
  struct TTls;
  explicit TNmdcClient(int fd);
  // Bytes into pending_; false on close or time-out.
  bool Fill(TLimit limit);

  int fd_;
  std::unique_ptr<TTls> tls_;
  std::string pending_;
  std::vector<std::string> received_;
  bool closed_ = false;
};
