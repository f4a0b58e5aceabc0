#pragma once

#include <string_view>

class THubSocket;
class TSettings;
class TTmpBanList;

// Refuses a connection on the login road: `text` goes out as a bot line and
// the connection closes once its output is sent.
void RefuseWithBotLine(THubSocket& user, const TSettings& settings, std::string_view text);

// The temporary-ban check of the login road; true when the user was
// refused. A profile that may bypass temporary bans always passes.
bool RefuseTmpBanned(TTmpBanList& bans, const TSettings& settings, THubSocket& user);
