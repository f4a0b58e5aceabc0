#pragma once

#include <string>
#include <string_view>

#include "core/hub_socket.h"
#include "core/kick_steps.h"
#include "security/account.h"
#include "settings/language.h"
#include "utils/text_format.h"

// What a ban command says about one ban, in its four forms: with or
// without a reason, permanent or for some hours.
struct TBanNote {
  bool Timed = false;
  int Hours = 0;
  std::string_view By;
  std::string_view Reason;
};

struct TBanKeys {
  TLanguageKey Plain, WithReason, Timed, TimedWithReason;
};

// The text of `keys` that fits `note`, filled with `lead` (the nick, the
// address...), then the hours when timed, the sender and the reason.
template <typename... Lead>
std::string BanLine(const TLanguage& language, const TBanKeys& keys, const TBanNote& note,
                    const Lead&... lead) {
  if (note.Timed) {
    if (note.Reason.empty()) return FormatText(language.Text(keys.Timed), lead..., note.Hours, note.By);
    return FormatText(language.Text(keys.TimedWithReason), lead..., note.Hours, note.By, note.Reason);
  }
  if (note.Reason.empty()) return FormatText(language.Text(keys.Plain), lead..., note.By);
  return FormatText(language.Text(keys.WithReason), lead..., note.By, note.Reason);
}

// A ban of the sender's counts on his account, when he has one that keeps
// statistics.
inline void CountBan(const THubSocket& sender, bool timed) {
  if (TAccount* account = CountingAccount(sender)) ++(timed ? account->Stats.TimeBans : account->Stats.Bans);
}
