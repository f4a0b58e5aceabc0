#include "stats/user_stats_mysql.h"

#include <algorithm>
#include <atomic>
#include <utility>
#include <vector>

#include "core/hub_socket.h"
#include "core/nick_list.h"
#include "core/protocol_message.h"
#include "core/write_buffer.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "security/profile_access.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "stats/mysql.h"
#include "stats/stats_report.h"
#include "utils/text_format.h"
#include "utils/thread_pool.h"

using K = TLanguageKey;

namespace mysqlstats {

enum TKind {
  kCleanup = 0,
  kLoggedIn,
  kLoggedOut,
  kUserInfo,
  kIPInfo,
  kNickInfo,
  kClearBlocked,
  kClearMuted,
  kClearLunarized,
  kClearKennylized,
  kStart = 100,  // a start needed after the hub began serving
  kClose,        // the closing updates at program end
};

// The connection and the outage flag, owned together by the back end and
// its worker's function.
struct TLink {
  TMySQL Db;
  std::atomic<bool> Failed{false};
};

// One job: everything the worker needs is copied in; the worker writes
// only here.
struct TWorkObj final : TThreadJob {
  int Kind = 0;
  std::uint64_t ConnectionId = 0;
  TDateTime Stamp{};
  TDateTime HubStart{};
  bool NickAdded = false;
  bool IPAdded = false;
  bool IsPM = false;
  std::string Pattern;
  int Offset = 0;
  int MaxHits = 0;
  std::int64_t Total = 0;
  std::unique_ptr<TMySQLResult> Rows;
  std::unique_ptr<TMySQLResult> Rows2;
  std::string Nick, IP;
  int Kicks = 0;
  int Muted = -1, Kennylized = -1, Lunarized = -1, Blocked = -1;
  bool KeepStored = false;  // the login's values never reached the user
  std::string DNS, Description, Email, Tag, Client;
  bool Passive = false;
  std::int64_t Share = 0;
  int Hubs = 0, Slots = 0;
  std::uint8_t IssuerRight = 0;
  int IssuerLevel = 0;
  int FoundLevel = -2;
  std::int64_t FoundId = 0;
  // A start: where to connect.
  std::string Host, User, Password, Database;
  int Port = 0;
  bool Probe = false;  // the operator's connection test
  // Filled by the worker.
  int ErrorNumber = 0;
  std::string ErrorText, Query;
  TDateTime Oldest{};
  std::int64_t NickCount = -1, IPCount = -1;
  bool Dropped = false;
};

}  // namespace mysqlstats

using mysqlstats::TWorkObj;

namespace {

std::string Cut(std::string_view text, std::size_t bytes) {
  return std::string(text.substr(0, std::min(text.size(), bytes)));
}

int Clamp(std::int64_t value, int low, int high) {
  return static_cast<int>(std::clamp<std::int64_t>(value, low, high));
}

std::string Stamp(TDateTime t) { return FormatDateTime(t); }

// A datetime read back; "0000-00-00 00:00:00" and NULL count as not set.
TDateTime ReadTime(std::string_view text) {
  TDateTime t{};
  if (!ParseDateTime(text, t)) return {};
  return t;
}

std::int64_t ToInt(std::string_view text) {
  std::int64_t value = 0;
  bool negative = false;
  std::size_t i = 0;
  if (!text.empty() && text[0] == '-') {
    negative = true;
    i = 1;
  }
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + (text[i] - '0');
  return negative ? -value : value;
}

// Runs statements in order; after the first failure none runs and the
// failure is kept in the job.
class TSession {
 public:
  TSession(TMySQL& db, TWorkObj& job) : db_(db), job_(job) {}

  bool Ok() const { return job_.ErrorNumber == 0; }
  std::unique_ptr<TMySQLResult> Run(const std::string& sql) {
    if (!Ok()) return nullptr;
    auto rows = db_.Query(sql);
    if (db_.ErrorNumber() != 0) {
      job_.ErrorNumber = db_.ErrorNumber();
      job_.ErrorText = db_.ErrorText();
      job_.Query = sql;
    }
    return rows;
  }
  // The first field of the first row; "" without rows.
  std::string One(const std::string& sql) {
    auto rows = Run(sql);
    if (rows == nullptr || !rows->FetchRow()) return {};
    return std::string(rows->Field(0));
  }
  std::string Q(std::string_view text) const { return "\"" + db_.Escape(text) + "\""; }
  TMySQL& Db() { return db_; }

