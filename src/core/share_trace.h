#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/date_time.h"
#include "utils/hash_list.h"

class THubFeed;
class THubSocket;
class TLanguage;
class TSettings;

// One user kicked with a demand to change the share.
struct TShareTraceItem {
  std::string Key;       // ShareTraceKey(nick, IP)
  TDateTime Made{};      // local time the item was made
  std::int64_t Share = 0;
  std::string Reason;    // possibly empty
};

// The key of a nick and an IP: joined by the byte 0x01, which a nick cannot
// hold, so "ab"+"1.2.3.4" and "a"+"b1.2.3.4" stay two keys.
std::string ShareTraceKey(std::string_view nick, std::string_view ip);

// Remembers users who were kicked with a demand to change their share, and
// refuses them until their share differs. Owns its items; does not own the
// settings, language or feed it reports through. Main thread only.
class TShareTrace {
 public:
  using TClock = std::function<TDateTime()>;

  // Without a clock: the local wall clock.
  TShareTrace(TSettings& settings, TLanguage& language, THubFeed& feed, TClock clock = {});
  ~TShareTrace();
  TShareTrace(const TShareTrace&) = delete;
  TShareTrace& operator=(const TShareTrace&) = delete;

  // Remembers the user's nick, IP and current share with the reason; a user
  // already remembered keeps the first item.
  void Add(const THubSocket& user, std::string_view reason);
  // True: let the user in. A remembered user with the same share is told
  // why as a bot line and refused (false); with another share the item is
  // dropped, optionally reported as an Action line, and the user let in.
  bool Check(THubSocket& user);
  // Drops every item made before `cutoff`; one made exactly then stays.
  void Expire(TDateTime cutoff);
  void Clear();

  int Count() const { return items_.Count(); }
  const TShareTraceItem* Find(std::string_view nick, std::string_view ip) const;

 private:
  TSettings& settings_;
  TLanguage& language_;
  THubFeed& feed_;
  TClock clock_;
  THashList<TShareTraceItem> items_{32};
};
