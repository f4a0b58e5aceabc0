// Arbitrary bytes as one of Murn's four files, imported into fresh lists
// holding a few entries already. The import never throws out, and the
// lists stay consistent: every listed account's nick is protocol-safe and
// each profile counts exactly the accounts that point at it.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <string_view>

#include "base/exceptions.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/ban_list.h"
#include "security/isp_list.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "security/settings_converter.h"
#include "settings/language.h"
#include "settings/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static const std::string file = "/tmp/kavro-fuzz-convert-" + std::to_string(getpid()) + ".xml";
  const std::uint8_t control = data[0];
  {
    // A plain write: the atomic one syncs to disk, far too slow per input.
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data) + 1, static_cast<std::streamsize>(size - 1));
    if (!out) return 0;
  }

  // Read only by the lists; built once, they cost more than an import.
  static const TSettings settings;
  static const TLanguage language;
  TProfiles profiles(settings);
  TAccounts accounts(profiles);
  TBanList bans(language);
  TISPList isps(language);
  profiles.Add("Ops");
  accounts.Add("alice", "Ops");
  bans.AddNickBan("bad*", "", 0, {}, "op");
  if (TISP* isp = isps.Add("Net")) isps.AddIP(*isp, "10.*");

  TSettingsConverter converter(profiles, accounts, bans, isps);
  converter.SetClock([] { return TDateTime{1276627500}; });
  const TConvertItem item{file, static_cast<TConvertKind>(control % 4)};
  TConvertCounts counts;
  converter.Import(item, (control & 4) != 0, (control & 8) != 0, &counts);
  KAVRO_CHECK(counts.Imported >= 0 && counts.Skipped >= 0, "negative counts");

  std::map<const TProfile*, int> pointing;
  for (int i = 0; i < accounts.GetCount(); ++i) {
    const TAccount& account = *accounts.GetItem(i);
    KAVRO_CHECK(!account.Nick.empty(), "an account without a nick");
    KAVRO_CHECK(account.Nick.find_first_of("$| ") == std::string::npos, "unsafe nick");
    if (account.Profile) ++pointing[account.Profile.get()];
  }
  for (int i = 0; i < profiles.GetCount(); ++i) {
    const TProfile& profile = *profiles.GetItem(i);
    KAVRO_CHECK(profile.AccountCount == pointing[&profile], "profile's account count is off");
  }
  return 0;
}
