#pragma once

#include <string_view>

#include "base/date_time.h"

class TBanList;
class THubSocket;
class TSettings;

// The lasting bans on a connection: the login checks, the password
// auto-ban and the bans operators put on a connected user. Each refusal or
// notice goes out as a bot line and leaves the connection closing; the
// redirect on bans is the caller's, since the caller knows whether one
// applies.

// The nick, then the IP; true when refused.
bool RefuseNickOrIPBanned(TBanList& bans, const TSettings& settings, THubSocket& user);
// The host name of the finished look-up; true when refused.
bool RefuseDNSBanned(TBanList& bans, const TSettings& settings, THubSocket& user);
// The client name and version of the parsed tag; true when refused.
bool RefuseClientBanned(TBanList& bans, const TSettings& settings, THubSocket& user);

// Too many wrong passwords: the IP is banned for `hours` by the hub itself,
// and the ban holds even against profiles that may bypass IP bans. The user
// is told by the password check, not here.
void AutoBanIP(TBanList& bans, THubSocket& user, std::string_view reason, int hours);

// Bans the user's nick (IP) with the level of the user's profile, tells
// the user and closes the connection; false (and nothing sent) when the
// ban was refused.
bool BanConnectionNick(TBanList& bans, const TSettings& settings, THubSocket& user,
                       std::string_view reason, TDateTime expires, std::string_view bannedBy);
bool BanConnectionIP(TBanList& bans, const TSettings& settings, THubSocket& user,
                     std::string_view reason, TDateTime expires, std::string_view bannedBy);
