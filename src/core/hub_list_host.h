#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/date_time.h"
#include "platform/outbound_socket.h"
#include "utils/ip_list.h"
#include "utils/pattern_list.h"

class THubSocket;

// Where a host stands in the current registration pass.
enum THostState : std::uint8_t {
  hsWaiting = 0,     // to be resolved at the next poll
  hsResolving = 1,
  hsConnecting = 2,  // connected or connecting, waiting for the lock
  hsKeySent = 3,     // waiting for the server's close
  hsFinished = 4,    // done for this pass, or not in one
};

// One hub-list server the hub registers with, and the description of its
// pinger bot. Owns its registration socket and the bytes received on it.
struct THost {
  std::string Name;  // key, compared case-insensitively
  bool Enabled = true;
  std::string Description;
  std::string Host;
  int Port = 2501;
  TDateTime LastRun{};
  bool MayConnectToOtherUsers = false;
  std::string BotNickPattern;
  bool BotNickPatternEnabled = false;
  std::string BotIPPattern;
  bool BotIPPatternEnabled = false;
  bool UpdateBotIPWithDNS = false;
  bool SupportsNmdcs = false;

  TOutboundSocket Socket;
  THostState State = hsFinished;  // a new host waits for the next pass
  std::string Status;
  bool Failed = false;
  std::uint64_t Started = 0;  // ms of the hub-list clock at the connect
  std::uint64_t Pass = 0;     // the registration pass it was last part of
  std::string Received;       // bytes before the key
};

// One distinct pinger nick pattern or IP mask.
struct THostPE {
  std::string Pattern;
  bool SufficesAlone = false;  // matching it alone identifies a pinger
  bool MayConnect = false;     // of the host that first brought it
};

// What the hub-list page shows; nothing until the page registers.
class THubListView {
 public:
  virtual ~THubListView() = default;
  virtual void UpdateHost(const THost& /*host*/) {}
  virtual void RemoveHost(const THost& /*host*/) {}
  // The whole list changed (a load).
  virtual void Rebuild() {}
};

// The hub-list servers (settings/register.xml) and the pinger patterns
// built from them. Owns the hosts (and so their sockets) and the pattern
// entries; does not own the view. Main thread only.
class THostList {
 public:
  using TReport = std::function<void(const std::string& line)>;

  // `defaultStatus`: the status of a new host. `error`: Error lines.
  THostList(std::string defaultStatus, TReport error);
  ~THostList();
  THostList(const THostList&) = delete;
  THostList& operator=(const THostList&) = delete;

  void SetView(THubListView* view) { view_ = view; }
  THubListView& View() { return view_ != nullptr ? *view_ : nullView_; }

  // The host of that name, new or already present.
  THost* Add(std::string_view name);
  THost* Find(std::string_view name) const;
  // Frees the host (closing its socket); false when absent.
  bool Delete(std::string_view name);
  int GetCount() const { return static_cast<int>(hosts_.size()); }
  THost* GetHost(int index) const { return hosts_.at(static_cast<std::size_t>(index)).get(); }
  // False when `newName` equals the current name exactly, is empty or names
  // another host.
  bool Rename(THost& host, std::string_view newName);

  void RebuildPatterns();
  // 0 not a pinger, 1 a pinger bot, 2 one that may connect to users, 3 a
  // pinger's nick from another address.
  int PingerClass(std::string_view nick, std::string_view ip) const;
  int PingerClass(const THubSocket& user) const;

  static std::string FilePath();
  // True when the file existed and was read.
  bool Load();
  // Refused before the first Load and after a damaged one.
  bool Save();
  const std::string& FileVersion() const { return version_; }

 private:
  int IndexOf(std::string_view name) const;
  void AddPattern(TPatternList<THostPE>& list, const std::string& pattern, bool sufficesAlone,
                  bool mayConnect);
  void AddMask(const std::string& mask, bool sufficesAlone, bool mayConnect);
  void ClearPatterns();
  void ReportNickOnlyHosts();

  std::string defaultStatus_;
  TReport error_;
  THubListView* view_ = nullptr;
  THubListView nullView_;
  std::vector<std::unique_ptr<THost>> hosts_;
  TPatternList<THostPE> nickPatterns_{16};
  TIPList<THostPE> ipMasks_;
  std::vector<std::unique_ptr<THostPE>> entries_;  // owned for both lists
  std::string version_;
  bool loading_ = true;
  bool saveBlocked_ = false;
};
