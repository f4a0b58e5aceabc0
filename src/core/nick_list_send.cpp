// What one user is sent about the others: the nick list, the "$UserIP"
// list, the announcements of arrivals and departures, and the
// $GetNickList handler.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/hub_socket.h"
#include "core/nick_list.h"
#include "core/shared_block.h"
#include "core/shared_chain.h"
#include "core/write_buffer.h"
#include "security/profile.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/hub_time.h"

namespace {

// "nick ip$$": one user's entry of the "$UserIP" list.
void AppendUserIPEntry(std::string& text, const THubSocket& user) {
  text += user.Nick;
  text += ' ';
  text += user.IP;
  text += "$$";
}

// Queues part of a shared block: shared, or as a copy (see QueueChain).
void QueueSpan(TWriteBuffer& out, const std::shared_ptr<const TSharedBlock>& block, int offset,
               int length, bool copy) {
  if (copy) {
    out.AppendString(block->Text().substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(length)));
  } else {
    out.AppendShared(block, offset, length);
  }
}

// Calls emit(block, offset, length) for each stretch of the chain in order,
// without its marked entry when `skipMarked`.
template <class Emit>
void ForEachChainSpan(const TSharedChain& chain, bool skipMarked, Emit&& emit) {
  const TSharedChain::TPlace& skip = chain.Marked();
  const auto& blocks = chain.Blocks();
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    if (skipMarked && static_cast<int>(b) == skip.block) {
      emit(blocks[b], 0, skip.offset);
      const int after = skip.offset + skip.length;
      emit(blocks[b], after, blocks[b]->Size() - after);
    } else {
      emit(blocks[b], 0, blocks[b]->Size());
    }
  }
}

// The "$UserIP" chain as one operator gets it: without its own entry and
// without the separator of whichever entry ends up last, since that entry
// depends on who is left out. The blocks are shared, so only the spans that
// are queued are cut, never the text.
void QueueUserIPChain(const TSharedChain& chain, TWriteBuffer& out, bool copy) {
  struct TSpan {
    const std::shared_ptr<const TSharedBlock>* block;
    int offset;
    int length;
  };
  std::vector<TSpan> spans;
  spans.reserve(chain.Blocks().size() + 2);
  ForEachChainSpan(chain, true, [&spans](const std::shared_ptr<const TSharedBlock>& block, int offset,
                                         int length) { spans.push_back({&block, offset, length}); });
  while (!spans.empty() && spans.back().length == 0) spans.pop_back();
  if (spans.empty()) return;
  // The chain ends "$$|": the "|" stays, the two bytes before it go.
  TSpan bar = spans.back();
  bar.offset += bar.length - 1;
  bar.length = 1;
  spans.back().length -= 1;
  for (int drop = 2; drop > 0 && !spans.empty();) {
    const int cut = std::min(drop, spans.back().length);
    spans.back().length -= cut;
    drop -= cut;
    if (spans.back().length == 0) spans.pop_back();
  }
  spans.push_back(bar);
  for (const TSpan& span : spans)
    if (span.length != 0) QueueSpan(out, *span.block, span.offset, span.length, copy);
}

const std::string& MyINFOFor(const THubSocket& viewer, const THubSocket& user) {
  const TUserInfo& info = user.UserInfo();
  return viewer.IsOperator() ? info.OperatorMyINFO.Text : info.UserMyINFO.Text;
}

}  // namespace

