#include "core/message_handlers.h"

TMessageHandlers::TMessageHandlers(const TChatContext& context)
    : chat_(context), privateMessages_(context), search_(context), connect_(context) {}

bool TMessageHandlers::Handle(TProtocolKey key, THubSocket& user, std::string_view message) {
  switch (key) {
    case TProtocolKey::MainChat: return chat_.HandleChat(user, message);
    case TProtocolKey::PrivateMessage: return privateMessages_.HandlePrivateMessage(user, message);
    case TProtocolKey::MCTo: return chat_.HandleMCTo(user, message);
    case TProtocolKey::Search: return search_.HandleSearch(user, message);
    case TProtocolKey::SearchResult: return search_.HandleSearchResult(user, message);
    case TProtocolKey::ConnectToMe: return connect_.HandleConnectToMe(user, message);
    case TProtocolKey::RevConnectToMe: return connect_.HandleRevConnectToMe(user, message);
    default: break;
  }
  return (fallback_ != nullptr ? *fallback_ : defaultFallback_).Handle(key, user, message);
}
