#pragma once

#include <string_view>

#include "core/chat_hooks.h"

class THubSocket;

// The IP check of active searches and connection requests: unless the
// setting is off or the profile may bypass it, `sentIP` must be the user's
// own address. A mismatch tells the user (twice at most) and is false.
bool CheckSenderIP(const TChatContext& ctx, THubSocket& user, std::string_view sentIP);

// The relaying of "$ConnectToMe" and "$RevConnectToMe" between logged-in
// users, with the passive-mode rule, the IP check and the hidden-share
// rule (a user hiding its share is reached only by those it asked to
// connect back, once per request). Owns nothing. Main thread only.
class TConnectHandler {
 public:
  explicit TConnectHandler(const TChatContext& context) : ctx_(context) {}

  // "$ConnectToMe target ip:port|".
  bool HandleConnectToMe(THubSocket& user, std::string_view message);
  // "$RevConnectToMe nick target|".
  bool HandleRevConnectToMe(THubSocket& user, std::string_view message);

 private:
  TChatContext ctx_;
};
