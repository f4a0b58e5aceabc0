#include "e2e/nmdc_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

std::string NmdcKey(std::string_view lock) {
  const std::size_t n = lock.size();
  if (n < 3) return {};
  std::string key(n, '\0');
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(lock[i]); };
  for (std::size_t i = 1; i < n; ++i) key[i] = static_cast<char>(at(i) ^ at(i - 1));
  key[0] = static_cast<char>(at(0) ^ at(n - 1) ^ at(n - 2) ^ 5);
  std::string out;
  for (char c : key) {
    const auto b = static_cast<unsigned char>(c);
    const auto swapped = static_cast<unsigned char>(((b << 4) | (b >> 4)) & 0xFF);
    if (swapped == 0 || swapped == 5 || swapped == 36 || swapped == 96 || swapped == 124 ||
        swapped == 126) {
      char escaped[16];
      std::snprintf(escaped, sizeof escaped, "/%%DCN%03d%%/", swapped);
      out += escaped;
    } else {
      out += static_cast<char>(swapped);
    }
  }
  return out;
}

struct TNmdcClient::TTls {
  SSL_CTX* Context = nullptr;
  SSL* Session = nullptr;
  ~TTls() {
    if (Session != nullptr) SSL_free(Session);
    if (Context != nullptr) SSL_CTX_free(Context);
  }
};

TNmdcClient::TNmdcClient(int fd) : fd_(fd) {}

TNmdcClient::~TNmdcClient() {
  tls_.reset();
  if (fd_ >= 0) close(fd_);
}

std::unique_ptr<TNmdcClient> TNmdcClient::Connect(int port, bool tls, std::string_view source) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  std::unique_ptr<TNmdcClient> client(new TNmdcClient(fd));
  if (!source.empty()) {
    sockaddr_in from{};
    from.sin_family = AF_INET;
    if (inet_pton(AF_INET, std::string(source).c_str(), &from.sin_addr) != 1 ||
        bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0)
      return nullptr;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return nullptr;
  // Blocking reads end after a second, so a lost hub cannot hang a test.
  timeval second{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &second, sizeof second);
  if (tls) {
    client->tls_ = std::make_unique<TTls>();
    client->tls_->Context = SSL_CTX_new(TLS_client_method());
    if (client->tls_->Context == nullptr) return nullptr;
    SSL_CTX_set_verify(client->tls_->Context, SSL_VERIFY_NONE, nullptr);
    client->tls_->Session = SSL_new(client->tls_->Context);
    if (client->tls_->Session == nullptr) return nullptr;
    SSL_set_fd(client->tls_->Session, fd);
    if (SSL_connect(client->tls_->Session) != 1) return nullptr;
  }
  return client;
}

bool TNmdcClient::SendKeyUpdate() {
  return tls_ && SSL_key_update(tls_->Session, SSL_KEY_UPDATE_NOT_REQUESTED) == 1 &&
         SSL_do_handshake(tls_->Session) == 1;
}

bool TNmdcClient::Send(std::string_view data) {
  while (!data.empty()) {
    const long sent =
        tls_ ? SSL_write(tls_->Session, data.data(), static_cast<int>(data.size()))
             : static_cast<long>(::send(fd_, data.data(), data.size(), MSG_NOSIGNAL));
    if (sent <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool TNmdcClient::Fill(TLimit limit) {
  if (closed_) return false;
  const bool buffered = tls_ && SSL_pending(tls_->Session) > 0;
  if (!buffered) {
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(limit.count())) <= 0) return false;
  }
  char chunk[16384];
  const long got = tls_ ? SSL_read(tls_->Session, chunk, sizeof chunk)
                        : static_cast<long>(::recv(fd_, chunk, sizeof chunk, 0));
  if (got <= 0) {
    closed_ = true;
    return false;
  }
  pending_.append(chunk, static_cast<std::size_t>(got));
  return true;
}

std::optional<std::string> TNmdcClient::Read(TLimit limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const std::size_t end = pending_.find('|');
    if (end != std::string::npos) {
      std::string message = pending_.substr(0, end + 1);
      pending_.erase(0, end + 1);
      received_.push_back(message);
      return message;
    }
    const auto left = std::chrono::duration_cast<TLimit>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !Fill(left)) return std::nullopt;
  }
}

std::optional<std::string> TNmdcClient::ReadUntil(std::string_view prefix, TLimit limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto left = std::chrono::duration_cast<TLimit>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    std::optional<std::string> message = Read(left);
    if (!message) return std::nullopt;
    if (message->starts_with(prefix)) return message;
  }
}

bool TNmdcClient::WaitClosed(TLimit limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!closed_) {
    const auto left = std::chrono::duration_cast<TLimit>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    Read(left);
  }
  return true;
}

void TNmdcClient::Drain(TLimit period) {
  const auto deadline = std::chrono::steady_clock::now() + period;
  while (!closed_) {
    const auto left = std::chrono::duration_cast<TLimit>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    Read(left);
  }
}

bool TNmdcClient::Got(std::string_view prefix) const {
  for (const std::string& message : received_)
    if (message.starts_with(prefix)) return true;
  return false;
}

std::string TNmdcClient::ReceivedText() const {
  std::string text;
  for (const std::string& message : received_) text += message;
  return text;
}

bool TNmdcClient::Handshake(std::string_view nick) {
  // The lock may have been read already.
  std::optional<std::string> lock;
  for (const std::string& message : received_)
    if (message.starts_with("$Lock ")) lock = message;
  if (!lock) lock = ReadUntil("$Lock ");
  if (!lock) return false;
  const std::size_t start = 6;
  const std::size_t end = lock->find(" Pk=");
  const std::string_view lockText =
      std::string_view(*lock).substr(start, (end == std::string::npos ? lock->size() - 1 : end) - start);
  return Send("$Supports UserCommand NoGetINFO NoHello UserIP2 TTHSearch |$Key " +
              NmdcKey(lockText) + "|$ValidateNick " + std::string(nick) + "|");
}

std::string TNmdcClient::MyINFO(std::string_view nick) {
  return "$MyINFO $ALL " + std::string(nick) +
         " e2e client <EiskaltDC++ V:2.4.2,M:A,H:1/0/0,S:3>$ $20\x01$$0$|";
}

bool TNmdcClient::Login(std::string_view nick, std::optional<std::string_view> password) {
  if (!Handshake(nick)) return false;
  for (;;) {
    const std::optional<std::string> message = Read();
    if (!message) return false;
    if (*message == "$GetPass|") {
      if (!password || !Send("$MyPass " + std::string(*password) + "|")) return false;
    } else if (message->starts_with("$Hello ")) {
      break;
    }
  }
  if (!Send("$Version 1,0091|$GetNickList|" + MyINFO(nick))) return false;
  return ReadUntil("$MyINFO $ALL " + std::string(nick) + " ").has_value();
}

std::vector<std::string> TNmdcClient::AfterTheNick() const {
  std::vector<std::string> after;
  bool seen = false;
  for (const std::string& message : received_) {
    if (seen && !message.starts_with("$HubName ") &&
        !message.starts_with("<-Kavro-> This hub is running "))
      after.push_back(message);
    if (message.starts_with("$Supports ")) seen = true;
  }
  return after;
}
