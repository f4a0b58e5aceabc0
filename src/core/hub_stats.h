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

  bool FirstUserSeen = false;
  std::string FirstNick;
  std::string LocalIP;

  std::int64_t AuthorizingUsers = 0;  // connections still logging in
  std::int64_t CurrentUsers = 0;
  std::int64_t PeakUsers = 0;
  std::int64_t AllTimePeakUsers = 0;

  std::int64_t CurrentSharesize = 0;  // bytes
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
