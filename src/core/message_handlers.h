#pragma once

#include <string_view>

#include "core/chat_handler.h"
#include "core/chat_hooks.h"
#include "core/connect_handler.h"
#include "core/core_hooks.h"
#include "core/private_message_handler.h"
#include "core/search_handler.h"

class THubSocket;

// The protocol engine's handlers of a logged-in user's chat, private
// messages, "$MCTo", searches, results and connection requests. Owns those
// handlers; every other key ($GetINFO, $OpForceMove, $Kick, $UserIP,
// $BotINFO) goes to the fallback, which by default takes the message
// without acting on it.
//
// Wiring, in the composition root, once the hub core exists:
//   TChatContext ctx{settings, language, nickList, hubMessages, accounts,
//                    hubCore.Protocol(), coreHooks, stats, history, chatHooks};
//   auto handlers = std::make_unique<TMessageHandlers>(ctx);
//   coreHooks.SetHandlers(handlers.get());   // unregister before freeing
// The close hook should call Chat().Forget(user) for each closing user.
class TMessageHandlers final : public TProtocolHandlers {
 public:
  explicit TMessageHandlers(const TChatContext& context);

  // The handler of the keys that are not routed here (nullptr: take them
  // without acting); it must outlive this router or be unregistered first.
  void SetFallback(TProtocolHandlers* fallback) { fallback_ = fallback; }

  bool Handle(TProtocolKey key, THubSocket& user, std::string_view message) override;

  TChatHandler& Chat() { return chat_; }
  TPrivateMessageHandler& PrivateMessages() { return privateMessages_; }
  TSearchHandler& Search() { return search_; }
  TConnectHandler& Connect() { return connect_; }

 private:
  TChatHandler chat_;
  TPrivateMessageHandler privateMessages_;
  TSearchHandler search_;
  TConnectHandler connect_;
  TProtocolHandlers defaultFallback_;
  TProtocolHandlers* fallback_ = nullptr;
};
