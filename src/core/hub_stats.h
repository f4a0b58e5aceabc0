#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One counter per kind of protocol message the hub handled or sent. Plain
// fields: the protocol engine and the message builders increment them.
struct TProtocolStats {
  std::int64_t MyINFOs = 0;
  std::int64_t GetINFOs = 0;
  std::int64_t Nicklists = 0;  // nick lists built and sent
  std::int64_t MainchatMessages = 0;
  std::int64_t ActiveSearches = 0;
  std::int64_t PassiveSearches = 0;
  std::int64_t SearchReplies = 0;
  std::int64_t PrivateMessages = 0;
  std::int64_t ConnectToMe = 0;
  std::int64_t RevConnectToMe = 0;
  std::int64_t Kicks = 0;
  std::int64_t Redirects = 0;  // every "$ForceMove" sent
  std::int64_t MCTo = 0;
  std::int64_t BotINFO = 0;
  std::int64_t Feed = 0;  // "$Feed" messages queued to users
};

// A sum of shares that clients announce, each up to the int64 maximum. The
// sum is kept exact in 128 bits, so a total that went past the maximum
// comes back exactly as users leave; Value() is the sum held within
// 0..INT64_MAX, the form every reader and the hub lists take.
class TShareTotal {
 public:
  void Add(std::int64_t bytes) { sum_ += bytes; }
  void Remove(std::int64_t bytes) { sum_ -= bytes; }
  std::int64_t Value() const;
  // Starts the sum afresh at `bytes`.
  void Reset(std::int64_t bytes) { sum_ = bytes; }

 private:
  // 2^64 users at the maximum would still fit.
  __extension__ typedef __int128 TSum;
  TSum sum_ = 0;
};

// The hub's running counters, user and share peaks and its own address.
// Everything starts at 0 with the program and lives in memory only; nothing
// resets while it runs. Counters are 64-bit so a long-running hub cannot
// wrap them. Owns its TProtocolStats. Main thread only.
class TStats {
 public:
  // The local address found as FindLocalIP does.
  TStats();
  // A given local address (tests, or a caller that already knows it).
  explicit TStats(std::string localIP);

  // A user completed its login: the first one is remembered, the current
  // count rises and the peaks follow it.
  void UserLoggedIn(std::string_view nick);
  // The share peaks follow CurrentSharesize.
  void UpdateSharePeak();
  // A user's share joins the total when he is listed and leaves it when his
  // connection closes; while listed, each change is added as a (possibly
  // negative) difference. The only writers of CurrentSharesize; each
  // updates the peaks.
  void AddShare(std::int64_t bytes);
  void RemoveShare(std::int64_t bytes);

  bool FirstUserSeen = false;
  std::string FirstNick;
  std::string LocalIP;

  std::int64_t AuthorizingUsers = 0;  // connections still logging in
  std::int64_t CurrentUsers = 0;
  std::int64_t PeakUsers = 0;
  std::int64_t AllTimePeakUsers = 0;

  // Bytes, within 0..INT64_MAX. A value stored here directly (a test, a
  // reset) is where the next change starts from.
  std::int64_t CurrentSharesize = 0;
  std::int64_t PeakSharesize = 0;
  std::int64_t AllTimePeakSharesize = 0;

  std::int64_t UptimePeak = 0;  // ms

  std::int64_t Errors = 0;
  std::int64_t UnhandledExceptions = 0;
  std::int64_t SocketErrors = 0;
  std::int64_t ReadbufferFull = 0;
  std::int64_t WritebufferFull = 0;
  std::int64_t LoginTimeouts = 0;
  std::int64_t IdleTimeouts = 0;
  std::int64_t DropSpamKicks = 0;
  std::int64_t NickInUseRefusals = 0;
  std::int64_t MyINFOSaving = 0;  // bytes: received minus stored "$MyINFO" lengths

  std::int64_t ActionFeed = 0;
  std::int64_t KickFeed = 0;
  std::int64_t EventFeed = 0;
  std::int64_t GUIFeed = 0;
  std::int64_t ErrorFeed = 0;

  TProtocolStats Protocol;

 private:
  void ApplyShare(std::int64_t bytes, bool add);

  TShareTotal shareTotal_;
};

// The address the hub reports as its own: the first address the host name
// resolves to; when that is a loopback address (a common /etc/hosts entry),
// the first non-loopback interface address instead; "127.0.0.1" when the
// name does not resolve or nothing better exists.
std::string ChooseLocalIP(const std::vector<std::string>& hostAddresses,
                          const std::vector<std::string>& interfaceAddresses);

// ChooseLocalIP over this machine's host name and interfaces. Blocks on the
// resolver: call it at start-up only.
std::string FindLocalIP();