void TNickList::SendNickList(THubSocket& user) {
  const bool listed = byNick_.Find(user.Nick) == &user;
  TUserInfo& info = user.UserInfo();
  // Built straight into the user's queue: the list is the largest text
  // the hub sends, and a copy through a scratch area doubled its cost.
  TWriteBuffer& out = user.WriteBuffer();

  // A viewer that may see hidden users sees its own selection, and a
  // hidden viewer finds itself where the others do not: both get private
  // lists.
  const bool shared = user.Rights().MayShowHidden() == 0 && !user.Hidden;

  if (!info.Supports.NoHello && shared && listed) {
    AppendSharedNickList(user, out);
  } else if (!info.Supports.NoHello) {
    out.AppendString("$NickList ");
    out.AppendString(settings_.BotName());
    out.AppendString("$$");
    if (!listed) {
      out.AppendString(user.Nick);
      out.AppendString("$$");
    }
    rooms_->AppendNickList(user, out);
    for (int i = 0; i < sorted_.Count(); ++i) {
      const THubSocket& other = *sorted_.GetObject(i);
      if (!MaySee(user, other)) continue;
      out.AppendString(other.Nick);
      out.AppendString("$$");
    }
    out.AppendChar('|');
  }

  if (user.Rights().MayShowHidden() != 0) {
    out.AppendString("$OpList ");
    out.AppendString(settings_.BotName());
    out.AppendString("$$");
    for (int i = 0; i < operators_.Count(); ++i) {
      const THubSocket& op = *operators_.GetValue(i);
      if (!MaySee(user, op)) continue;
      out.AppendString(op.Nick);
      out.AppendString("$$");
    }
  } else {
    const std::string_view cached = opList_.View();
    out.AppendString(cached.substr(0, cached.size() - 1));
  }
  if (user.IsOperator() && !IsListedOperator(user)) {
    out.AppendString(user.Nick);
    out.AppendString("$$");
  }
  rooms_->AppendOpList(user, out);
  out.AppendChar('|');

  out.AppendString(settings_.BotMyINFO());
  rooms_->AppendMyINFO(user, out);

  // Every user gets its own text once: an operator in the walk, everyone
  // else after it, so the client always finds itself in the list.
  bool sentOwn = false;
  if (shared) {
    sentOwn = AppendSharedMyINFOs(user, out);
  } else {
    for (int i = 0; i < sorted_.Count(); ++i) {
      const THubSocket& other = *sorted_.GetObject(i);
      if (&other == &user) {
        if (!user.IsOperator()) continue;
        sentOwn = true;
      } else if (!MaySee(user, other)) {
        continue;
      }
      out.AppendString(MyINFOFor(user, other));
    }
  }
  if (!sentOwn) out.AppendString(MyINFOFor(user, user));

  if (settings_.AutoSendOwnUserIP && !info.NickListSent && info.Supports.UserIP &&
      !user.Rights().MayAccessUserIP2()) {
    out.AppendString("$UserIP ");
    out.AppendString(user.Nick);
    out.AppendChar(' ');
    out.AppendString(user.IP);
    out.AppendChar('|');
  }


  ++info.Transfer.NickLists;
  user.NickListStamp = TTime::Now();
  info.DeferredNickList = false;
  info.NickListSent = true;
}

void TNickList::AppendSharedNickList(THubSocket& user, TWriteBuffer& out) {
  TWriteBuffer rooms;
  rooms_->AppendNickList(user, rooms);
  TSharedChain& chain = nickListChain_;
  chain.Begin();
  chain.Add(0, "$NickList ", settings_.BotName());
  chain.Add(0, "$$", rooms.View());
  for (int i = 0; i < sorted_.Count(); ++i) {
    if (const THubSocket* ahead = SortedAhead(i)) ahead->Prefetch(&ahead->Nick);
    const THubSocket& other = *sorted_.GetObject(i);
    if (!other.Hidden) chain.Add(other.Id(), other.Nick, "$$");
  }
  chain.Add(0, "|");
  chain.Finish();
  QueueChain(chain, out, false, user.UserInfo().Supports.ZPipe);
}

void TNickList::QueueChain(const TSharedChain& chain, TWriteBuffer& out, bool skipMarked, bool copy) {
  ForEachChainSpan(chain, skipMarked,
                   [&out, copy](const std::shared_ptr<const TSharedBlock>& block, int offset, int length) {
                     QueueSpan(out, block, offset, length, copy);
                   });
}

bool TNickList::AppendSharedMyINFOs(THubSocket& user, TWriteBuffer& out) {
  const bool asOperator = user.IsOperator();
  TSharedChain& chain = asOperator ? operatorMyINFOs_ : userMyINFOs_;
  chain.Begin();
  for (int i = 0; i < sorted_.Count(); ++i) {
    if (const THubSocket* ahead = SortedAhead(i)) {
      const TUserInfo& info = ahead->UserInfo();
      ahead->Prefetch(asOperator ? &info.OperatorMyINFO : &info.UserMyINFO);
    }
    const THubSocket& other = *sorted_.GetObject(i);
    if (other.Hidden) continue;
    const TUserInfo& info = other.UserInfo();
    const TMyINFOText& text = asOperator ? info.OperatorMyINFO : info.UserMyINFO;
    chain.Add(other.Id(), text.Text, {}, &other == &user, text.Version);
  }
  chain.Finish();
  // An operator finds itself in its place; anyone else is sent its own
  // text last, so the list goes around it.
  QueueChain(chain, out, !asOperator, false);
  return asOperator && chain.Marked().block >= 0;
}

