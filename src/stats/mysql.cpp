#include "stats/mysql.h"

#include <mysql.h>

#include <chrono>
#include <cstdio>
#include <vector>

struct TMySQLResult::TImpl {
  MYSQL_RES* Result = nullptr;
  MYSQL_ROW Row = nullptr;
  unsigned long* Lengths = nullptr;
  ~TImpl() {
    if (Result != nullptr) mysql_free_result(Result);
  }
};

TMySQLResult::TMySQLResult(std::unique_ptr<TImpl> impl) : impl_(std::move(impl)) {}
TMySQLResult::~TMySQLResult() = default;

std::int64_t TMySQLResult::RowCount() const {
  return static_cast<std::int64_t>(mysql_num_rows(impl_->Result));
}

int TMySQLResult::FieldCount() const {
  return static_cast<int>(mysql_num_fields(impl_->Result));
}

bool TMySQLResult::FetchRow() {
  impl_->Row = mysql_fetch_row(impl_->Result);
  impl_->Lengths = impl_->Row != nullptr ? mysql_fetch_lengths(impl_->Result) : nullptr;
  return impl_->Row != nullptr;
}

void TMySQLResult::Rewind() {
  mysql_data_seek(impl_->Result, 0);
  impl_->Row = nullptr;
}

bool TMySQLResult::IsNull(int index) const {
  return impl_->Row == nullptr || index < 0 || index >= FieldCount() ||
         impl_->Row[index] == nullptr;
}

std::string_view TMySQLResult::Field(int index) const {
  if (IsNull(index)) return {};
  return {impl_->Row[index], impl_->Lengths[index]};
}

namespace {
// CR_UNKNOWN_ERROR: a statement not sent on a cancelled connection.
constexpr int kCancelled = 2000;
}  // namespace

struct TMySQL::TImpl {
  MYSQL* Handle = nullptr;
  ~TImpl() { Reset(); }
  void Reset() {
    if (Handle != nullptr) mysql_close(Handle);
    Handle = nullptr;
  }
};

TMySQL::TMySQL() : impl_(std::make_unique<TImpl>()) {}
TMySQL::~TMySQL() = default;

void TMySQL::SetError(int number, std::string text) {
  ownErrorNumber_ = number;
  ownErrorText_ = std::move(text);
}

void TMySQL::SetNotLoaded(std::string reason) {
  loadError_ = std::move(reason);
  impl_->Reset();
}

bool TMySQL::Connected() const { return impl_->Handle != nullptr; }

int TMySQL::ErrorNumber() const {
  if (!Loaded()) return -1;
  if (ownErrorNumber_ != 0) return ownErrorNumber_;
  return impl_->Handle != nullptr ? static_cast<int>(mysql_errno(impl_->Handle)) : 0;
}

std::string TMySQL::ErrorText() const {
  if (!Loaded()) return loadError_;
  if (ownErrorNumber_ != 0) return ownErrorText_;
  return impl_->Handle != nullptr ? mysql_error(impl_->Handle) : "";
}

// Options first, then the link; the session is set up after each connect.
bool TMySQL::Open() {
  impl_->Reset();
  ownErrorNumber_ = 0;
  MYSQL* handle = mysql_init(nullptr);
  if (handle == nullptr) {
    SetError(2008, "MySQL client ran out of memory");
    return false;
  }
  const unsigned int connectTimeout = 5, ioTimeout = 30;
  mysql_options(handle, MYSQL_SET_CHARSET_NAME, "latin1");
  mysql_options(handle, MYSQL_OPT_CONNECT_TIMEOUT, &connectTimeout);
  mysql_options(handle, MYSQL_OPT_READ_TIMEOUT, &ioTimeout);
  mysql_options(handle, MYSQL_OPT_WRITE_TIMEOUT, &ioTimeout);
  const char* db = database_.empty() ? nullptr : database_.c_str();
  if (mysql_real_connect(handle, host_.c_str(), user_.c_str(), password_.c_str(), db,
                         static_cast<unsigned int>(port_), nullptr, 0) == nullptr) {
    SetError(static_cast<int>(mysql_errno(handle)), mysql_error(handle));
    mysql_close(handle);
    return false;
  }
  impl_->Handle = handle;
  serverVersion_ = mysql_get_server_version(handle);
  return PrepareSession();
}

