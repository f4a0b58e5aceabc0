#pragma once

#include <memory>
#include <string>
#include <vector>

#include "stats/user_stats.h"
#include "utils/bin_list.h"

class TStatsReport;
class TWriteBuffer;

// One login of a nick; Logout stays 0 while connected.
struct TNickStatsLogin {
  std::string IP;
  TDateTime Login{};
  TDateTime Logout{};
};

struct TNickStats {
  static constexpr std::size_t kMaxLogins = 30;

  std::string Nick;
  bool Online = false;
  TDateTime LastUsed{};
  std::vector<TNickStatsLogin> Logins;  // oldest first
  int TimesKicked = 0;
  int Muted = -1;  // level of the operator who imposed it; -1 = none
  int Lunarized = -1;
  int Kennylized = -1;
  int Blocked = -1;
};

struct TIPStatsNick {
  std::string Nick;
  bool Online = false;
  int TimesUsed = 0;
  TDateTime LastUsed{};
};

// Owns its nick entries.
struct TIPStats {
  TIPStats() : Nicks(2) {}
  ~TIPStats() { Nicks.ClearAndFree(); }
  TIPStats(const TIPStats&) = delete;
  TIPStats& operator=(const TIPStats&) = delete;

  std::string IP;
  int Online = 0;  // nicks online from it now
  TDateTime LastUsed{};
  TBinList<TIPStatsNick> Nicks;  // sorted, case-insensitive
};

// The statistics kept in memory for the life of the process: a record per
// nick ever seen and per IP. Owns every record; nothing goes to disk.
class TUserStatsLocal final : public TUserStats {
 public:
  explicit TUserStatsLocal(TUserStatsContext context);
  ~TUserStatsLocal() override;

  void Cleanup(TDateTime cutOff) override;
  void UserLoggedIn(THubSocket& user) override;
  void UserLoggedOut(THubSocket& user) override;
  void ReportUserInfo(THubSocket& issuer, std::string_view pattern, bool isPM,
                      int offset) override;
  void ReportIPInfo(THubSocket& issuer, std::string_view pattern, bool isPM, int offset) override;
  void ReportNickInfo(THubSocket& issuer, std::string_view pattern, bool isPM,
                      int offset) override;
  void ClearBlocked(THubSocket& issuer, std::string_view nick, bool isPM) override;
  void ClearMuted(THubSocket& issuer, std::string_view nick, bool isPM) override;
  void ClearLunarized(THubSocket& issuer, std::string_view nick, bool isPM) override;
  void ClearKennylized(THubSocket& issuer, std::string_view nick, bool isPM) override;

  int NickCount() const override { return nicks_ ? nicks_->Count() : 0; }
  int IPCount() const override { return ips_ ? ips_->Count() : 0; }
  TDateTime OldestEntry() const override { return startTime_; }

  const TNickStats* FindNick(std::string_view nick) const;
  const TIPStats* FindIP(std::string_view ip) const;

 private:
  void Start();
  void Send(THubSocket& issuer, bool isPM);
  void Clear(THubSocket& issuer, std::string_view nick, bool isPM, TPenalty penalty);
  void WriteSingleNick(TStatsReport& report, THubSocket& issuer, const TNickStats& stats);

  bool started_ = false;
  TDateTime startTime_{};
  std::unique_ptr<TBinList<TNickStats>> nicks_;
  std::unique_ptr<TBinList<TIPStats>> ips_;
  int reportedNicks_ = 0;
  int reportedIPs_ = 0;
  std::unique_ptr<TWriteBuffer> report_;
};
