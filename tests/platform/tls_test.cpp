#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/event_loop.h"
#include "platform/monotonic_clock.h"
#include "platform/tcp_listener.h"
#include "support/loop_runner.h"
#include "support/temp_folder.h"

namespace {

using std::chrono::milliseconds;

struct TPkeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct TX509Free {
  void operator()(X509* cert) const { X509_free(cert); }
};
struct TBioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
struct TCtxFree {
  void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
};
struct TSslFree {
  void operator()(SSL* ssl) const { SSL_free(ssl); }
};
using TPkey = std::unique_ptr<EVP_PKEY, TPkeyFree>;

std::string BioText(BIO* bio) {
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio, &data);
  return std::string(data, static_cast<std::size_t>(length));
}

// PEM text of `key`, encrypted with `password` unless it is empty.
std::string KeyPem(EVP_PKEY* key, const std::string& password) {
  std::unique_ptr<BIO, TBioFree> bio(BIO_new(BIO_s_mem()));
  const auto* pass = reinterpret_cast<const unsigned char*>(password.data());
  const EVP_CIPHER* cipher = password.empty() ? nullptr : EVP_aes_256_cbc();
  if (PEM_write_bio_PrivateKey(bio.get(), key, cipher, pass, static_cast<int>(password.size()),
                               nullptr, nullptr) != 1)
    throw std::runtime_error("key PEM");
  return BioText(bio.get());
}

// A throw-away self-signed certificate for "localhost", valid for a day.
struct TTestCertificate {
  TPkey key;
  std::string certPem;

  TTestCertificate() : key(EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", std::size_t{2048})) {
    std::unique_ptr<X509, TX509Free> cert(X509_new());
    if (!key || !cert) throw std::runtime_error("key generation");
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), 0);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 86400);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0) throw std::runtime_error("sign");
    std::unique_ptr<BIO, TBioFree> bio(BIO_new(BIO_s_mem()));
    PEM_write_bio_X509(bio.get(), cert.get());
    certPem = BioText(bio.get());
  }
};

// A test's TLS client over loopback. Blocking, with bounded waits.
class TTlsClient {
 public:
  TTlsClient(int port, int minVersion, int maxVersion, const char* ciphers = nullptr)
      : ctx_(SSL_CTX_new(TLS_client_method())), fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    if (minVersion < TLS1_2_VERSION) {
      // This library refuses the old protocols at its default security level.
      SSL_CTX_set_security_level(ctx_.get(), 0);
      SSL_CTX_set_cipher_list(ctx_.get(), "DEFAULT:@SECLEVEL=0");
    }
    SSL_CTX_set_min_proto_version(ctx_.get(), minVersion);
    SSL_CTX_set_max_proto_version(ctx_.get(), maxVersion);
    if (ciphers != nullptr) SSL_CTX_set_cipher_list(ctx_.get(), ciphers);
    const timeval limit{3, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
      throw std::runtime_error("connect to the listener");
    ssl_.reset(SSL_new(ctx_.get()));
    SSL_set_fd(ssl_.get(), fd_);
  }
  ~TTlsClient() {
    ssl_.reset();
    if (fd_ >= 0) close(fd_);
  }
  TTlsClient(const TTlsClient&) = delete;
  TTlsClient& operator=(const TTlsClient&) = delete;

  bool Handshake() {
    const bool done = SSL_connect(ssl_.get()) == 1;
    ERR_clear_error();
    return done;
  }
  void Send(const std::string& text) {
    ASSERT_EQ(SSL_write(ssl_.get(), text.data(), static_cast<int>(text.size())),
              static_cast<int>(text.size()));
  }
  // Reads until `length` bytes came or the stream stops.
  std::string Receive(std::size_t length) {
    std::string text;
    char buffer[16384];
    while (text.size() < length) {
      const int got = SSL_read(ssl_.get(), buffer, sizeof buffer);
      if (got <= 0) break;
      text.append(buffer, static_cast<std::size_t>(got));
    }
    ERR_clear_error();
    return text;
  }
  // True when the server ended the session with its close alert.
  bool SeesCloseAlert() {
    char byte;
    const int got = SSL_read(ssl_.get(), &byte, 1);
    const bool alert = got == 0 && SSL_get_error(ssl_.get(), got) == SSL_ERROR_ZERO_RETURN;
    ERR_clear_error();
    return alert;
  }
  // Closes without a close alert. Unread input (TLS 1.3 session tickets)
  // is drained first: closing over it would send a reset instead of an end.
  void Disconnect() {
    char sink[4096];
    while (recv(fd_, sink, sizeof sink, MSG_DONTWAIT) > 0) {
    }
    ssl_.reset();
    close(fd_);
    fd_ = -1;
  }

