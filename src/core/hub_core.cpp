#include "core/hub_core.h"

#include <algorithm>
#include <exception>
#include <string>
#include <utility>

#include "core/core_hooks.h"
#include "core/hub_core_connection.h"
#include "core/hub_socket.h"
#include "core/nick_list.h"
#include "core/protocol_message.h"
#include "platform/local_clock.h"
#include "platform/socket_pending.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/hub_time.h"

THubCore::THubCore(EventLoop& loop, TSettings& settings, TLanguage& language, TNickList& nickList,
                   TProtocolMessage& messages, TAccounts& accounts, TNicksInUse& nicksInUse,
                   const TUserDefaults& defaults, TCoreHooks& hooks)
    : loop_(loop),
      settings_(settings),
      language_(language),
      nickList_(nickList),
      messages_(messages),
      accounts_(accounts),
      defaults_(defaults),
      hooks_(hooks),
      protocol_(TProtocolContext{settings, language, nickList, messages, accounts, nicksInUse,
                                 hooks}) {
  protocol_.SetCloseNow([this](THubSocket& user) { CloseNow(user); });
  SetSpeed(4);
}

THubCore::~THubCore() {
  try {
    Stop(true);  // going away with the program: no "stopped" reports
    // Connections accepted while stopped (tests drive the passes by hand).
    TPassGuard guard(*this);
    while (!order_.empty()) CloseNow(*order_.back()->User);
  } catch (...) {
    // Nothing may leave a destructor; the records go with the table below.
  }
  listeners_.clear();
}

bool THubCore::Start() {
  if (started_ || openListeners_ == 0) return false;
  started_ = true;
  startTick_ = TTime::Now();
  lastCheckTick_ = startTick_;
  lastTrimTick_ = startTick_;
  readTimer_ = loop_.AddTimer(kWorkPaceTable[static_cast<std::size_t>(speed_)].ReadMs, true,
                              [this] { TryReadAll(); });
  sendTimer_ = loop_.AddTimer(kWorkPaceTable[static_cast<std::size_t>(speed_)].SendMs, true,
                              [this] { SendAll(); });
  housekeepingTimer_ = loop_.AddTimer(kHousekeepingMs, true, [this] { Housekeeping(); });
  hooks_.Feed().PostEvent("Hub started");
  return true;
}

bool THubCore::Stop(bool keepSockets) {
  if (!started_) return false;
  TPassGuard guard(*this);
  const bool terminating = keepSockets;  // only the shutdown keeps them
  started_ = false;
  readTimer_.Cancel();
  sendTimer_.Cancel();
  housekeepingTimer_.Cancel();
  if (listening_) CloseListeners(!terminating);
  while (!order_.empty()) CloseNow(*order_.back()->User);
  if (!terminating) hooks_.Feed().PostEvent("Hub stopped");
  return true;
}

void THubCore::SetSpeed(int level) {
  level %= 128;
  level = std::clamp(level, 0, static_cast<int>(kWorkPaceTable.size()) - 1);
  if (level == speed_) return;
  speed_ = level;
  RestartTimers();
}

void THubCore::RestartTimers() {
  const TWorkPace& pace = kWorkPaceTable[static_cast<std::size_t>(speed_)];
  if (readTimer_.IsActive()) readTimer_.Restart(pace.ReadMs);
  if (sendTimer_.IsActive()) sendTimer_.Restart(pace.SendMs);
}

std::string THubCore::Uptime() {
  if (!started_) return "00:00:00";
  const std::uint64_t elapsed = TTime::Now() - startTick_;
  hooks_.Counters().Uptime(elapsed);
  return TTime::FormatDuration(static_cast<std::int64_t>(elapsed));
}

THubCore::TConnection* THubCore::Find(std::uint64_t id) const {
  const auto it = connections_.find(id);
  return it == connections_.end() ? nullptr : it->second.get();
}

THubSocket* THubCore::FindConnection(std::uint64_t connectionId) const {
  TConnection* connection = Find(connectionId);
  return connection == nullptr ? nullptr : connection->User.get();
}

THubSocket* THubCore::ConnectionAt(int index) const {
  if (index < 0 || index >= ConnectionCount()) return nullptr;
  return order_[static_cast<std::size_t>(index)]->User.get();
}

std::vector<std::uint64_t> THubCore::SnapshotIds() const {
  std::vector<std::uint64_t> ids;
  ids.reserve(order_.size());
  for (const TConnection* connection : order_) ids.push_back(connection->User->Id());
  return ids;
}

void THubCore::ReportError(const std::string& place, const std::string& message) {
  hooks_.Feed().PostError("ECoreCriticalError:" + place + "(" + message + ")");
}

void THubCore::WriteStraight(TClientSocket& socket, std::string_view reason) {
  // A refusal before any record exists: one best-effort write, no queue.
  const std::string& bot = settings_.BotChatPrefix();
  const std::string text =
      bot + protocol_.Banner() + "|" + bot + std::string(reason) + "|";
  socket.Write(text.data(), text.size());
}

