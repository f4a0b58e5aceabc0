#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/read_buffer.h"
#include "core/user_info.h"
#include "core/write_buffer.h"
#include "settings/conn_restriction.h"
#include "base/date_time.h"

class TAccount;
class TProfile;

// What the root gives every connection and the user list: the account and
// profile a connection has until it logs in, and the account list's side of
// a counted binding. The objects must outlive every connection.
struct TUserDefaults {
  std::shared_ptr<TAccount> Account;  // bound to every new connection
  std::shared_ptr<TProfile> Profile;  // "Regular"; also stands in for a profile that vanished
  // The account list's current account of a nick, or null; unset: none.
  std::function<std::shared_ptr<TAccount>(std::string_view nick)> FindAccount;
  // One connection more / fewer counted on the account; unset: no counting.
  std::function<void(const std::shared_ptr<TAccount>&)> AcquireAccount;
  std::function<void(const std::shared_ptr<TAccount>&)> ReleaseAccount;
};

// Life states of a connection.
enum TLifeState : std::uint8_t {
  lsCreated = 0,
  lsInitialised = 1,
  lsClosing = 2,  // marked by a handler, or closed
};

// One client connection from accept to close, and the user it becomes.
// Owns its socket descriptor (closed by Close or destruction), its buffers
// and user info. Holds its account and profile by shared_ptr: either may be
// dropped from its list by a reload while the user is online. Does not own
// the defaults it was given. Main thread only; other threads name a
// connection by Id(), never by pointer.
class THubSocket {
 public:
  // Called once, after the connection reached life state 2 through Close;
  // it may free the connection.
  using TCloseHook = std::function<void(THubSocket&)>;

  explicit THubSocket(const TUserDefaults& defaults);
  ~THubSocket();
  THubSocket(const THubSocket&) = delete;
  THubSocket& operator=(const THubSocket&) = delete;

  // Takes the socket (-1: a connection without one, as pseudo users and
  // tests use), reads its addresses, binds the default account and enters
  // life state 1. ECoreSocketError when already initialised.
  void Initialize(int socket, const TConnRestriction& generalRestriction);

  // Closes once: the socket when asked, releases the buffers, life state 2,
  // then the close hook. Later calls do nothing.
  void Close(bool closeSocket);
  bool IsClosed() const { return closed_; }

  // Binds the connection to `account` (null: the default account) and
  // derives profile, hidden share, hidden user and restriction from it. The
  // restriction is the profile's own when it says so, else `ispRestriction`
  // when given (and marked as from an ISP), else `generalRestriction`.
  // Counting the binding is the account list's business, not this one's.
  void BindAccount(std::shared_ptr<TAccount> account, const TConnRestriction& generalRestriction,
                   const TConnRestriction* ispRestriction = nullptr);

  // Level rights: may a user with this right act on a target of that level
  // (or on that connection's user)?
  bool MayActOnLevel(std::uint8_t rightLevel, int targetLevel) const;
  bool MayActOnUser(std::uint8_t rightLevel, const THubSocket& target) const;

  // The rights in force: the bound profile, or the default profile when the
  // account has none.
  const TProfile& Rights() const;
  bool IsOperator() const;
  int ProfileLevel() const;

  bool IsLoggedIn() const { return LoginState % 128 == 5; }

  std::uint64_t Id() const { return id_; }
  int Socket() const { return socket_; }
  TUserInfo& UserInfo() { return userInfo_; }
  const TUserInfo& UserInfo() const { return userInfo_; }
  TReadBuffer& ReadBuffer() { return readBuffer_; }
  TWriteBuffer& WriteBuffer() { return writeBuffer_; }
  const TWriteBuffer& WriteBuffer() const { return writeBuffer_; }
  const TUserDefaults& Defaults() const { return defaults_; }

  // Starts loading this connection's first cache line and `field` of it: a
  // walk over thousands of users that asks a few ahead waits on several at
  // once instead of on each.
  void Prefetch(const void* field) const {
    __builtin_prefetch(this);
    __builtin_prefetch(field);
  }
  // What a broadcast reads: the first line and the write buffer's.
  void PrefetchForBroadcast() const { Prefetch(&writeBuffer_); }

  // Read for every user by each broadcast, send pass and list walk, so
  // kept together at the front of the object (aligned to a cache line by
  // its write buffer), followed by the user info's first fields.
  std::uint8_t LifeState = lsCreated;
  bool Hidden = false;

 private:
  const std::uint64_t id_;

 public:
  std::shared_ptr<TProfile> Profile;  // may be null: Rights() falls back
  std::uint64_t LastActivity = 0;

 private:
  TUserInfo userInfo_;

 public:
  TCloseHook CloseHook;

  std::string IP = "0.0.0.0";
  int Port = 0;  // the local port the client connected to
  TDateTime GreetingGate{};

  std::string Nick;
  std::string DNSName;

  bool DNSDone = false;
  bool AccountTemporary = false;  // a counted binding: released on destruction
  bool Protected = false;         // on the protected-nick list
  bool ISPRestriction = false;    // Restriction came from an ISP entry

  std::shared_ptr<TAccount> Account;
  TConnRestriction Restriction;

  bool Listed = false;  // on the user list
  bool Registered = false;
  bool CountedInStats = false;
  bool StatsLogin = false;  // the user statistics recorded this login

  TDateTime ConnectTime{};
  std::uint64_t ConnectTick = 0;
  std::uint64_t NickListStamp = 0;  // when the last full nick list went out

  bool Passive = false;
  bool HidesShare = false;

  std::uint8_t LoginState = 0;  // read modulo 128

  void* TLSSession = nullptr;    // opaque; the listener side owns its meaning
  std::uint64_t AcceptTick = 0;  // handed over with the login data

 private:
  const TUserDefaults& defaults_;
  int socket_ = -1;
  bool closed_ = false;
  TReadBuffer readBuffer_;
  TWriteBuffer writeBuffer_{0};
};