 private:
  std::unique_ptr<SSL_CTX, TCtxFree> ctx_;
  int fd_;
  std::unique_ptr<SSL, TSslFree> ssl_;
};

// A raw TCP client: for peers that never speak TLS.
int ConnectRaw(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    throw std::runtime_error("connect to the listener");
  return fd;
}

bool WaitFor(int fd, bool write, int limitMs = 2000) {
  pollfd p{fd, static_cast<short>(write ? POLLOUT : POLLIN), 0};
  return poll(&p, 1, limitMs) == 1;
}

std::size_t OpenDescriptors() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

class TlsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { certificate_ = std::make_unique<TTestCertificate>(); }
  static void TearDownTestSuite() { certificate_.reset(); }

  void SetUp() override { std::filesystem::create_directories(home_.File("cert")); }

  void WriteCertFiles(const std::string& keyPassword) {
    WriteFile("cert.pem", certificate_->certPem);
    WriteFile("cert_key.pem", KeyPem(certificate_->key.get(), keyPassword));
  }
  void WriteFile(const std::string& name, const std::string& text) {
    std::ofstream(home_.File("cert/" + name), std::ios::binary) << text;
  }

  std::unique_ptr<TListener> MakeListener() {
    auto listener = std::make_unique<TListener>(loop_, 0, "127.0.0.1", true, limits_);
    listener->SetTlsFiles(home_.File("cert/cert.pem"), home_.File("cert/cert_key.pem"));
    listener->SetOnSocket([this](TAcceptedSocket accepted) {
      deliveredAt_.push_back(MonotonicMs());
      delivered_.push_back(std::move(accepted));
    });
    listener->SetOnError([this](const std::string& line) { errors_.push_back(line); });
    return listener;
  }

  // Reads from a handed-on socket until `length` bytes came (bounded).
  static std::string ServerReceive(TClientSocket& socket, std::size_t length) {
    std::string text;
    char buffer[4096];
    while (text.size() < length) {
      const TIoResult result = socket.Read(buffer, sizeof buffer);
      if (result.status == TIoStatus::kDone) {
        text.append(buffer, result.bytes);
      } else if (result.status != TIoStatus::kWouldBlock || !WaitFor(socket.Fd(), result.waitWrite)) {
        break;
      }
    }
    return text;
  }

  static std::unique_ptr<TTestCertificate> certificate_;  // RSA generation is slow: one per suite
  TTempFolder home_;
  TListenerLimits limits_;
  EventLoop loop_;
  std::vector<TAcceptedSocket> delivered_;
  std::vector<uint64_t> deliveredAt_;
  std::vector<std::string> errors_;
};

std::unique_ptr<TTestCertificate> TlsTest::certificate_;

struct TVersionCase {
  const char* name;
  int minVersion;
  int maxVersion;
  const char* clientCiphers;
  const char* version;
  const char* cipher;
};

class TlsVersionTest : public TlsTest, public ::testing::WithParamInterface<TVersionCase> {};

