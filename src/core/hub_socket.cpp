#include "core/hub_socket.h"

#include <atomic>
#include <utility>

#include "platform/local_clock.h"
#include "platform/socket_info.h"
#include "security/account.h"
#include "security/profile.h"
#include "security/profile_access.h"
#include "base/exceptions.h"
#include "utils/hub_time.h"

namespace {

// Ids are never reused within a process, so a stale id finds nothing rather
// than a newer connection.
std::uint64_t NextConnectionId() {
  static std::atomic<std::uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

THubSocket::THubSocket(const TUserDefaults& defaults)
    : id_(NextConnectionId()),
      Profile(defaults.Profile),
      Account(defaults.Account),
      defaults_(defaults) {
  KAVRO_CHECK(defaults.Profile != nullptr, "THubSocket needs a default profile");
}

THubSocket::~THubSocket() {
  if (AccountTemporary && Account && defaults_.ReleaseAccount) {
    try {
      defaults_.ReleaseAccount(Account);
    } catch (...) {
      // A destructor has no one to report to; the account's count is the
      // accounts' to repair.
    }
  }
  if (socket_ >= 0) {
    CloseSocketHandle(socket_);
    socket_ = -1;
    LifeState = lsClosing;
  }
}

void THubSocket::Initialize(int socket, const TConnRestriction& generalRestriction) {
  if (socket_ >= 0 || LifeState != lsCreated) {
    throw ECoreSocketError("THubSocket.Initialize", "Socket already initialize!");
  }
  socket_ = socket;
  IP = "0.0.0.0";
  Port = 0;
  if (socket >= 0) {
    std::string peer;
    if (SocketPeerIP(socket, peer)) IP = std::move(peer);
    int port = 0;
    if (SocketLocalPort(socket, port)) Port = port;
  }
  LifeState = lsInitialised;
  ConnectTick = TTime::Now();
  LastActivity = ConnectTick;
  ConnectTime = NowLocal();
  BindAccount(defaults_.Account, generalRestriction);
}

void THubSocket::Close(bool closeSocket) {
  if (closed_) return;
  closed_ = true;
  if (closeSocket) CloseSocketHandle(socket_);
  socket_ = -1;
  readBuffer_.Release();
  writeBuffer_.Clear(true);
  LifeState = lsClosing;
  // The hook may free this object: nothing may touch a member after it.
  TCloseHook hook = std::move(CloseHook);
  CloseHook = nullptr;
  if (hook) hook(*this);
}

void THubSocket::BindAccount(std::shared_ptr<TAccount> account,
                             const TConnRestriction& generalRestriction,
                             const TConnRestriction* ispRestriction) {
  Account = account ? std::move(account) : defaults_.Account;
  Profile = Account ? Account->Profile : nullptr;
  const TProfile& rights = Rights();
  const bool asksHiddenShare = Account && Account->ShareHidden;
  const bool asksHidden = Account && Account->UserHidden;
  HidesShare = rights.ForceHideShare() || (asksHiddenShare && rights.MayHideShare());
  Hidden = asksHidden && rights.MayHideMe();
  ISPRestriction = false;
  if (rights.UseProfileConnRestriction()) {
    Restriction = rights.Restriction;
  } else if (ispRestriction != nullptr) {
    Restriction = *ispRestriction;
    ISPRestriction = true;
  } else {
    Restriction = generalRestriction;
  }
}

const TProfile& THubSocket::Rights() const {
  return Profile != nullptr ? *Profile : *defaults_.Profile;
}

bool THubSocket::IsOperator() const { return Rights().IsOperator(); }

int THubSocket::ProfileLevel() const { return Rights().ProfileLevel; }

bool THubSocket::MayActOnLevel(std::uint8_t rightLevel, int targetLevel) const {
  const int own = ProfileLevel();
  switch (rightLevel) {
    case paLower:
      return targetLevel < own;
    case paSame:
      return targetLevel <= own;
    case paHigher:
      return true;
    default:
      return false;
  }
}

bool THubSocket::MayActOnUser(std::uint8_t rightLevel, const THubSocket& target) const {
  return MayActOnLevel(rightLevel, target.ProfileLevel());
}
