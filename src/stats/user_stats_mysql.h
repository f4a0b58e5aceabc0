#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>

#include "stats/user_stats.h"

class TThreadPool;
class TWriteBuffer;

namespace mysqlstats {
struct TWorkObj;
struct TLink;
}

// The statistics in four MySQL tables, so that they outlive the process.
// Every operation becomes a job (everything it needs copied in) run by one
// worker thread against the owned connection; completions come back on the
// loop's thread and find their connections by id. Connect uses the
// connection from the loop's thread only before any worker runs (at
// start-up, before the ports open); from then on only the worker touches
// it, the closing updates of Shutdown included.
class TUserStatsMySQL final : public TUserStats {
 public:
  // Called once when the database failed while serving.
  using TFailure = std::function<void()>;

  explicit TUserStatsMySQL(TUserStatsContext context);
  ~TUserStatsMySQL() override;

  // Connects, creates the database when missing and starts; false (the
  // error kept) on any failure.
  bool Connect(const std::string& host, const std::string& user, int port,
               const std::string& database, const std::string& password);
  // While the hub serves: the same as Connect, run as the worker's first
  // job; `SetStartedHandler` hears when it succeeded, the failure handler
  // when not. False when a worker already runs.
  bool ConnectLater(const std::string& host, const std::string& user, int port,
                    const std::string& database, const std::string& password);
  void SetStartedHandler(std::function<void()> started) { startedHandler_ = std::move(started); }
  // The operator's connection test with these values, run as the worker's
  // next job so the loop never waits on the server (5 s connect limit);
  // `answer` hears on the loop's thread whether it connected. A success
  // replaces the connection; a failure leaves ConnectionError() and no
  // Error feed line. An empty database fails at once.
  void TryConnect(const std::string& host, const std::string& user, int port,
                  const std::string& database, const std::string& password,
                  std::function<void(bool)> answer);
  // After the hub stopped: the worker finishes its jobs, then marks
  // everyone offline, all within the close limit. Past it the worker is
  // given up with one Error feed line and left to end alone with the
  // connection it owns; the next start marks everyone offline instead.
  void Shutdown();
  static constexpr std::uint64_t kCloseLimitMs = 10'000;
  void SetCloseLimit(std::uint64_t ms) { closeLimitMs_ = ms; }
  void SetFailureHandler(TFailure failure) { failure_ = std::move(failure); }
  bool Connected() const { return connected_; }
  const std::string& ConnectionError() const { return connectionError_; }
  // Blocks until the worker's queue is empty (tests, benchmark).
  bool WaitForQueue(std::uint64_t limitMs);

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

  int NickCount() const override { return nickCount_; }
  int IPCount() const override { return ipCount_; }
  TDateTime StartTime() const { return startTime_; }
  TDateTime OldestEntry() const override { return startTime_; }
  // The connection's login was recorded here (its logout belongs here too).
  bool Recorded(std::uint64_t connectionId) const { return recorded_.contains(connectionId); }

  // The table option for a server version.
  static std::string TableOption(unsigned long serverVersion);

 private:
  static mysqlstats::TWorkObj StartJob(const std::string& host, const std::string& user, int port,
                                       const std::string& database, const std::string& password);
  void Started(const mysqlstats::TWorkObj& first);
  void StartWorker();
  void Queue(std::unique_ptr<mysqlstats::TWorkObj> job);
  void Done(std::unique_ptr<mysqlstats::TWorkObj> job);
  void ReportFailure(int number, const std::string& text, const std::string& query);
  // A report job of `kind` for the issuer.
  void Report(THubSocket& issuer, std::string_view pattern, bool isPM, int offset, int kind);
  void Clear(THubSocket& issuer, std::string_view nick, bool isPM, int kind);

  // Shared with the worker's function: a worker given up at shutdown may
  // still be inside the client library after this object is gone.
  std::shared_ptr<mysqlstats::TLink> link_;
  std::unique_ptr<TThreadPool> pool_;
  std::uint64_t closeLimitMs_ = kCloseLimitMs;
  bool closeDone_ = false;  // the closing job came back
  bool connected_ = false;
  bool started_ = false;
  std::string connectionError_;
  std::string database_;
  TDateTime startTime_{};
  int nickCount_ = -1;
  int ipCount_ = -1;
  TFailure failure_;
  std::function<void()> startedHandler_;
  std::function<void(bool)> tryAnswer_;
  // Logins whose stored values have not yet reached the user.
  std::unordered_set<std::uint64_t> pendingLogins_;
  std::unordered_set<std::uint64_t> recorded_;  // connections this back end logged in
};