TEST_P(TlsVersionTest, HandsOnAfterTheHandShakeAndCarriesBytesBothWays) {
  const TVersionCase& c = GetParam();
  WriteCertFiles("");
  auto listener = MakeListener();
  ASSERT_TRUE(listener->Listen());
  ASSERT_TRUE(listener->ServesTls());
  TTlsClient client(listener->BoundPort(), c.minVersion, c.maxVersion, c.clientCiphers);
  ASSERT_TRUE(client.Handshake());
  ASSERT_TRUE(RunLoopUntil(loop_, [&] { return !delivered_.empty(); }));
  EXPECT_LT(deliveredAt_[0] - delivered_[0].acceptTick, TListener::kHandOnDelayMs);  // no hold

  TClientSocket& socket = delivered_[0].socket;
  ASSERT_TRUE(socket.IsTls());
  EXPECT_EQ(socket.Tls()->ProtocolVersion(), c.version);
  EXPECT_EQ(socket.Tls()->CipherName(), c.cipher);
  client.Send("$Supports ZPipe|");
  EXPECT_EQ(ServerReceive(socket, 16), "$Supports ZPipe|");
  const std::string reply = "<Hub> too busy|";
  EXPECT_EQ(socket.Write(reply.data(), reply.size()).bytes, reply.size());
  EXPECT_EQ(client.Receive(reply.size()), reply);
  socket.Close();  // a refusal: the text, then the end of the session
  EXPECT_TRUE(client.SeesCloseAlert());
}

