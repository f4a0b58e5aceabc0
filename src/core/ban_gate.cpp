#include "core/ban_gate.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "core/hub_socket.h"
#include "core/login_refusal.h"
#include "security/ban_list.h"
#include "security/profile.h"
#include "utils/constants.h"

namespace {

bool RefuseIf(const std::optional<std::string>& text, const TSettings& settings,
              THubSocket& user) {
  if (!text) return false;
  RefuseWithBotLine(user, settings, *text);
  return true;
}

}  // namespace

bool RefuseNickOrIPBanned(TBanList& bans, const TSettings& settings, THubSocket& user) {
  const TProfile& rights = user.Rights();
  return RefuseIf(bans.CheckNickAndIPBan(user.Nick, user.IP, rights.MayByPassNickBans(),
                                         rights.MayByPassIPBans()),
                  settings, user);
}

bool RefuseDNSBanned(TBanList& bans, const TSettings& settings, THubSocket& user) {
  return RefuseIf(bans.CheckDNSBan(user.DNSName, user.Rights().MayByPassDNSBans()), settings,
                  user);
}

bool RefuseClientBanned(TBanList& bans, const TSettings& settings, THubSocket& user) {
  const TUserInfo& info = user.UserInfo();
  return RefuseIf(bans.CheckClientBan(info.ClientName + info.ClientVersion,
                                      user.Rights().MayByPassClientBans()),
                  settings, user);
}

void AutoBanIP(TBanList& bans, THubSocket& user, std::string_view reason, int hours) {
  const std::int64_t seconds = static_cast<std::int64_t>(std::max(hours, 0)) * 3600;
  const TDateTime expires{bans.Now().Seconds + seconds};
  if (TBan* ban = bans.AddIPBan(user.IP, reason, user.ProfileLevel(), expires, kProductName))
    ban->Overrideable = true;
}

bool BanConnectionNick(TBanList& bans, const TSettings& settings, THubSocket& user,
                       std::string_view reason, TDateTime expires, std::string_view bannedBy) {
  return RefuseIf(bans.BanUserNick(user.Nick, user.ProfileLevel(), reason, expires, bannedBy),
                  settings, user);
}

bool BanConnectionIP(TBanList& bans, const TSettings& settings, THubSocket& user,
                     std::string_view reason, TDateTime expires, std::string_view bannedBy) {
  return RefuseIf(bans.BanUserIP(user.IP, user.ProfileLevel(), reason, expires, bannedBy),
                  settings, user);
}
