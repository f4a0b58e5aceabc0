#include "core/commands/chat_rooms.h"

#include <algorithm>
#include <utility>

#include "core/hub_socket.h"
#include "core/nicks_in_use.h"
#include "core/protocol_message.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/text_format.h"

namespace {

constexpr char kRoomPrefix = '+';

bool Holds(const TProfileSet& set, const TProfile& profile) {
  return std::any_of(set.begin(), set.end(),
                     [&profile](const auto& held) { return held.get() == &profile; });
}

void AppendQuit(THubSocket& user, std::string_view name) {
  TWriteBuffer& out = user.WriteBuffer();
  out.AppendString("$Quit ");
  out.AppendString(name);
  out.AppendChar('|');
}

std::vector<std::string> SplitWords(std::string_view text) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    const std::size_t end = std::min(text.find(' ', i), text.size());
    words.emplace_back(text.substr(i, end - i));
    i = end;
  }
  return words;
}

}  // namespace

// --- one room ---------------------------------------------------------------

TChatRoom::TChatRoom(TChatRooms& owner, std::string name)
    : owner_(owner), name_(std::move(name)) {
  members_.SetWildcard('*');
  RebuildMyINFO();
}

template <typename Fn>
void TChatRoom::ForEachConcerned(Fn&& fn) const {
  const TNickList& list = owner_.Context().NickList;
  for (int i = list.GetCount() - 1; i >= 0; --i) {
    THubSocket* user = list.GetUser(i);
    if (user != nullptr && user->LifeState == lsInitialised && Concerns(*user)) fn(*user);
  }
}

void TChatRoom::RebuildMyINFO() {
  const int count = members_.Count();
  myINFO_ = "$MyINFO $ALL " + name_ + " [" + std::to_string(count) +
            (count == 1 ? "] user$ $\x01$$0$|" : "] users$ $\x01$$0$|");
}

bool TChatRoom::Sees(const TProfile& profile) const {
  return Holds(Visibles, profile) || Holds(MayJoins, profile) || Holds(AutoJoins, profile) ||
         Holds(Admins, profile);
}

bool TChatRoom::MayJoin(const TProfile& profile) const {
  return !Locked && (Holds(Admins, profile) || Holds(MayJoins, profile));
}

bool TChatRoom::IsAdmin(const TProfile& profile) const { return Holds(Admins, profile); }

bool TChatRoom::IsMember(const THubSocket& user) const {
  return members_.Find(user.Nick) == &user;
}

void TChatRoom::SetIsOperator(bool value) {
  if (value == isOperator_) return;
  if (active_) BroadcastQuit(name_);
  isOperator_ = value;
  if (active_) Announce();
}

bool TChatRoom::AddMember(THubSocket& user) {
  if (!members_.Add(user.Nick, &user)) return false;
  RebuildMyINFO();
  if (!active_) return true;
  // A deferred nick list will hold the room already.
  if (!user.UserInfo().DeferredNickList) SendRoomTo(user);
  ForEachConcerned([this, &user](THubSocket& other) {
    if (&other != &user) other.WriteBuffer().AppendString(myINFO_);
  });
  return true;
}

void TChatRoom::RemoveMember(THubSocket& user) {
  if (!IsMember(user)) return;
  members_.Remove(user.Nick);
  RebuildMyINFO();
  if (!active_) return;
  ForEachConcerned([this](THubSocket& other) { other.WriteBuffer().AppendString(myINFO_); });
  if (user.LifeState == lsInitialised && !Sees(user.Rights())) AppendQuit(user, name_);
}

void TChatRoom::SendRoomTo(THubSocket& user) {
  if (user.LifeState != lsInitialised) return;
  TWriteBuffer& out = user.WriteBuffer();
  if (!user.UserInfo().Supports.NoHello) {
    out.AppendString("$Hello ");
    out.AppendString(name_);
    out.AppendChar('|');
  }
  if (isOperator_) {
    out.AppendString("$OpList ");
    out.AppendString(name_);
    out.AppendString("$$|");
  }
  out.AppendString(myINFO_);
}

void TChatRoom::Announce() {
  ForEachConcerned([this](THubSocket& user) { SendRoomTo(user); });
}

void TChatRoom::BroadcastQuit(std::string_view name) {
  ForEachConcerned([name](THubSocket& user) { AppendQuit(user, name); });
}