void THubCore::Accept(TAcceptedSocket accepted) {
  TPassGuard guard(*this);
  TClientSocket& socket = accepted.socket;
  if (!socket.IsOpen()) return;
  if (hooks_.Link().BadLink() || (settings_.MaxAmountAuthorizing.Enabled &&
                                  protocol_.Authorizing() >= settings_.MaxAmountAuthorizing.Value)) {
    WriteStraight(socket, language_.Text(TLanguageKey::HubTooBusy));
    return;  // the socket closes with `accepted`
  }
  // A client speaks only after "$Lock"; early bytes mark a flooder. A TLS
  // socket's raw bytes are records, not messages, so it is not judged.
  if (settings_.CheckDataBeforeLock.Enabled && !socket.IsTls()) {
    const TPendingInput pending = SocketPendingInput(socket.Fd());
    if (pending.Readable && (pending.Failed || settings_.CheckDataBeforeLock.Value == 0 ||
                             pending.Bytes > settings_.CheckDataBeforeLock.Value)) {
      return;
    }
  }
  auto connection = std::make_unique<TConnection>();
  connection->User = std::make_unique<THubSocket>(defaults_);
  connection->Socket = std::move(socket);
  THubSocket& user = *connection->User;
  user.UserInfo().LockSeed = TProtocol::NewLockSeed();
  user.TLSSession = connection->Socket.Tls();
  user.AcceptTick = accepted.acceptTick;
  protocol_.AddAuthorizing(1);
  try {
    user.Initialize(connection->Socket.Fd(), settings_.ConnRestriction);
  } catch (...) {
    protocol_.AddAuthorizing(-1);
    throw;
  }
  user.CloseHook = [this](THubSocket& closing) { OnClose(closing); };
  Install(std::move(connection));
  try {
    hooks_.Events().Connected(user);
    if (user.LifeState != lsInitialised) {
      CloseNow(user);
      return;
    }
    if (settings_.MaxAmountOfSameIP.Enabled) {
      int same = 0;
      for (const TConnection* other : order_) {
        if (other->User.get() != &user && other->User->LifeState == lsInitialised &&
            other->User->IP == user.IP) {
          ++same;
        }
      }
      if (same >= settings_.MaxAmountOfSameIP.Value) {
        WriteStraight(Find(user.Id())->Socket, kTooManySameIPText);
        CloseNow(user);
        return;
      }
    }
    protocol_.SendLock(user);
    TrySendSocket(user);
  } catch (const std::exception& e) {
    ReportError("THubCore.Accept", e.what());
    if (Find(user.Id()) != nullptr) CloseNow(user);
  }
}

void THubCore::Install(std::unique_ptr<TConnection> connection) {
  TConnection& entry = *connection;
  const std::uint64_t id = entry.User->Id();
  entry.Watch = loop_.Watch(entry.Socket.Fd(), ioRead, [this, id](unsigned) { OnReadable(id); });
  entry.Index = order_.size();
  order_.push_back(&entry);
  connections_.emplace(id, std::move(connection));
}

void THubCore::OnReadable(std::uint64_t id) {
  TConnection* connection = Find(id);
  if (connection == nullptr) return;
  // Paused until the read pass has taken what is there: level-triggered
  // readiness would otherwise wake the loop until then.
  connection->Watch.SetInterest(0);
  if (!connection->Ready) {
    connection->Ready = true;
    ready_.push_back(id);
  }
}

void THubCore::CloseNow(THubSocket& user) {
  TPassGuard guard(*this);
  if (Find(user.Id()) == nullptr) return;
  user.Close(false);  // the socket belongs to the entry; the hook closes it
}

void THubCore::OnClose(THubSocket& user) {
  try {
    if (user.Listed) {
      user.Listed = false;
      nickList_.Remove(user);
      if (user.Registered && user.Account) {
        TAccount& account = *user.Account;
        account.ShareHidden = user.HidesShare && !user.Rights().ForceHideShare();
        account.UserHidden = user.Hidden;
        accounts_.SetLastUsed(account, NowLocal());
        accounts_.SetOnline(account, false);
        account.Stats.Uptime += static_cast<std::int64_t>(TTime::Now() - user.ConnectTick);
      } else if (user.Protected) {
        hooks_.Login().ProtectedNickLeft(
            user.Nick, static_cast<std::int64_t>(TTime::Now() - user.ConnectTick));
      }
      hooks_.Events().LeaveRooms(user);
      hooks_.Counters().UserLoggedOut(user);
      hooks_.Events().LoggedOut(user);
      nickList_.AnnounceQuit(user);
    } else {
      protocol_.AddAuthorizing(-1);
    }
    hooks_.Events().Disconnected(user);
  } catch (const std::exception& e) {
    ReportError("THubCore.OnClose", e.what());
  }
  const auto it = connections_.find(user.Id());
  if (it == connections_.end()) return;
  std::unique_ptr<TConnection> entry = std::move(it->second);
  connections_.erase(it);
  entry->Watch.Remove();
  entry->Socket.Close();
  TConnection* last = order_.back();
  last->Index = entry->Index;
  order_[entry->Index] = last;
  order_.pop_back();
  // `user` lives in the entry: it is freed once no pass runs.
  closed_.push_back(std::move(entry));
}

void THubCore::DNSLookupDone(std::uint64_t connectionId, std::string dnsName) {
  TPassGuard guard(*this);
  THubSocket* user = FindConnection(connectionId);
  if (user == nullptr) return;
  try {
    protocol_.DNSLookupDone(*user, std::move(dnsName));
  } catch (const std::exception& e) {
    ReportError("THubCore.DNSLookupDone", e.what());
    CloseNow(*user);
  }
}
