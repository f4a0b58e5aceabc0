#include "core/share_trace.h"

#include <memory>
#include <utility>

#include "core/hub_feed.h"
#include "core/hub_socket.h"
#include "platform/local_clock.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/text_format.h"

namespace {

// The share the client announced; the one shown to others is 0 while the
// share is hidden, which would make every hidden share look unchanged.
std::int64_t CurrentShare(const THubSocket& user) { return user.UserInfo().RealShare; }

}  // namespace

std::string ShareTraceKey(std::string_view nick, std::string_view ip) {
  std::string key;
  key.reserve(nick.size() + 1 + ip.size());
  key += nick;
  key += '\x01';
  key += ip;
  return key;
}

TShareTrace::TShareTrace(TSettings& settings, TLanguage& language, THubFeed& feed, TClock clock)
    : settings_(settings), language_(language), feed_(feed), clock_(std::move(clock)) {
  if (!clock_) clock_ = NowLocal;
}

TShareTrace::~TShareTrace() { Clear(); }

void TShareTrace::Add(const THubSocket& user, std::string_view reason) {
  std::string key = ShareTraceKey(user.Nick, user.IP);
  if (items_.Find(key) != nullptr) return;
  auto item = std::make_unique<TShareTraceItem>();
  item->Key = std::move(key);
  item->Made = clock_();
  item->Share = CurrentShare(user);
  item->Reason = std::string(reason);
  if (items_.Add(item->Key, item.get())) item.release();
}

const TShareTraceItem* TShareTrace::Find(std::string_view nick, std::string_view ip) const {
  return items_.Find(ShareTraceKey(nick, ip));
}

bool TShareTrace::Check(THubSocket& user) {
  const std::string key = ShareTraceKey(user.Nick, user.IP);
  TShareTraceItem* item = items_.Find(key);
  if (item == nullptr) return true;

  if (item->Share == CurrentShare(user)) {
    const std::string text =
        item->Reason.empty()
            ? language_.Text(TLanguageKey::ShareTraceNoUpdate)
            : FormatText(language_.Text(TLanguageKey::ShareTraceNoUpdateReason), item->Reason);
    std::string line = settings_.BotChatPrefix();
    AppendFeedWireText(line, text);
    line += '|';
    user.WriteBuffer().AppendString(line);
    return false;
  }

  if (settings_.ShareTraceNotifyShareUpdate) {
    feed_.PostAction(FormatText(language_.Text(TLanguageKey::ShareTraceNotifyShareUpdateMessage),
                                user.Nick, user.IP));
  }
  items_.RemoveAndFree(key);
  return true;
}

void TShareTrace::Expire(TDateTime cutoff) {
  for (int i = items_.Count() - 1; i >= 0; --i) {
    TShareTraceItem* item = items_.GetValue(i);
    if (item->Made < cutoff) items_.RemoveAndFree(item->Key);
  }
}

void TShareTrace::Clear() { items_.ClearAndFree(); }