void TChatRoom::Deliver(const THubSocket& sender, std::string_view text) {
  std::string tail = " From: " + name_ + " $<" + sender.Nick + "> ";
  tail += text;
  tail += '|';
  for (int i = members_.Count() - 1; i >= 0; --i) {
    THubSocket* member = members_.GetObject(i);
    if (member == &sender || member->LifeState != lsInitialised) continue;
    TWriteBuffer& out = member->WriteBuffer();
    out.AppendString("$To: ");
    out.AppendString(member->Nick);
    out.AppendString(tail);
  }
}

// --- the list ---------------------------------------------------------------

TChatRooms::TChatRooms(TChatRoomsContext context) : ctx_(context) {}

TChatRooms::~TChatRooms() {
  if (feedRoom_ != nullptr) ctx_.Feed.SetRoom(nullptr);
}

bool TChatRooms::Add(std::unique_ptr<TChatRoom> room) {
  // A name the hub holds (the bot, another room) is never taken over:
  // deleting the room would release it.
  if (room == nullptr || room->name_.empty() || Find(room->name_) != nullptr ||
      ctx_.NicksInUse.Exists(room->name_)) {
    return false;
  }
  TChatRoom* added = room.get();
  rooms_.Add(added->name_, added);
  owned_.push_back(std::move(room));
  ctx_.NicksInUse.Add(added->name_);
  added->RebuildMyINFO();
  added->Announce();
  added->active_ = true;
  if (view_ != nullptr) view_->UpdateRoom(*added);
  return true;
}

bool TChatRooms::Delete(std::string_view name) {
  TChatRoom* room = Find(name);
  if (room == nullptr) return false;
  room->BroadcastQuit(room->name_);
  for (int i = room->members_.Count() - 1; i >= 0; --i) {
    THubSocket* member = room->members_.GetObject(i);
    if (member->LifeState == lsInitialised && !room->Sees(member->Rights()))
      AppendQuit(*member, room->name_);
  }
  const std::string key = room->name_;
  rooms_.Remove(key);
  ctx_.NicksInUse.Remove(key);
  if (feedRoom_ == room) SetFeedRoom(nullptr);
  std::erase_if(owned_, [room](const auto& held) { return held.get() == room; });
  if (view_ != nullptr) view_->RemoveRoom(key);
  return true;
}

bool TChatRooms::Rename(TChatRoom& room, std::string_view newName) {
  if (newName.empty() || newName == room.name_) return false;
  const TChatRoom* other = Find(newName);
  if (other != nullptr && other != &room) return false;
  if (other == nullptr && ctx_.NicksInUse.Exists(newName)) return false;
  const std::string old = room.name_;
  rooms_.Remove(old);
  rooms_.Add(newName, &room);
  ctx_.NicksInUse.Remove(old);
  ctx_.NicksInUse.Add(newName);
  room.name_ = std::string(newName);
  room.RebuildMyINFO();
  if (room.active_) {
    room.BroadcastQuit(old);
    room.Announce();
  }
  return true;
}

void TChatRooms::SetFeedRoom(TChatRoom* room) {
  feedRoom_ = room;
  ctx_.Feed.SetRoom(room);
}

void TChatRooms::ClearRooms() {
  SetFeedRoom(nullptr);
  while (GetCount() > 0) Delete(GetItem(GetCount() - 1).name_);
}

bool TChatRooms::CreateRoom(std::string_view name, bool isOperator, bool locked, THubSocket& user) {
  using L = TLanguageKey;
  const TSettings& settings = ctx_.Settings;
  const int length = static_cast<int>(name.size());
  if (name.empty() || (settings.NickMinLength.Enabled && length < settings.NickMinLength.Value)) {
    ctx_.Messages.SendChat(user, ctx_.Language.Text(L::CreateChatRoomErrorNoNick));
    return false;
  }
  if (settings.NickMaxLength.Enabled && length >= settings.NickMaxLength.Value) {
    ctx_.Messages.SendChat(user, ctx_.Language.Text(L::CreateChatRoomErrorToLongNick));
    return false;
  }
  if (ctx_.NicksInUse.Exists(name) || ctx_.NickList.FindUser(name) != nullptr) {
    ctx_.Messages.SendChat(user, ctx_.Language.Text(L::CreateChatRoomErrorNickInUse));
    return false;
  }
  ctx_.Messages.SendChat(user, ctx_.Language.Text(L::CreateChatRoomSuccess));
  auto room = Make(std::string(name));
  room->isOperator_ = isOperator;
  room->Locked = locked;
  room->Visibles.push_back(ctx_.Profiles.Regular());
  room->Visibles.push_back(ctx_.Profiles.Registered());
  for (int i = 0; i < ctx_.Profiles.GetCount(); ++i)
    room->Visibles.push_back(ctx_.Profiles.GetItem(i));
  room->MayJoins = room->Visibles;
  if (!Add(std::move(room))) return false;
  ctx_.Feed.PostAction(
      FormatText(ctx_.Language.Text(L::CreateChatRoomNotification), user.Nick, name));
  return true;
}