// The statements quote strings with double quotes and escape with
// backslashes: modes that change either are dropped for this session.
bool TMySQL::PrepareSession() {
  MYSQL* handle = impl_->Handle;
  const std::string ask = "SELECT @@SESSION.sql_mode";
  if (mysql_real_query(handle, ask.data(), ask.size()) != 0) return false;
  MYSQL_RES* result = mysql_store_result(handle);
  if (result == nullptr) return false;
  std::string modes;
  if (MYSQL_ROW row = mysql_fetch_row(result); row != nullptr && row[0] != nullptr) modes = row[0];
  mysql_free_result(result);
  std::string kept;
  std::size_t start = 0;
  while (start <= modes.size()) {
    std::size_t end = modes.find(',', start);
    if (end == std::string::npos) end = modes.size();
    const std::string mode = modes.substr(start, end - start);
    if (!mode.empty() && mode != "ANSI_QUOTES" && mode != "NO_BACKSLASH_ESCAPES" &&
        mode != "ANSI") {
      if (!kept.empty()) kept += ',';
      kept += mode;
    }
    start = end + 1;
  }
  const std::string set = "SET SESSION sql_mode = '" + kept + "'";
  return mysql_real_query(handle, set.data(), set.size()) == 0;
}

bool TMySQL::Connect(const std::string& host, const std::string& user, int port,
                     const std::string& password) {
  if (!Loaded()) return false;
  host_ = host;
  user_ = user;
  port_ = port;
  password_ = password;
  database_.clear();
  return Open();
}

bool TMySQL::SelectDatabase(const std::string& name) {
  if (!Loaded() || impl_->Handle == nullptr) return false;
  ownErrorNumber_ = 0;
  if (mysql_select_db(impl_->Handle, name.c_str()) != 0) return false;
  database_ = name;
  return true;
}

bool TMySQL::Ping() {
  if (!Loaded()) return false;
  ownErrorNumber_ = 0;
  if (impl_->Handle != nullptr && mysql_ping(impl_->Handle) == 0) return true;
  return !host_.empty() && !cancelled_ && Open();
}

bool TMySQL::Close() {
  if (impl_->Handle == nullptr) return false;
  impl_->Reset();
  return true;
}

std::unique_ptr<TMySQLResult> TMySQL::Query(std::string_view sql) {
  if (!Loaded()) return nullptr;
  lastQuery_ = std::string(sql);
  const auto start = std::chrono::steady_clock::now();
  // Checked again after the ping, which may have waited for the server.
  const auto givenUp = [this] {
    const bool cancelled = cancelled_;
    if (cancelled) SetError(kCancelled, "the connection was given up");
    return cancelled;
  };
  if (givenUp()) return nullptr;
  if (!Ping()) return nullptr;  // the reconnect failed: the statement is not sent
  if (givenUp()) return nullptr;
  std::unique_ptr<TMySQLResult> rows;
  if (mysql_real_query(impl_->Handle, sql.data(), sql.size()) != 0) return nullptr;
  if (mysql_field_count(impl_->Handle) != 0) {
    MYSQL_RES* result = mysql_store_result(impl_->Handle);
    if (result != nullptr) {
      auto impl = std::make_unique<TMySQLResult::TImpl>();
      impl->Result = result;
      rows.reset(new TMySQLResult(std::move(impl)));
      if (rows->RowCount() == 0) rows.reset();
    }
  }
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  char text[64];
  std::snprintf(text, sizeof text, "%.2f ms", took.count());
  duration_ = text;
  return rows;
}

std::int64_t TMySQL::InsertId() const {
  if (!Loaded() || impl_->Handle == nullptr) return -1;
  return static_cast<std::int64_t>(mysql_insert_id(impl_->Handle));
}

std::string TMySQL::Escape(std::string_view text) const {
  if (impl_->Handle == nullptr) return EscapeText(text);
  std::string out(text.size() * 2 + 1, '\0');
  const unsigned long length =
      mysql_real_escape_string(impl_->Handle, out.data(), text.data(), text.size());
  out.resize(length);
  return out;
}

std::string EscapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\'': out += "\\'"; break;
      case '\0': out += "\\0"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\x1A': out += "\\Z"; break;
      default: out += c;
    }
  }
  return out;
}

std::string QuoteName(std::string_view name) {
  std::string out = "`";
  for (char c : name) {
    out += c;
    if (c == '`') out += '`';
  }
  out += '`';
  return out;
}
