#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TSettings;

// The protocol extensions a client announced in "$Supports".
struct TSupports {
  bool NoHello = false;
  bool NoGetINFO = false;
  bool GetZBlock = false;
  bool TTHSearch = false;
  bool UserIP = false;
  bool UserIP2 = false;
  bool UserCommand = false;
  bool MCTo = false;
  bool Feed = false;
  bool BotINFO = false;
  bool ZPipe = false;  // "ZPipe0" or "ZPipe"
  bool DHT0 = false;
  bool RTF0 = false;
};

// The kinds a flood gate counts, in the gate's own numbering.
enum class TFloodKind : std::uint8_t { Search = 0, MainChat, MyINFO, NickList, PrivateMessage };
inline constexpr std::size_t kFloodKindCount = 5;

// A counting window: when it started (ms) and how many arrived since.
struct TFloodWindow {
  std::uint64_t Start = 0;
  int Count = 0;
};

// One user's traffic counters; the statistics read them.
struct TTransferInfo {
  std::int64_t BytesSent = 0;  // first: on the connection's first cache line
  std::int64_t BytesReceived = 0;

  // The junk-data guard: bytes the hub did not handle, with the counter's
  // value at the last warning check and at the last disconnect check.
  std::int64_t JunkBytes = 0;
  std::int64_t JunkWarnMark = 0;
  std::int64_t JunkDropMark = 0;
  int Warnings = 0;  // shared by the junk-data guard and every flood gate
  bool KeyMatched = false;

  std::int64_t SearchesActive = 0;
  std::int64_t SearchesPassive = 0;
  std::int64_t ResultsSent = 0;
  std::int64_t ConnectToMe = 0;
  std::int64_t RevConnectToMe = 0;
  std::int64_t Kicks = 0;
  std::int64_t Redirects = 0;
  std::int64_t BotINFOs = 0;
  std::int64_t NickLists = 0;
  std::int64_t GetINFOs = 0;
  std::int64_t MyINFOs = 0;
  std::int64_t MainChatLines = 0;
  std::int64_t PrivateMessages = 0;
  std::int64_t MCTos = 0;

  std::array<TFloodWindow, kFloodKindCount> Flood{};
  TFloodWindow& FloodOf(TFloodKind kind) { return Flood[static_cast<std::size_t>(kind)]; }

  int ResultsSincePassiveSearch = 0;
  TFloodWindow BotINFOWindow;
  int InvalidIPNotices = 0;
};

// One rebuilt "$MyINFO" as others see it, with its delivery marks.
struct TMyINFOText {
  std::string Text;
  bool Changed = false;            // the last rebuild gave a different text
  std::uint64_t PendingSince = 0;  // ms; 0 = nothing waits for pooled delivery
  std::uint64_t ChangeStamp = 0;   // ms of the last change sent or pooled
  std::uint64_t Version = 0;       // new with every change of Text, unique in the process
};

// A user's parsed data, flags set by commands and the two "$MyINFO" texts
// the hub sends for it. Owns its counters and its allowed-connect list;
// knows nothing of the connection it belongs to.
class TUserInfo {
 public:
  static constexpr std::size_t kMaxAllowed = 20;

  // Lets `connectionId` connect to this user once; the oldest of more than
  // kMaxAllowed entries is dropped.
  void AddAllowed(std::uint64_t connectionId);
  // Takes one entry of `connectionId` back, the newest first; false when
  // there is none.
  bool RemoveAllowed(std::uint64_t connectionId);
  const std::vector<std::uint64_t>& Allowed() const { return allowed_; }

  // Rebuilds both texts from the parsed fields. The settings may leave out
  // description, tag, e-mail and speed: value 1 for everyone, 2 for users
  // only (operators still see the field).
  void RebuildMyINFO(std::string_view nick, const TSettings& settings);

  // First, and in this order: with the connection's first fields they make
  // the one cache line a broadcast and a send pass read per user.
  TSupports Supports;
  TTransferInfo Transfer;

  TMyINFOText UserMyINFO;      // what users see
  TMyINFOText OperatorMyINFO;  // what operators see

  std::string Description;
  std::string Speed;
  char Status = '\x01';
  std::string Email;
  std::int64_t Share = 0;  // shown to others (0 while the share is hidden)
  std::int64_t RealShare = 0;

  bool DeferredNickList = false;  // asked for before it was allowed
  int KickCount = 0;
  bool Muted = false;
  bool Lunarized = false;
  bool Kennylized = false;
  bool Blocked = false;
  // The profile level of the operator who imposed each penalty; -1 = none.
  // Statistics store them between a nick's visits.
  int MutedLevel = -1;
  int LunarizedLevel = -1;
  int KennylizedLevel = -1;
  int BlockedLevel = -1;
  bool AllowedToSpeak = false;  // may talk while main chat is locked

  std::string Tag;  // "<" .. ">" inclusive
  bool TagPresent = false;
  bool ClientKnown = false;
  std::string ClientName = "Unknown";
  std::string ClientVersion;
  int Hubs = 0;
  int Slots = 0;

  bool NickListSent = false;
  bool VersionReceived = false;
  int SupportsReceived = 0;
  std::string ExpectedKey;
  std::string Password;
  std::string LastKickReason;
  bool Kicked = false;
  int PrefixNag = 0;  // prefix-only commands in a row
  std::string LockSeed;  // 4 characters

 private:
  std::vector<std::uint64_t> allowed_;
};