void TNickList::SendDeferredNickList(THubSocket& user) {
  if (user.UserInfo().DeferredNickList) SendNickList(user);
}

void TNickList::SendUserIPList(THubSocket& user) {
  // A viewer that may see hidden users sees its own selection.
  if (user.Rights().MayShowHidden() == 0) {
    AppendSharedUserIPList(user, user.WriteBuffer());
    return;
  }
  std::string text;
  std::size_t room = 9;
  for (int i = 0; i < byNick_.Count(); ++i) room += byNick_.GetKey(i).size() + 18;
  text.reserve(room);
  text = "$UserIP ";
  bool any = false;
  for (int i = 0; i < sorted_.Count(); ++i) {
    const THubSocket& other = *sorted_.GetObject(i);
    if (&other == &user || other.LifeState != lsInitialised || !MaySee(user, other)) continue;
    AppendUserIPEntry(text, other);
    any = true;
  }
  if (!any) return;
  text.resize(text.size() - 2);  // the last entry's "$$"
  text += '|';
  user.WriteBuffer().AppendString(text);
}

void TNickList::AppendSharedUserIPList(THubSocket& user, TWriteBuffer& out) {
  TSharedChain& chain = userIPs_;
  chain.Begin();
  chain.Add(0, "$UserIP ");
  std::string entry;
  bool others = false;
  for (int i = 0; i < sorted_.Count(); ++i) {
    const THubSocket& other = *sorted_.GetObject(i);
    if (other.Hidden || other.LifeState != lsInitialised) continue;
    entry.clear();
    AppendUserIPEntry(entry, other);
    chain.Add(other.Id(), entry, {}, &other == &user);
    others = others || &other != &user;
  }
  chain.Add(0, "|");
  chain.Finish();
  // A list of no one is not sent.
  if (others) QueueUserIPChain(chain, out, user.UserInfo().Supports.ZPipe);
}

void TNickList::AnnounceUser(THubSocket& user) {
  const std::string hello = "$Hello " + user.Nick + "|";
  const std::string opList = user.IsOperator() ? "$OpList " + user.Nick + "$$|" : std::string();
  const std::string userIP = "$UserIP " + user.Nick + " " + user.IP + "|";
  // What a viewer is sent depends only on its channel: each text is made
  // and put into its run once.
  TSharedBroadcast broadcast(runs_);
  ForEachOnline([&](THubSocket& viewer) {
    if (&viewer == &user || !MaySee(viewer, user)) return;
    broadcast.To(viewer.WriteBuffer(), BroadcastChannel(viewer), [&] {
      std::string text;
      if (!viewer.UserInfo().Supports.NoHello) text += hello;
      text += opList;
      text += MyINFOFor(viewer, user);
      if (viewer.Rights().MayAccessUserIP2() && viewer.UserInfo().Supports.UserIP2) text += userIP;
      return text;
    });
  });
}

void TNickList::AnnounceQuit(THubSocket& user) {
  const std::string quit = "$Quit " + user.Nick + "|";
  hooks_->UserDisconnected(user);
  TSharedBroadcast broadcast(runs_, quit);
  ForEachOnline([&](THubSocket& viewer) {
    if (&viewer != &user && MaySee(viewer, user)) broadcast.To(viewer.WriteBuffer(), BroadcastChannel(viewer));
  });
}

void TNickList::HandleGetNickList(THubSocket& user) {
  if (!hooks_->FloodGate(user, TFloodKind::NickList)) return;
  TUserInfo& info = user.UserInfo();
  if (!user.IsLoggedIn()) {
    if (info.NickListSent) return;
    if (!user.Rights().MayReceiveNickListBeforeMyINFO()) {
      info.DeferredNickList = true;
      return;
    }
  } else if (info.NickListSent && user.WriteBuffer().UnsentRounds() > 0) {
    SendBotLine(user, language_.Text(TLanguageKey::TooBusyToRefreshNickList));
    return;
  }
  SendNickList(user);
}