INSTANTIATE_TEST_SUITE_P(
    Versions, TlsVersionTest,
    ::testing::Values(
        TVersionCase{"Tls13", TLS1_3_VERSION, TLS1_3_VERSION, nullptr, "TLSv1.3",
                     "TLS_AES_256_GCM_SHA384"},
        TVersionCase{"Tls12", TLS1_2_VERSION, TLS1_2_VERSION, nullptr, "TLSv1.2",
                     "ECDHE-RSA-AES256-GCM-SHA384"},
        TVersionCase{"Tls12OldClientSuite", TLS1_2_VERSION, TLS1_2_VERSION, "AES256-SHA",
                     "TLSv1.2", "AES256-SHA"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(TlsTest, RefusesClientsThatOfferOnlyOldProtocols) {
  WriteCertFiles("");
  auto listener = MakeListener();
  ASSERT_TRUE(listener->Listen());
  TTlsClient client(listener->BoundPort(), TLS1_VERSION, TLS1_1_VERSION);
  EXPECT_FALSE(client.Handshake());
  RunLoopFor(loop_, milliseconds(200));
  EXPECT_TRUE(delivered_.empty());
}

struct TStallCase {
  const char* name;
  std::string sends;  // what the client sends instead of a hello
  int atLeastMs;
  int atMostMs;
};

class TlsStallTest : public TlsTest, public ::testing::WithParamInterface<TStallCase> {};

TEST_P(TlsStallTest, ClientsThatDoNotShakeHandsAreDropped) {
  const TStallCase& c = GetParam();
  WriteCertFiles("");
  auto listener = MakeListener();
  listener->SetHandshakeLimit(300);
  ASSERT_TRUE(listener->Listen());
  const auto start = std::chrono::steady_clock::now();
  const int fd = ConnectRaw(listener->BoundPort());
  if (!c.sends.empty()) {
    EXPECT_EQ(send(fd, c.sends.data(), c.sends.size(), 0), static_cast<ssize_t>(c.sends.size()));
  }
  char buffer[256];
  const bool ended = WaitFor(fd, false, 3000) && recv(fd, buffer, sizeof buffer, 0) <= 0;
  const auto waited = std::chrono::steady_clock::now() - start;
  close(fd);
  EXPECT_TRUE(ended);
  EXPECT_GE(waited, milliseconds(c.atLeastMs));
  EXPECT_LE(waited, milliseconds(c.atMostMs));
  RunLoopFor(loop_, milliseconds(50));
  EXPECT_TRUE(delivered_.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Peers, TlsStallTest,
    ::testing::Values(TStallCase{"Silent", "", 300, 1500},
                      TStallCase{"SpeaksPlainText", "$MyNick someone|$Lock x Pk=y|", 0, 250}),
    [](const auto& row) { return std::string(row.param.name); });

// The server keeps up with a client that reads slowly: partial writes and
// retries after would-block lose or repeat nothing.
TEST_F(TlsTest, LargeTransfersSurviveWouldBlock) {
  WriteCertFiles("");
  auto listener = MakeListener();
  ASSERT_TRUE(listener->Listen());
  TTlsClient client(listener->BoundPort(), TLS1_2_VERSION, TLS1_3_VERSION);
  ASSERT_TRUE(client.Handshake());
  ASSERT_TRUE(RunLoopUntil(loop_, [&] { return !delivered_.empty(); }));
  TClientSocket& socket = delivered_[0].socket;

  std::string payload(8 * 1024 * 1024, '\0');
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 7 % 251);
  std::string received;
  std::thread reader;  // starts once the socket is full
  std::size_t sent = 0;
  int blocked = 0;
  while (sent < payload.size()) {
    const TIoResult result = socket.Write(payload.data() + sent, payload.size() - sent);
    if (result.status == TIoStatus::kDone) {
      sent += result.bytes;
      continue;
    }
    if (result.status != TIoStatus::kWouldBlock) break;
    if (blocked++ == 0) reader = std::thread([&] { received = client.Receive(payload.size()); });
    if (!WaitFor(socket.Fd(), result.waitWrite)) break;
  }
  if (!reader.joinable()) reader = std::thread([&] { received = client.Receive(payload.size()); });
  reader.join();
  EXPECT_EQ(sent, payload.size());
  EXPECT_GT(blocked, 0);  // the path under test was taken
  EXPECT_TRUE(received == payload);

  // Input the session holds already decrypted is not visible to readiness.
  const std::string record(16000, 'r');
  client.Send(record);
  ASSERT_TRUE(WaitFor(socket.Fd(), false));
  char small[100];
  ASSERT_EQ(socket.Read(small, sizeof small).bytes, sizeof small);
  EXPECT_TRUE(socket.HasBufferedInput());
  std::size_t rest = 0;
  for (int i = 0; i < 1000 && socket.HasBufferedInput(); ++i) {
    rest += socket.Read(small, sizeof small).bytes;
  }
  EXPECT_EQ(rest + sizeof small, record.size());
}

struct TCertCase {
  const char* name;
  bool writeCert;
  const char* keyPassword;  // the key file is encrypted with it unless ""
  bool garbageCert;
  bool servesTls;
  const char* errorNames;  // the file the error line must name
};

class TlsCertificateTest : public TlsTest, public ::testing::WithParamInterface<TCertCase> {};

TEST_P(TlsCertificateTest, UsesTheCertificateOrFallsBackToPlainText) {
  const TCertCase& c = GetParam();
  if (c.writeCert) WriteCertFiles(c.keyPassword);
  if (c.garbageCert) WriteFile("cert.pem", "-----BEGIN CERTIFICATE-----\nnot base64\n");
  auto listener = MakeListener();
  ASSERT_TRUE(listener->Listen());  // the port opens either way
  EXPECT_EQ(listener->ServesTls(), c.servesTls);
  if (c.servesTls) {
    EXPECT_TRUE(errors_.empty());
    TTlsClient client(listener->BoundPort(), TLS1_2_VERSION, TLS1_3_VERSION);
    EXPECT_TRUE(client.Handshake());
    return;
  }
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_NE(errors_[0].find("TTlsServerContext.InitServerContext("), std::string::npos) << errors_[0];
  EXPECT_NE(errors_[0].find(home_.File(std::string("cert/") + c.errorNames)), std::string::npos)
      << errors_[0];
}

INSTANTIATE_TEST_SUITE_P(
    Files, TlsCertificateTest,
    ::testing::Values(TCertCase{"PlainKey", true, "", false, true, ""},
                      TCertCase{"KeyEncryptedWithTheHubPassword", true, "vindle", false, true, ""},
                      TCertCase{"KeyEncryptedWithAnotherPassword", true, "other", false, false,
                                "cert_key.pem"},
                      TCertCase{"MissingCertificate", false, "", false, false, "cert.pem"},
                      TCertCase{"DamagedCertificate", true, "", true, false, "cert.pem"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(TlsTest, WithoutACertificateThePortServesPlainText) {
  auto listener = MakeListener();
  ASSERT_TRUE(listener->Listen());
  ASSERT_FALSE(listener->ServesTls());
  const int fd = ConnectRaw(listener->BoundPort());
  const bool handedOn = RunLoopUntil(loop_, [&] { return !delivered_.empty(); });
  close(fd);
  ASSERT_TRUE(handedOn);
  EXPECT_FALSE(delivered_[0].socket.IsTls());
  EXPECT_GT(deliveredAt_[0] - delivered_[0].acceptTick, TListener::kHandOnDelayMs);
}

TEST_F(TlsTest, NoDescriptorOutlivesATlsListener) {
  WriteCertFiles("");
  const std::size_t before = OpenDescriptors();
  {
    auto listener = MakeListener();
    ASSERT_TRUE(listener->Listen());
    TTlsClient done(listener->BoundPort(), TLS1_2_VERSION, TLS1_3_VERSION);
    ASSERT_TRUE(done.Handshake());
    ASSERT_TRUE(RunLoopUntil(loop_, [&] { return !delivered_.empty(); }));
    const int silent = ConnectRaw(listener->BoundPort());  // its hand-shake stays pending
    RunLoopFor(loop_, milliseconds(100));
    EXPECT_TRUE(listener->Stop());
    close(silent);
    delivered_.clear();
  }
  EXPECT_EQ(OpenDescriptors(), before);
}

// A client that sends its ClientHello in two parts with a pause between,
// over a blocking socket, the TLS engine working on memory buffers.
class TSplitHelloClient {
 public:
  explicit TSplitHelloClient(int port)
      : ctx_(SSL_CTX_new(TLS_client_method())), fd_(ConnectRaw(port)) {
    const timeval limit{10, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ssl_.reset(SSL_new(ctx_.get()));
    in_ = BIO_new(BIO_s_mem());
    out_ = BIO_new(BIO_s_mem());
    SSL_set_bio(ssl_.get(), in_, out_);  // the session owns both
    SSL_set_connect_state(ssl_.get());
    SSL_do_handshake(ssl_.get());  // writes the hello and waits for input
    hello_ = Pending();
  }
  ~TSplitHelloClient() {
    ssl_.reset();
    close(fd_);
  }
  TSplitHelloClient(const TSplitHelloClient&) = delete;
  TSplitHelloClient& operator=(const TSplitHelloClient&) = delete;

  bool HasHello() const { return hello_.size() > 1; }
  void SendFirstHalf() { SendRaw(hello_.substr(0, hello_.size() / 2)); }
  void SendSecondHalf() { SendRaw(hello_.substr(hello_.size() / 2)); }

  // Runs the rest of the hand-shake; true when it finished.
  bool Finish() {
    char buffer[16384];
    for (int round = 0; round < 20; ++round) {
      const int result = SSL_do_handshake(ssl_.get());
      SendRaw(Pending());
      if (result == 1) return true;
      if (SSL_get_error(ssl_.get(), result) != SSL_ERROR_WANT_READ) break;
      const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      BIO_write(in_, buffer, static_cast<int>(got));
    }
    ERR_clear_error();
    return false;
  }

 private:
  std::string Pending() {
    std::string text;
    char buffer[16384];
    for (int got; (got = BIO_read(out_, buffer, sizeof buffer)) > 0;)
      text.append(buffer, static_cast<std::size_t>(got));
    return text;
  }
  void SendRaw(const std::string& text) {
    if (!text.empty()) send(fd_, text.data(), text.size(), MSG_NOSIGNAL);
  }

  std::unique_ptr<SSL_CTX, TCtxFree> ctx_;
  int fd_;
  std::unique_ptr<SSL, TSslFree> ssl_;
  BIO* in_ = nullptr;
  BIO* out_ = nullptr;
  std::string hello_;
};

// Hand-shakes run side by side: fifty clients whose hellos come in two
// parts, interleaved, all finish, and a silent client waiting for its limit
// among them holds none of them up.
TEST_F(TlsTest, HandShakesInFlightTogetherAllFinish) {
  constexpr int kClients = 50;
  constexpr uint64_t kLimitMs = 5000;
  WriteCertFiles("");
  auto listener = MakeListener();
  listener->SetHandshakeLimit(kLimitMs);
  ASSERT_TRUE(listener->Listen());
  const uint64_t start = MonotonicMs();
  const int silent = ConnectRaw(listener->BoundPort());

  std::vector<std::unique_ptr<TSplitHelloClient>> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.push_back(std::make_unique<TSplitHelloClient>(listener->BoundPort()));
    ASSERT_TRUE(clients.back()->HasHello());
  }
  for (auto& client : clients) client->SendFirstHalf();
  std::this_thread::sleep_for(milliseconds(200));
  for (auto& client : clients) client->SendSecondHalf();
  int finished = 0;
  for (auto& client : clients) finished += client->Finish() ? 1 : 0;
  EXPECT_EQ(finished, kClients);
  ASSERT_TRUE(RunLoopUntil(loop_, [&] { return delivered_.size() == kClients; },
                           milliseconds(kLimitMs)));
  for (uint64_t at : deliveredAt_) EXPECT_LT(at - start, kLimitMs);

  // The silent one goes at its limit, and never reaches the hub.
  char byte;
  const bool ended = WaitFor(silent, false, static_cast<int>(kLimitMs) + 3000) &&
                     recv(silent, &byte, 1, 0) <= 0;
  const uint64_t endedAt = MonotonicMs();
  close(silent);
  EXPECT_TRUE(ended);
  EXPECT_GE(endedAt - start, kLimitMs);
  RunLoopFor(loop_, milliseconds(50));
  EXPECT_EQ(delivered_.size(), static_cast<std::size_t>(kClients));
}

// Past the cap on hand-shakes under way a new client is closed at once and
// counted; those already waiting are still served.
TEST_F(TlsTest, ClientsPastThePendingCapAreRefusedAndCounted) {
  WriteCertFiles("");
  limits_.MaxPendingHandshakes = 2;
  auto listener = MakeListener();
  ASSERT_TRUE(listener->Listen());
  TTlsClient first(listener->BoundPort(), TLS1_2_VERSION, TLS1_3_VERSION);
  TTlsClient second(listener->BoundPort(), TLS1_2_VERSION, TLS1_3_VERSION);
  TTlsClient third(listener->BoundPort(), TLS1_2_VERSION, TLS1_3_VERSION);
  EXPECT_FALSE(third.Handshake());
  EXPECT_EQ(listener->Refused(), 1u);
  EXPECT_TRUE(first.Handshake());
  EXPECT_TRUE(second.Handshake());
  ASSERT_TRUE(RunLoopUntil(loop_, [&] { return delivered_.size() == 2; }));
  EXPECT_EQ(listener->Refused(), 1u);
}

using TlsDeathTest = TlsTest;

TEST_F(TlsDeathTest, WritingToAGonePeerReturnsAnErrorAndTheProcessLives) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  WriteCertFiles("");
  auto listener = MakeListener();
  ASSERT_TRUE(listener->Listen());
  TTlsClient client(listener->BoundPort(), TLS1_2_VERSION, TLS1_3_VERSION);
  ASSERT_TRUE(client.Handshake());
  ASSERT_TRUE(RunLoopUntil(loop_, [&] { return !delivered_.empty(); }));
  listener->Stop();  // no other threads while the child runs
  client.Disconnect();
  EXPECT_EXIT(
      {
        signal(SIGPIPE, SIG_DFL);
        TIoResult result;
        for (int i = 0; i < 100 && result.status != TIoStatus::kError; ++i) {
          result = delivered_[0].socket.Write("data", 4);
          usleep(1000);
        }
        // WSAESHUTDOWN: EPIPE, the error that comes with the signal.
        std::exit(result.status == TIoStatus::kError && result.error == 10058 ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
