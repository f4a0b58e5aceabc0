#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// One result set; freed with its owner (a job or a caller).
class TMySQLResult {
 public:
  ~TMySQLResult();
  TMySQLResult(const TMySQLResult&) = delete;
  TMySQLResult& operator=(const TMySQLResult&) = delete;

  std::int64_t RowCount() const;
  int FieldCount() const;
  // Moves to the next row; false after the last.
  bool FetchRow();
  void Rewind();
  // The current row's field; "" for NULL or past the fields.
  std::string_view Field(int index) const;
  bool IsNull(int index) const;

 private:
  friend class TMySQL;
  struct TImpl;
  explicit TMySQLResult(std::unique_ptr<TImpl> impl);
  std::unique_ptr<TImpl> impl_;
};

// A thin owner of one MariaDB client connection: connect, select a
// database, run statements with their duration, read rows, and errors.
// The connection speaks latin1 with double-quoted strings and backslash
// escapes, whatever the server's defaults. Not locked: one thread at a time,
// except Cancel.
class TMySQL {
 public:
  TMySQL();
  ~TMySQL();
  TMySQL(const TMySQL&) = delete;
  TMySQL& operator=(const TMySQL&) = delete;

  // "localhost" goes through the client library's default Unix socket, an
  // address through TCP. True when connected.
  bool Connect(const std::string& host, const std::string& user, int port,
               const std::string& password);
  bool SelectDatabase(const std::string& name);
  // Checks the link; a lost one is reconnected once (same options, the
  // database selected again). False when that failed too.
  bool Ping();
  bool Close();
  bool Connected() const;

  // The statement's rows; null for none, for a statement without rows and
  // on error (ErrorNumber tells).
  std::unique_ptr<TMySQLResult> Query(std::string_view sql);
  std::int64_t InsertId() const;
  unsigned long ServerVersion() const { return serverVersion_; }

  bool HasError() const { return ErrorNumber() != 0; }
  int ErrorNumber() const;
  std::string ErrorText() const;
  const std::string& LastQuery() const { return lastQuery_; }
  // "x.xx ms", the last statement's duration.
  const std::string& Duration() const { return duration_; }

  // Makes text safe between double quotes on this connection.
  std::string Escape(std::string_view text) const;

  // Any thread: the connection is given up. The call in progress ends
  // at the latest with the read time-out; no statement is sent and no
  // reconnect tried after it.
  void Cancel() { cancelled_ = true; }

  // The client library cannot be used: every call fails with `reason`.
  void SetNotLoaded(std::string reason);
  bool Loaded() const { return loadError_.empty(); }

 private:
  bool Open();
  bool PrepareSession();
  void SetError(int number, std::string text);

  struct TImpl;
  std::unique_ptr<TImpl> impl_;
  std::string host_, user_, password_, database_;
  int port_ = 0;
  unsigned long serverVersion_ = 0;
  std::string lastQuery_;
  std::string duration_;
  std::string loadError_;
  int ownErrorNumber_ = 0;  // errors raised here rather than by the client
  std::string ownErrorText_;
  std::atomic<bool> cancelled_{false};
};

// Doubles backslashes and puts a backslash before each double quote, NUL,
// quote, CR, LF and Ctrl-Z; for use without a connection.
std::string EscapeText(std::string_view text);
// A database or table name between backticks: backticks inside doubled.
std::string QuoteName(std::string_view name);
