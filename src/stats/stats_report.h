#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/date_time.h"

class TAccount;
class TLanguage;
class THubSocket;
class TWriteBuffer;
enum class TLanguageKey;

// The stored values of a nick that is not online.
struct TOfflineNick {
  std::string Nick;
  TDateTime LastUsed{};
  int Kicks = 0;
  int Muted = -1;  // stored penalty levels; -1 = none
  int Kennylized = -1;
  int Lunarized = -1;
  int Blocked = -1;
  const TAccount* Account = nullptr;  // the account of the nick, if any
};

// The columns the database keeps of a nick's last visit.
struct TOfflineNickFull : TOfflineNick {
  std::string DNS;
  bool Passive = false;
  std::int64_t Share = 0;
  std::string Description;
  std::string Email;
  std::string Tag;
  int Hubs = 0;
  int Slots = 0;
  std::string Client;
};

// The text tables of the statistics reports, shared by both back ends.
// Appends to a buffer it does not own; every text comes from the
// UserStats section of the language.
class TStatsReport {
 public:
  static constexpr char kBar = '\xA6';
  static constexpr int kNickColumn = 3;
  static constexpr int kIPColumn = 2;

  TStatsReport(TWriteBuffer& out, const TLanguage& language) : out_(out), language_(language) {}

  void DashLine();
  void HeaderCell(std::string_view text);
  // "\r\n" + bar + two spaces, then `key` padded to `column` tab stops.
  void DetailRow(std::string_view key, int column = kNickColumn);
  void Append(std::string_view text);

  void WriteResultHeader(int shown, std::string_view pattern, int total, int offset);
  void WriteCantShow();
  void WriteSingleIPHeader(std::string_view ip);
  void WriteOnlineNick(const THubSocket& user);
  void WriteOfflineNick(const TOfflineNick& nick);
  void WriteOfflineNickFull(const TOfflineNickFull& nick);

  // The profile row of an account (none: "Profile: None").
  void ProfileRow(const TAccount* account);
  const std::string& Text(TLanguageKey key) const;

 private:
  void NickTitle(std::string_view nick);
  void PenaltyRows(bool muted, bool kennylized, bool lunarized, bool blocked);
  void Row(std::string_view text);

  TWriteBuffer& out_;
  const TLanguage& language_;
};

// The nick report's two tables, shared by both back ends: the entries of
// nicks that are not logged in from their IP (with times used) and those
// that are; an entry logged in from its IP and used before is in both,
// with times used - 1.
class TNickInfoTables {
 public:
  explicit TNickInfoTables(const TLanguage& language);
  ~TNickInfoTables();
  TNickInfoTables(const TNickInfoTables&) = delete;
  TNickInfoTables& operator=(const TNickInfoTables&) = delete;

  void Add(std::string_view nick, std::string_view ip, int timesUsed, bool here);
  // The tables with their headers, then the dash line.
  void Write(TStatsReport& report) const;

 private:
  const TLanguage& language_;
  std::unique_ptr<TWriteBuffer> offline_;
  std::unique_ptr<TWriteBuffer> online_;
};

// "yyyy-MM-dd hh:mm:ss", as every report writes a moment.
std::string ReportDateTime(TDateTime value);
