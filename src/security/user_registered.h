#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/date_time.h"
#include "utils/bin_list.h"

// A nick a user protected with a password of its own, without an account.
struct TUserRegItem {
  std::string Name;  // key, compared case-insensitively
  std::string Pass;
  TDateTime LastUsed{};  // 0: never
  TDateTime Created{};
  std::int64_t Uptime = 0;  // milliseconds logged in under the nick
};

// The protected nicks: self-registered nicks whose users log in with their
// password under the built-in "Registered" account, in name order, stored
// in settings/protected.xml.
//
// Nothing outside holds an item across a call that may reload or delete:
// the login asks for the password by nick each time, so an entry replaced
// by a reload while its user waits for "$GetPass" is simply looked up anew.
//
// Owns its items. Main thread only.
class TUserRegistered {
 public:
  using TClock = std::function<TDateTime()>;
  using TFeedSink = std::function<void(const std::string& line)>;

  // `clock` is the wall clock for Created and LastUsed; empty: local time.
  explicit TUserRegistered(TFeedSink errorSink = {}, TClock clock = {});
  ~TUserRegistered();
  TUserRegistered(const TUserRegistered&) = delete;
  TUserRegistered& operator=(const TUserRegistered&) = delete;

  void SetClock(TClock clock) { clock_ = std::move(clock); }
  TDateTime Now() const;

  TUserRegItem* Find(std::string_view nick) const { return items_.Find(nick); }
  // A new item with Created = now and no password yet; the name is made
  // protocol-safe first. Null when that name is empty or held.
  TUserRegItem* Add(std::string_view nick);
  bool Delete(std::string_view nick) { return items_.RemoveAndFree(nick); }
  void Clear() { items_.ClearAndFree(); }

  int GetCount() const { return items_.Count(); }
  // 0 <= index < GetCount(), name order.
  TUserRegItem& GetItem(int index) const;
  // The items whose name matches `pattern`; a trailing '*' matches any rest.
  TMatchRange FindMatchRange(std::string_view pattern) const {
    return items_.FindMatchRange(pattern);
  }

  // The login's part, by nick; false when the nick has no item. A password
  // was accepted: LastUsed is now.
  bool MarkUsed(std::string_view nick);
  // A session under the nick ended now after `milliseconds`.
  bool AddSession(std::string_view nick, std::int64_t milliseconds);

  // Reads settings/protected.xml. False when it is missing or cannot be
  // parsed; a damaged file is reported, changes nothing and keeps saving
  // refused until a load succeeds. Of two items with the same name (in any
  // case) the first is kept; an item without a password is dropped and
  // reported, since any blank "$MyPass" would match it.
  bool Load();
  // Writes every item, owner-only: it holds passwords. False before the
  // first load attempt, after a damaged load, or when the write fails.
  bool Save();
  bool Loading() const { return loading_; }
  const std::string& FileVersion() const { return version_; }

  static std::string FilePath();

 private:
  void ReportError(const std::string& line) const;

  TFeedSink errorSink_;
  TClock clock_;
  TBinList<TUserRegItem> items_{2048};  // owns the items
  bool loading_ = true;
  bool saveBlocked_ = false;
  std::string version_;
};
