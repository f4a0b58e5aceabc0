#pragma once

#include <string_view>

class THubSocket;

// The script events the core raises; scripts sit above the core, so the
// program entry registers them with the composition root. True: a script
// consumed the event (for the chat and private-message arrivals the message
// is dropped). The defaults consume nothing.
class TScriptEvents {
 public:
  virtual ~TScriptEvents() = default;
  virtual bool Connected(THubSocket& /*user*/) { return false; }
  virtual bool UserConnected(THubSocket& /*user*/) { return false; }
  virtual bool UserDisconnected(THubSocket& /*user*/) { return false; }
  virtual bool ChatArrival(THubSocket& /*user*/, std::string_view /*message*/) { return false; }
  virtual bool ToArrival(THubSocket& /*user*/, std::string_view /*message*/) { return false; }
};