bool TChatRooms::DeleteRoom(std::string_view name, THubSocket& user) {
  using L = TLanguageKey;
  if (Find(name) == nullptr) {
    ctx_.Messages.SendChat(user, ctx_.Language.Text(L::DeleteCharRoomErrorNotFound));
    return false;
  }
  ctx_.Messages.SendChat(user, ctx_.Language.Text(L::DeleteChatRoomSuccess));
  const std::string real(Find(name)->Name());
  Delete(name);
  ctx_.Messages.SendChatToAll(
      FormatText(ctx_.Language.Text(L::DeleteChatRoomNotification), user.Nick, real));
  return true;
}

bool TChatRooms::HandlePrivateMessage(THubSocket& user, std::string_view target,
                                      std::string_view message) {
  TChatRoom* room = Find(target);
  if (room == nullptr) return false;
  // The text after "$<sender> " (or after "$" without a shown nick).
  const std::size_t dollar = message.find(" $");
  if (dollar == std::string_view::npos) return true;
  std::string_view text = message.substr(dollar + 2);
  if (text.ends_with('|')) text.remove_suffix(1);
  if (text.starts_with('<')) {
    const std::size_t close = text.find("> ");
    text = close == std::string_view::npos ? std::string_view{} : text.substr(close + 2);
  }
  if (text.starts_with(kRoomPrefix)) {
    const std::vector<std::string> words = SplitWords(text.substr(1));
    // "+" alone is no command: it goes on as text.
    if (!words.empty() && RunRoomCommand(*room, user, words)) return true;
  }
  if (room->IsMember(user)) room->Deliver(user, text);
  else Answer(*room, user, ctx_.Language.Text(TLanguageKey::NonCommandOfNotJoinedUser));
  return true;
}

void TChatRooms::Answer(const TChatRoom& room, THubSocket& user, std::string_view text) {
  ctx_.Messages.SendPMFrom(room.name_, user, text);
}

void TChatRooms::AutoJoin(THubSocket& user) {
  for (int i = GetCount() - 1; i >= 0; --i) {
    TChatRoom& room = GetItem(i);
    if (Holds(room.AutoJoins, user.Rights())) room.AddMember(user);
  }
}

void TChatRooms::RemoveUser(THubSocket& user) {
  for (int i = GetCount() - 1; i >= 0; --i) GetItem(i).RemoveMember(user);
}

void TChatRooms::RefreshUserRooms(THubSocket& user) {
  for (int i = 0; i < GetCount(); ++i) {
    TChatRoom& room = GetItem(i);
    if (room.Concerns(user)) room.SendRoomTo(user);
    else if (user.LifeState == lsInitialised) AppendQuit(user, room.name_);
  }
}

void TChatRooms::RelinkProfiles() {
  const auto relink = [this](TProfileSet& set) {
    TProfileSet fresh;
    for (const auto& held : set) {
      std::shared_ptr<TProfile> current = ctx_.Profiles.FindAny(held->Name);
      if (current != nullptr && !Holds(fresh, *current)) fresh.push_back(std::move(current));
    }
    set = std::move(fresh);
  };
  for (int i = 0; i < GetCount(); ++i) {
    TChatRoom& room = GetItem(i);
    relink(room.Visibles);
    relink(room.MayJoins);
    relink(room.AutoJoins);
    relink(room.Admins);
  }
}

void TChatRooms::AppendNickList(const THubSocket& viewer, TWriteBuffer& out) {
  for (int i = 0; i < GetCount(); ++i) {
    const TChatRoom& room = GetItem(i);
    if (!room.Concerns(viewer)) continue;
    out.AppendString(room.name_);
    out.AppendString("$$");
  }
}

void TChatRooms::AppendOpList(const THubSocket& viewer, TWriteBuffer& out) {
  for (int i = 0; i < GetCount(); ++i) {
    const TChatRoom& room = GetItem(i);
    if (!room.isOperator_ || !room.Concerns(viewer)) continue;
    out.AppendString(room.name_);
    out.AppendString("$$");
  }
}

void TChatRooms::AppendMyINFO(const THubSocket& viewer, TWriteBuffer& out) {
  for (int i = 0; i < GetCount(); ++i) {
    const TChatRoom& room = GetItem(i);
    if (room.Concerns(viewer)) out.AppendString(room.myINFO_);
  }
}