 private:
  TMySQL& db_;
  TWorkObj& job_;
};

// "*" is the only wildcard: "%", "_" and "\" of the pattern match
// themselves.
std::string LikeText(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '%' || c == '_' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

std::string NickCondition(TSession& s, std::string_view pattern, const char* column) {
  const bool head = pattern.starts_with('*');
  const bool tail = pattern.size() > 1 && pattern.ends_with('*');
  if (pattern == "*") return "1";
  std::string_view middle = pattern;
  if (head) middle.remove_prefix(1);
  if (tail) middle.remove_suffix(1);
  const std::string like = LikeText(middle);
  const std::string col = std::string("`") + column + "`";
  if (head && tail) return col + " LIKE " + s.Q("%" + like + "%");
  if (tail) return col + " LIKE " + s.Q(like + "%");
  if (head) return col + " LIKE " + s.Q("%" + like);
  return col + " = " + s.Q(pattern);
}

std::string IPCondition(TSession& s, std::string_view pattern, const char* column) {
  if (pattern == "*") return "1";
  const std::string col = column;
  if (pattern.ends_with('*')) {
    return col + " LIKE " + s.Q(LikeText(pattern.substr(0, pattern.size() - 1)) + "%");
  }
  return col + " = " + s.Q(pattern);
}

void ReadCounts(TSession& s, TWorkObj& job) {
  const std::string oldest = s.One("SELECT `login` FROM `nickstats_login` ORDER BY `login` ASC LIMIT 1");
  if (!oldest.empty()) job.Oldest = ReadTime(oldest);
  job.NickCount = ToInt(s.One("SELECT COUNT(*) FROM `nickstats`"));
  job.IPCount = ToInt(s.One("SELECT COUNT(*) FROM `ipstats`"));
}

const char* kTables[] = {
    "CREATE TABLE IF NOT EXISTS `ipstats` (`id` int(10) unsigned NOT NULL auto_increment, `ip` varchar(15) NOT NULL, `online` smallint(10) unsigned NOT NULL default '0', `last_used` datetime NOT NULL default \"1981-09-30 00:00:00\", PRIMARY KEY (`id`), UNIQUE KEY `ip` (`ip`)) ",
    "CREATE TABLE IF NOT EXISTS `ipstats_nicks` (`id` int(10) unsigned NOT NULL auto_increment, `ipstats_id` int(10) unsigned NOT NULL, `nick` varchar(64) NOT NULL, `used_times` int(10) unsigned NOT NULL, `online` enum(\"n\", \"y\") NOT NULL default \"n\", `last_used` datetime NOT NULL default \"1981-09-30 00:00:00\", PRIMARY KEY (`id`), KEY `ipstats_id` (`ipstats_id`), KEY `nick` (`nick`)) ",
    "CREATE TABLE IF NOT EXISTS `nickstats` (`id` int(10) unsigned NOT NULL auto_increment, `nick` varchar(64) NOT NULL, `dns` varchar(255), `passive_mode` enum(\"n\", \"y\") NOT NULL default \"n\", `description` varchar(200), `email` varchar(100), `sharesize` bigint(20) unsigned NOT NULL default '0', `tag` varchar(100), `client` varchar(30), `hubs` smallint(5) unsigned NOT NULL default '0', `slots` smallint(5) unsigned NOT NULL default '0', `muted` tinyint(2) NOT NULL default '-1', `kennylized` tinyint(2) NOT NULL default '-1', `lunarized` tinyint(2) NOT NULL default '-1', `blocked` tinyint(2) NOT NULL default '-1', `kicked_times` int(10) unsigned NOT NULL default '0', `online` enum(\"n\", \"y\") NOT NULL default \"n\", `last_used` datetime NOT NULL default \"1981-09-30 00:00:00\", PRIMARY KEY (`id`), UNIQUE KEY `nick` (`nick`)) ",
    "CREATE TABLE IF NOT EXISTS `nickstats_login` (`id` int(10) unsigned NOT NULL auto_increment, `nickstats_id` int(10) unsigned NOT NULL, `ip` varchar(15) NOT NULL, `login` datetime NOT NULL default \"1981-09-30 00:00:00\", `logout` datetime default NULL, PRIMARY KEY (`id`), KEY `nickstats_id` (`nickstats_id`)) ",
};

// Creates and upgrades the tables, resets the online marks and reads the
// counts. Runs where the caller is allowed to use the connection.
void StartTables(TSession& s, TWorkObj& job) {
  const std::string option =
      TUserStatsMySQL::TableOption(s.Db().ServerVersion()) + " DEFAULT CHARSET=latin1";
  for (const char* table : kTables) s.Run(table + option);
  if (!s.Ok()) return;
  const auto accept1060 = [&] {
    if (job.ErrorNumber != 1060) return;
    job.ErrorNumber = 0;
    job.ErrorText.clear();
    job.Query.clear();
  };
  s.Run("ALTER TABLE `ipstats` ADD `online` SMALLINT UNSIGNED NOT NULL AFTER `ip`");
  accept1060();
  s.Run("ALTER TABLE `ipstats_nicks` ADD `online` ENUM(\"n\", \"y\") DEFAULT \"n\" NOT NULL AFTER `used_times`");
  accept1060();
  s.Run("ALTER TABLE `nickstats` ADD `dns` VARCHAR(255) NOT NULL AFTER `nick`, ADD `passive_mode` ENUM(\"n\", \"y\") DEFAULT \"n\" NOT NULL AFTER `dns`, ADD `description` VARCHAR(200) AFTER `passive_mode`, ADD `email` VARCHAR(100) AFTER `description`, ADD `tag` VARCHAR(100) AFTER `email`, ADD `sharesize` BIGINT UNSIGNED NOT NULL AFTER `tag`, ADD `client` VARCHAR(30) AFTER `sharesize`, ADD `hubs` SMALLINT UNSIGNED NOT NULL AFTER `client`, ADD `slots` SMALLINT UNSIGNED NOT NULL AFTER `hubs`");
  accept1060();
  s.Run("UPDATE `nickstats` SET `online` = \"n\"");
  s.Run("UPDATE `ipstats_nicks` SET `online` = \"n\"");
  s.Run("UPDATE `ipstats` SET `online` = 0");
  ReadCounts(s, job);
}

// Connects, creates the database when missing and starts the tables; the
// outcome is kept in the job (an error text without a number for a
// missing database name). Runs on the loop before the hub serves, or as the
// worker's first job after.
void OpenAndStart(TMySQL& db, TWorkObj& job) {
  if (!db.Connect(job.Host, job.User, job.Port, job.Password)) {
    job.ErrorNumber = db.ErrorNumber();
    job.ErrorText = db.ErrorText();
    return;
  }
  if (job.Database.empty()) {
    job.ErrorText = "Database name required.";
    return;
  }
  if (!db.SelectDatabase(job.Database) && db.ErrorNumber() == 1049) {
    db.Query("CREATE DATABASE " + QuoteName(job.Database));
    if (db.ErrorNumber() == 0) db.SelectDatabase(job.Database);
  }
  if (db.ErrorNumber() != 0) {
    job.ErrorNumber = db.ErrorNumber();
    job.ErrorText = db.ErrorText();
    job.Query = db.LastQuery();
    return;
  }
  TSession session(db, job);
  StartTables(session, job);
}

void RunLoggedIn(TSession& s, TWorkObj& job) {
  const std::string now = s.Q(Stamp(job.Stamp));
  auto rows = s.Run("SELECT `id`, `muted`, `kennylized`, `lunarized`, `blocked`, `kicked_times` "
                    "FROM `nickstats` WHERE `nick` = " + s.Q(job.Nick));
  std::int64_t id = 0;
  if (rows != nullptr && rows->FetchRow()) {
    id = ToInt(rows->Field(0));
    job.Muted = static_cast<int>(ToInt(rows->Field(1)));
    job.Kennylized = static_cast<int>(ToInt(rows->Field(2)));
    job.Lunarized = static_cast<int>(ToInt(rows->Field(3)));
    job.Blocked = static_cast<int>(ToInt(rows->Field(4)));
    job.Kicks = static_cast<int>(ToInt(rows->Field(5)));
    s.Run("UPDATE `nickstats` SET `online` = \"y\", `last_used` = " + now + " WHERE `id` = " +
          std::to_string(id));
  } else {
    s.Run("INSERT INTO `nickstats` (`nick`, `online`, `last_used`) VALUES (" + s.Q(job.Nick) +
          ", \"y\", " + now + ")");
    id = s.Db().InsertId();
    job.NickAdded = s.Ok();
  }
  s.Run("INSERT INTO `nickstats_login` (`nickstats_id`, `ip`, `login`) VALUES (" +
        std::to_string(id) + ", " + s.Q(job.IP) + ", " + now + ")");
  const std::string ipId = s.One("SELECT `id` FROM `ipstats` WHERE `ip` = " + s.Q(job.IP));
  std::int64_t ip = 0;
  if (!ipId.empty()) {
    ip = ToInt(ipId);
    s.Run("UPDATE `ipstats` SET `online` = `online` + 1, `last_used` = " + now +
          " WHERE `id` = " + ipId);
  } else {
    s.Run("INSERT INTO `ipstats` (`ip`, `online`, `last_used`) VALUES (" + s.Q(job.IP) + ", 1, " +
          now + ")");
    ip = s.Db().InsertId();
    job.IPAdded = s.Ok();
  }
  const std::string entry = s.One("SELECT `id` FROM `ipstats_nicks` WHERE `ipstats_id` = " +
                                  std::to_string(ip) + " AND `nick` = " + s.Q(job.Nick));
  if (!entry.empty()) {
    s.Run("UPDATE `ipstats_nicks` SET `used_times` = `used_times` + 1, `online` = \"y\", "
          "`last_used` = " + now + " WHERE `id` = " + entry);
  } else {
    s.Run("INSERT INTO `ipstats_nicks` (`ipstats_id`, `nick`, `used_times`, `online`, "
          "`last_used`) VALUES (" + std::to_string(ip) + ", " + s.Q(job.Nick) + ", 1, \"y\", " +
          now + ")");
  }
}

void RunLoggedOut(TSession& s, TWorkObj& job) {
  const std::string now = s.Q(Stamp(job.Stamp));
  const std::string id = s.One("SELECT `id` FROM `nickstats` WHERE `nick` = " + s.Q(job.Nick));
  if (!id.empty()) {
    std::string set = "UPDATE `nickstats` SET `online` = \"n\", `dns` = " + s.Q(job.DNS) +
                      ", `passive_mode` = " + (job.Passive ? "\"y\"" : "\"n\"") +
                      ", `description` = " + s.Q(job.Description) + ", `email` = " +
                      s.Q(job.Email) + ", `sharesize` = " + std::to_string(job.Share) +
                      ", `tag` = " + s.Q(job.Tag) + ", `client` = " + s.Q(job.Client) +
                      ", `hubs` = " + std::to_string(job.Hubs) + ", `slots` = " +
                      std::to_string(job.Slots) + ", `last_used` = " + now;
    if (!job.KeepStored) {
      set += ", `muted` = " + std::to_string(job.Muted) + ", `kennylized` = " +
             std::to_string(job.Kennylized) + ", `lunarized` = " + std::to_string(job.Lunarized) +
             ", `blocked` = " + std::to_string(job.Blocked) + ", `kicked_times` = " +
             std::to_string(job.Kicks);
    }
    s.Run(set + " WHERE `id` = " + id);
    s.Run("UPDATE `nickstats_login` SET `logout` = " + now + " WHERE `nickstats_id` = " + id +
          " ORDER BY `login` DESC, `id` DESC LIMIT 1");
  }
  const std::string ip = s.One("SELECT `id` FROM `ipstats` WHERE `ip` = " + s.Q(job.IP));
  if (!ip.empty()) {
    // One logout is one user less, never all of them.
    s.Run("UPDATE `ipstats` SET `online` = GREATEST(`online`, 1) - 1, `last_used` = " + now +
          " WHERE `id` = " + ip);
    s.Run("UPDATE `ipstats_nicks` SET `online` = \"n\" WHERE `ipstats_id` = " + ip +
          " AND `nick` = " + s.Q(job.Nick));
  }
}

void RunCleanup(TSession& s, TWorkObj& job) {
  const std::string t = s.Q(Stamp(job.Stamp));
  const std::string t2 = s.Q(Stamp(std::min(job.Stamp, job.HubStart)));
  s.Run("DELETE FROM `nickstats` WHERE `online` = \"n\" AND `last_used` < " + t);
  s.Run("DELETE FROM `nickstats_login` WHERE (`logout` IS NULL AND `login` < " + t2 +
        ") OR (`logout` IS NOT NULL AND `logout` < " + t + ")");
  s.Run("DELETE FROM `ipstats` WHERE `online` = 0 AND `last_used` < " + t);
  s.Run("DELETE FROM `ipstats_nicks` WHERE `online` = \"n\" AND `last_used` < " + t);
  s.Run("OPTIMIZE TABLE `nickstats`, `nickstats_login`, `ipstats`, `ipstats_nicks`");
  ReadCounts(s, job);
}

// THubSocket::MayActOnLevel, from values copied into the job.
bool MayActOn(std::uint8_t right, int own, int target) {
  switch (right) {
    case paLower: return target < own;
    case paSame: return target <= own;
    case paHigher: return true;
    default: return false;
  }
}

const char* PenaltyColumn(int kind) {
  switch (kind) {
    case mysqlstats::kClearBlocked: return "blocked";
    case mysqlstats::kClearMuted: return "muted";
    case mysqlstats::kClearLunarized: return "lunarized";
    default: return "kennylized";
  }
}

// Every clear matches the nick exactly and updates by id.
void RunClear(TSession& s, TWorkObj& job) {
  const std::string column = std::string("`") + PenaltyColumn(job.Kind) + "`";
  auto rows = s.Run("SELECT `id`, " + column + " FROM `nickstats` WHERE `nick` = " + s.Q(job.Nick));
  if (rows == nullptr || !rows->FetchRow()) return;
  job.FoundId = ToInt(rows->Field(0));
  job.FoundLevel = static_cast<int>(ToInt(rows->Field(1)));
}

void ClearStored(TSession& s, TWorkObj& job) {
  s.Run("UPDATE `nickstats` SET `" + std::string(PenaltyColumn(job.Kind)) +
        "` = -1 WHERE `id` = " + std::to_string(job.FoundId));
}

void RunUserInfo(TSession& s, TWorkObj& job) {
  if (job.Pattern.empty()) return;
  const std::string where = NickCondition(s, job.Pattern, "nick");
  job.Total = ToInt(s.One("SELECT COUNT(*) FROM `nickstats` WHERE " + where));
  if (job.Total - job.Offset == 1 || job.Total == 1) {
    const int offset = job.Total == 1 ? 0 : job.Offset;
    job.Rows = s.Run("SELECT `id`, `nick`, `dns`, `passive_mode`, `description`, `email`, "
                     "`sharesize`, `tag`, `client`, `hubs`, `slots`, `muted`, `kennylized`, "
                     "`lunarized`, `blocked`, `kicked_times`, `online`, `last_used` FROM "
                     "`nickstats` WHERE " + where + " ORDER BY `nick` LIMIT " +
                     std::to_string(offset) + ",1");
    if (job.Rows != nullptr && job.Rows->FetchRow()) {
      job.Rows2 = s.Run("SELECT `ip`, `login`, `logout` FROM `nickstats_login` WHERE "
                        "`nickstats_id` = " + std::string(job.Rows->Field(0)) +
                        " ORDER BY `login` DESC, `id` DESC LIMIT 30");
      job.Rows->Rewind();
    }
    job.Total = 1;
    return;
  }
  job.Rows = s.Run("SELECT `nick`, `online`, `last_used` FROM `nickstats` WHERE " + where +
                   " ORDER BY `nick` ASC LIMIT " + std::to_string(job.Offset) + ", " +
                   std::to_string(job.MaxHits));
}

void RunIPInfo(TSession& s, TWorkObj& job) {
  const std::string where = IPCondition(s, job.Pattern, "`ip`");
  job.Total = ToInt(s.One("SELECT COUNT(*) FROM `ipstats` WHERE " + where));
  if (job.Total - job.Offset == 1 || job.Total == 1) {
    const int offset = job.Total == 1 ? 0 : job.Offset;
    const std::string ip = s.One("SELECT `id` FROM `ipstats` WHERE " + where +
                                 " ORDER BY `ip` LIMIT " + std::to_string(offset) + ",1");
    job.Rows = s.Run("SELECT a.`ip`, b.`nick`, b.`used_times`, b.`last_used` FROM `ipstats` a "
                     "LEFT JOIN `ipstats_nicks` b ON b.`ipstats_id` = a.`id` WHERE a.`id` = " +
                     (ip.empty() ? std::string("0") : ip) +
                     " ORDER BY b.`last_used` DESC LIMIT 30");
    job.Total = 1;
    return;
  }
  job.Rows = s.Run("SELECT `ip`, `last_used` FROM `ipstats` WHERE " + where +
                   " ORDER BY `ip` ASC LIMIT " + std::to_string(job.Offset) + ", " +
                   std::to_string(job.MaxHits));
}

void RunNickInfo(TSession& s, TWorkObj& job) {
  const std::string from = " FROM `ipstats` a JOIN `ipstats_nicks` b ON b.`ipstats_id` = a.`id` WHERE " +
                           IPCondition(s, job.Pattern, "a.`ip`");
  job.Total = ToInt(s.One("SELECT COUNT(*)" + from));
  job.Rows = s.Run("SELECT a.`ip`, b.`nick`, b.`used_times`" + from +
                   " ORDER BY a.`ip` ASC, b.`nick` ASC LIMIT " + std::to_string(job.Offset) +
                   ", " + std::to_string(job.MaxHits));
}

// Marks everyone offline at program end; sessions still open get the
// logout time.
void RunClose(TSession& s, TWorkObj& job) {
  const std::string now = s.Q(Stamp(job.Stamp));
  s.Run("UPDATE `nickstats` SET `online` = \"n\", `last_used` = " + now + " WHERE `online` = \"y\"");
  s.Run("UPDATE `nickstats_login` SET `logout` = " + now + " WHERE `logout` IS NULL AND `login` >= " +
        s.Q(Stamp(job.HubStart)));
  s.Run("UPDATE `ipstats` SET `online` = 0, `last_used` = " + now + " WHERE `online` <> 0");
  s.Run("UPDATE `ipstats_nicks` SET `online` = \"n\" WHERE (`online` = \"y\")");
}

}  // namespace

std::string TUserStatsMySQL::TableOption(unsigned long serverVersion) {
  return serverVersion > 49999 ? "ENGINE=MyISAM" : "TYPE=MyISAM";
}

TUserStatsMySQL::TUserStatsMySQL(TUserStatsContext context)
    : TUserStats(std::move(context)), link_(std::make_shared<mysqlstats::TLink>()) {}

TUserStatsMySQL::~TUserStatsMySQL() { pool_.reset(); }

bool TUserStatsMySQL::WaitForQueue(std::uint64_t limitMs) {
  return pool_ == nullptr || pool_->WaitForQueue(limitMs);
}

bool TUserStatsMySQL::Connect(const std::string& host, const std::string& user, int port,
                              const std::string& database, const std::string& password) {
  connected_ = false;
  pool_.reset();
  // A fresh connection: a worker left behind keeps its own.
  link_ = std::make_shared<mysqlstats::TLink>();
  TWorkObj first = StartJob(host, user, port, database, password);
  OpenAndStart(link_->Db, first);
  if (first.ErrorNumber != 0 || !first.ErrorText.empty()) {
    connectionError_ = first.ErrorText;
    if (first.ErrorNumber != 0) ReportFailure(first.ErrorNumber, first.ErrorText, first.Query);
    return false;
  }
  Started(first);
  StartWorker();
  return connected_;
}

bool TUserStatsMySQL::ConnectLater(const std::string& host, const std::string& user, int port,
                                   const std::string& database, const std::string& password) {
  if (pool_ != nullptr) return false;
  connected_ = false;
  link_->Failed = false;
  StartWorker();
  Queue(std::make_unique<TWorkObj>(StartJob(host, user, port, database, password)));
  return true;
}

void TUserStatsMySQL::TryConnect(const std::string& host, const std::string& user, int port,
                                 const std::string& database, const std::string& password,
                                 std::function<void(bool)> answer) {
  if (database.empty()) {
    connectionError_ = "Database name required.";
    answer(false);
    return;
  }
  if (pool_ == nullptr) StartWorker();
  link_->Failed = false;
  tryAnswer_ = std::move(answer);
  auto job = std::make_unique<TWorkObj>(StartJob(host, user, port, database, password));
  job->Probe = true;
  pool_->AddJob(std::move(job));
}

TWorkObj TUserStatsMySQL::StartJob(const std::string& host, const std::string& user, int port,
                                   const std::string& database, const std::string& password) {
  TWorkObj job;
  job.Kind = mysqlstats::kStart;
  job.Host = host;
  job.User = user;
  job.Port = port;
  job.Database = database;
  job.Password = password;
  return job;
}

void TUserStatsMySQL::Started(const TWorkObj& first) {
  database_ = first.Database;
  started_ = true;
  connected_ = true;
  startTime_ = first.Oldest.Seconds != 0 ? first.Oldest : Context().Clock();
  nickCount_ = static_cast<int>(first.NickCount);
  ipCount_ = static_cast<int>(first.IPCount);
}

void TUserStatsMySQL::StartWorker() {
  pool_ = std::make_unique<TThreadPool>(*Context().Loop, 1);
  // The worker touches only the job and the link it shares.
  pool_->SetWorker([link = link_](TThreadJob& base) {
    auto& job = static_cast<TWorkObj&>(base);
    if (link->Failed && job.Kind != mysqlstats::kStart) {
      job.Dropped = true;  // one outage, one report
      return;
    }
    if (job.Kind == mysqlstats::kStart) {
      OpenAndStart(link->Db, job);
      if (job.ErrorNumber != 0 || !job.ErrorText.empty()) link->Failed = true;
      return;
    }
    TSession s(link->Db, job);
    switch (job.Kind) {
      case mysqlstats::kCleanup: RunCleanup(s, job); break;
      case mysqlstats::kLoggedIn: RunLoggedIn(s, job); break;
      case mysqlstats::kLoggedOut: RunLoggedOut(s, job); break;
      case mysqlstats::kUserInfo: RunUserInfo(s, job); break;
      case mysqlstats::kIPInfo: RunIPInfo(s, job); break;
      case mysqlstats::kNickInfo: RunNickInfo(s, job); break;
      case mysqlstats::kClose: RunClose(s, job); break;
      default:
        RunClear(s, job);
        if (job.FoundLevel >= 0 && MayActOn(job.IssuerRight, job.IssuerLevel, job.FoundLevel)) {
          ClearStored(s, job);
        }
        break;
    }
    if (job.ErrorNumber != 0) link->Failed = true;
  });
  pool_->OnDone = [this](std::unique_ptr<TThreadJob> finished) {
    Done(std::unique_ptr<TWorkObj>(static_cast<TWorkObj*>(finished.release())));
  };
}

void TUserStatsMySQL::ReportFailure(int number, const std::string& text, const std::string& query) {
  TUserStatsContext& ctx = Context();
  if (!ctx.ErrorFeed) return;
  if (!query.empty()) ctx.ErrorFeed("MySQL query: " + query);
  ctx.ErrorFeed("MySQL error(" + std::to_string(number) + "): " + text);
}

void TUserStatsMySQL::Queue(std::unique_ptr<TWorkObj> job) {
  if (pool_ == nullptr || link_->Failed) return;
  pool_->AddJob(std::move(job));
}

// The closing updates queue behind the jobs still waiting, so the
// connection stays the worker's alone; one limit bounds both.
void TUserStatsMySQL::Shutdown() {
  if (!started_ || pool_ == nullptr) return;
  started_ = false;
  auto job = std::make_unique<TWorkObj>();
  job->Kind = mysqlstats::kClose;
  job->Stamp = Context().Clock();
  job->HubStart = startTime_;
  closeDone_ = false;
  pool_->AddJob(std::move(job));  // an earlier outage drops it on the worker
  if (pool_->WaitForQueue(closeLimitMs_)) {
    pool_.reset();  // delivers the completions
    return;
  }
  // The server does not answer: leave the worker behind at once, keeping
  // the link it shares, and let it send nothing more.
  pool_->SetShutdownTimeout(0);
  pool_.reset();
  link_->Db.Cancel();
  link_ = std::make_shared<mysqlstats::TLink>();
  connected_ = false;
  if (closeDone_) return;  // it came back while the pool stopped
  if (Context().ErrorFeed) {
    Context().ErrorFeed(
        "User statistics: the MySQL server did not answer, the closing updates were given up");
  }
}

void TUserStatsMySQL::Cleanup(TDateTime cutOff) {
  auto job = std::make_unique<TWorkObj>();
  job->Kind = mysqlstats::kCleanup;
  job->Stamp = cutOff;
  job->HubStart = startTime_;
  Queue(std::move(job));
}

void TUserStatsMySQL::UserLoggedIn(THubSocket& user) {
  if (pool_ == nullptr || link_->Failed) return;
  auto job = std::make_unique<TWorkObj>();
  job->Kind = mysqlstats::kLoggedIn;
  job->ConnectionId = user.Id();
  job->Stamp = Context().Clock();
  job->Nick = Cut(user.Nick, 64);
  job->IP = Cut(user.IP, 15);
  user.StatsLogin = true;
  pendingLogins_.insert(user.Id());
  recorded_.insert(user.Id());
  Queue(std::move(job));
}

void TUserStatsMySQL::UserLoggedOut(THubSocket& user) {
  if (!user.StatsLogin) return;
  user.StatsLogin = false;
  recorded_.erase(user.Id());
  const bool pending = pendingLogins_.erase(user.Id()) > 0;
  if (pool_ == nullptr || link_->Failed) return;
  const TUserInfo& info = user.UserInfo();
  auto job = std::make_unique<TWorkObj>();
  job->Kind = mysqlstats::kLoggedOut;
  job->ConnectionId = user.Id();
  job->Stamp = Context().Clock();
  job->Nick = Cut(user.Nick, 64);
  job->IP = Cut(user.IP, 15);
  job->KeepStored = pending;
  job->Kicks = std::max(0, info.KickCount);
  job->Muted = info.Muted ? Clamp(info.MutedLevel, -1, 127) : -1;
  job->Kennylized = info.Kennylized ? Clamp(info.KennylizedLevel, -1, 127) : -1;
  job->Lunarized = info.Lunarized ? Clamp(info.LunarizedLevel, -1, 127) : -1;
  job->Blocked = info.Blocked ? Clamp(info.BlockedLevel, -1, 127) : -1;
  job->DNS = Cut(user.DNSName, 255);
  job->Passive = user.Passive;
  job->Description = Cut(info.Description, 200);
  job->Email = Cut(info.Email, 100);
  job->Share = std::max<std::int64_t>(0, info.Share);
  job->Tag = Cut(info.Tag, 100);
  job->Client = Cut(info.ClientName + info.ClientVersion, 30);
  job->Hubs = Clamp(info.Hubs, 0, 65535);
  job->Slots = Clamp(info.Slots, 0, 65535);
  Queue(std::move(job));
}

void TUserStatsMySQL::Report(THubSocket& issuer, std::string_view pattern, bool isPM, int offset,
                             int kind) {
  auto job = std::make_unique<TWorkObj>();
  job->Kind = kind;
  job->ConnectionId = issuer.Id();
  job->Pattern = std::string(pattern);
  job->IsPM = isPM;
  job->Offset = std::max(0, offset);
  job->MaxHits = Context().Settings.MaxHitsOnSearch;
  Queue(std::move(job));
}

void TUserStatsMySQL::ReportUserInfo(THubSocket& issuer, std::string_view pattern, bool isPM,
                                     int offset) {
  Report(issuer, pattern, isPM, offset, mysqlstats::kUserInfo);
}
void TUserStatsMySQL::ReportIPInfo(THubSocket& issuer, std::string_view pattern, bool isPM,
                                   int offset) {
  Report(issuer, pattern, isPM, offset, mysqlstats::kIPInfo);
}
void TUserStatsMySQL::ReportNickInfo(THubSocket& issuer, std::string_view pattern, bool isPM,
                                     int offset) {
  Report(issuer, pattern, isPM, offset, mysqlstats::kNickInfo);
}

void TUserStatsMySQL::Clear(THubSocket& issuer, std::string_view nick, bool isPM, int kind) {
  auto job = std::make_unique<TWorkObj>();
  job->Kind = kind;
  job->ConnectionId = issuer.Id();
  job->Nick = Cut(nick, 64);
  job->IsPM = isPM;
  const TProfile& rights = issuer.Rights();
  switch (kind) {
    case mysqlstats::kClearBlocked: job->IssuerRight = rights.MayBlockUser(); break;
    case mysqlstats::kClearMuted: job->IssuerRight = rights.MayUseMuteUser(); break;
    case mysqlstats::kClearLunarized: job->IssuerRight = rights.MayUseLunarizeUser(); break;
    default: job->IssuerRight = rights.MayUseKennylizeUser(); break;
  }
  job->IssuerLevel = issuer.ProfileLevel();
  Queue(std::move(job));
}

void TUserStatsMySQL::ClearBlocked(THubSocket& issuer, std::string_view nick, bool isPM) {
  Clear(issuer, nick, isPM, mysqlstats::kClearBlocked);
}
void TUserStatsMySQL::ClearMuted(THubSocket& issuer, std::string_view nick, bool isPM) {
  Clear(issuer, nick, isPM, mysqlstats::kClearMuted);
}
void TUserStatsMySQL::ClearLunarized(THubSocket& issuer, std::string_view nick, bool isPM) {
  Clear(issuer, nick, isPM, mysqlstats::kClearLunarized);
}
void TUserStatsMySQL::ClearKennylized(THubSocket& issuer, std::string_view nick, bool isPM) {
  Clear(issuer, nick, isPM, mysqlstats::kClearKennylized);
}

void TUserStatsMySQL::Done(std::unique_ptr<TWorkObj> job) {
  if (job->Kind == mysqlstats::kClose) closeDone_ = true;
  if (job->Dropped) return;
  TUserStatsContext& ctx = Context();
  if (job->Kind == mysqlstats::kClose) {
    // The program ends: reported, no fall-back.
    if (job->ErrorNumber != 0) ReportFailure(job->ErrorNumber, job->ErrorText, job->Query);
    return;
  }
  if (job->Probe) {
    const bool ok = job->ErrorNumber == 0 && job->ErrorText.empty();
    if (ok) {
      Started(*job);
    } else {
      connected_ = false;
      connectionError_ = job->ErrorText;
    }
    if (auto answer = std::exchange(tryAnswer_, {})) answer(ok);
    if (ok) NotifyChange();
    return;
  }
  if (job->Kind == mysqlstats::kLoggedIn) pendingLogins_.erase(job->ConnectionId);
  if (job->Kind == mysqlstats::kStart && job->ErrorNumber == 0) {
    if (!job->ErrorText.empty()) {
      connected_ = false;
      connectionError_ = job->ErrorText;
      if (ctx.ErrorFeed) ctx.ErrorFeed("MySQL error: " + job->ErrorText);
      if (failure_) failure_();
      return;
    }
    Started(*job);
    if (startedHandler_) startedHandler_();
    NotifyChange();
    return;
  }
  if (job->ErrorNumber != 0) {
    connected_ = false;
    if (job->Kind == mysqlstats::kStart) connectionError_ = job->ErrorText;
    ReportFailure(job->ErrorNumber, job->ErrorText, job->Query);
    if (failure_) failure_();
    return;
  }
  THubSocket* user = ctx.FindConnection ? ctx.FindConnection(job->ConnectionId) : nullptr;
  if (user != nullptr && (!user->IsLoggedIn() || user->LifeState != lsInitialised)) user = nullptr;
  switch (job->Kind) {
    case mysqlstats::kCleanup:
      if (job->Oldest.Seconds != 0) startTime_ = job->Oldest;
      nickCount_ = static_cast<int>(job->NickCount);
      ipCount_ = static_cast<int>(job->IPCount);
      NotifyChange();
      return;
    case mysqlstats::kLoggedIn:
      if (user != nullptr && user->StatsLogin) {
        TUserInfo& info = user->UserInfo();
        info.KickCount = job->Kicks;
        info.Muted = job->Muted != -1;
        info.MutedLevel = job->Muted;
        info.Kennylized = job->Kennylized != -1;
        info.KennylizedLevel = job->Kennylized;
        info.Lunarized = job->Lunarized != -1;
        info.LunarizedLevel = job->Lunarized;
        info.Blocked = job->Blocked != -1;
        info.BlockedLevel = job->Blocked;
      }
      if (job->NickAdded || job->IPAdded) {
        if (job->NickAdded) ++nickCount_;
        if (job->IPAdded) ++ipCount_;
        NotifyChange();
      }
      return;
    case mysqlstats::kLoggedOut:
      return;
    default:
      break;
  }
  if (user == nullptr) return;  // the issuer left
  if (job->Kind >= mysqlstats::kClearBlocked) {
    static constexpr TPenalty kPenalty[] = {TPenalty::Blocked, TPenalty::Muted,
                                            TPenalty::Lunarized, TPenalty::Kennylized};
    AnswerClear(*this, ctx, *user, job->Nick, job->IsPM,
                kPenalty[job->Kind - mysqlstats::kClearBlocked], job->FoundLevel);
    return;
  }
  TWriteBuffer out;
  TStatsReport report(out, ctx.Language);
  TMySQLResult* rows = job->Rows.get();
  if (job->Kind == mysqlstats::kUserInfo && job->Total == 1 && rows != nullptr && rows->FetchRow()) {
    const std::string nick(rows->Field(1));
    THubSocket* online = ctx.NickList.FindUser(nick);
    const std::shared_ptr<TAccount> account = ctx.Accounts.Find(nick);
    const std::uint8_t right = user->Rights().MayShowUserInfo();
    if ((online != nullptr && online != user && !user->MayActOnUser(right, *online)) ||
        (online == nullptr && account != nullptr && account->Profile != nullptr &&
         !user->MayActOnLevel(right, account->Profile->ProfileLevel))) {
      report.WriteCantShow();
    } else {
      if (online != nullptr) {
        report.WriteOnlineNick(*online);
      } else {
        TOfflineNickFull full;
        full.Nick = nick;
        full.DNS = rows->Field(2);
        full.Passive = rows->Field(3) == "y";
        full.Description = rows->Field(4);
        full.Email = rows->Field(5);
        full.Share = ToInt(rows->Field(6));
        full.Tag = rows->Field(7);
        full.Client = rows->Field(8);
        full.Hubs = static_cast<int>(ToInt(rows->Field(9)));
        full.Slots = static_cast<int>(ToInt(rows->Field(10)));
        full.Muted = static_cast<int>(ToInt(rows->Field(11)));
        full.Kennylized = static_cast<int>(ToInt(rows->Field(12)));
        full.Lunarized = static_cast<int>(ToInt(rows->Field(13)));
        full.Blocked = static_cast<int>(ToInt(rows->Field(14)));
        full.Kicks = static_cast<int>(ToInt(rows->Field(15)));
        full.LastUsed = ReadTime(rows->Field(17));
        full.Account = account.get();
        report.WriteOfflineNickFull(full);
      }
      if (TMySQLResult* logins = job->Rows2.get()) {
        report.HeaderCell("");
        report.HeaderCell(report.Text(K::SingelHitNickIPHistory));
        bool newest = true;
        while (logins->FetchRow()) {
          report.DetailRow(logins->Field(0));
          const TDateTime login = ReadTime(logins->Field(1));
          const TDateTime logout = ReadTime(logins->Field(2));
          if (logout.Seconds != 0) {
            report.Append(FormatText(report.Text(K::SingelHitNickIPEntry), ReportDateTime(login),
                                     ReportDateTime(logout)));
          } else {
            report.Append(FormatText(report.Text(newest ? K::SingelHitNickIPEntryStillConnected
                                                        : K::SingelHitNickIPEntryNoToDate),
                                     ReportDateTime(login)));
          }
          newest = false;
        }
        report.HeaderCell("");
      }
      report.DashLine();
    }
  } else if (job->Kind == mysqlstats::kIPInfo && job->Total == 1 && rows != nullptr) {
    bool first = true;
    while (rows->FetchRow()) {
      if (first) report.WriteSingleIPHeader(rows->Field(0));
      first = false;
      if (rows->IsNull(1)) continue;
      report.DetailRow(rows->Field(1));
      report.Append(FormatText(report.Text(K::ResultRowIPSingel), ToInt(rows->Field(2)),
                               ReportDateTime(ReadTime(rows->Field(3)))));
    }
    report.DashLine();
  } else if (job->Kind == mysqlstats::kNickInfo) {
    const int shown = rows != nullptr ? static_cast<int>(rows->RowCount()) : 0;
    report.WriteResultHeader(shown, job->Pattern, static_cast<int>(job->Total), job->Offset);
    TNickInfoTables tables(ctx.Language);
    while (rows != nullptr && rows->FetchRow()) {
      const THubSocket* online = ctx.NickList.FindUser(rows->Field(1));
      tables.Add(rows->Field(1), rows->Field(0), static_cast<int>(ToInt(rows->Field(2))),
                 online != nullptr && online->IP == rows->Field(0));
    }
    tables.Write(report);
  } else {
    const int shown = rows != nullptr ? static_cast<int>(rows->RowCount()) : 0;
    report.WriteResultHeader(shown, job->Pattern, static_cast<int>(job->Total), job->Offset);
    while (rows != nullptr && rows->FetchRow()) {
      report.DetailRow(rows->Field(0));
      if (job->Kind == mysqlstats::kUserInfo) {
        const bool online = ctx.NickList.FindUser(rows->Field(0)) != nullptr;
        report.Append(FormatText(report.Text(online ? K::ResultRowNickOnline : K::ResultRowNickOffline),
                                 ReportDateTime(ReadTime(rows->Field(2)))));
      } else {
        report.Append(FormatText(report.Text(K::ResultRowIP), ReportDateTime(ReadTime(rows->Field(1)))));
      }
    }
    // No match is the header alone, as in memory.
    if (job->Total > 0) report.DashLine();
  }
  if (job->IsPM) ctx.Messages.SendPMData(*user, out.View());
  else ctx.Messages.SendChatData(*user, out.View());
}
