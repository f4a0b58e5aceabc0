#include "core/nick_list.h"

#include <utility>

#include "core/hub_socket.h"
#include "security/account.h"
#include "security/profile.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/text_format.h"

namespace {

TNickListRooms& NoRooms() {
  static TNickListRooms none;
  return none;
}

TNickListHooks& NoHooks() {
  static TNickListHooks none;
  return none;
}

}  // namespace

TNickList::TNickList(TSettings& settings, TLanguage& language, const TUserDefaults& defaults)
    : settings_(settings),
      language_(language),
      defaults_(defaults),
      rooms_(&NoRooms()),
      hooks_(&NoHooks()) {
  RebuildOpList();
}

TNickList::~TNickList() = default;

void TNickList::SetRooms(TNickListRooms* rooms) { rooms_ = rooms != nullptr ? rooms : &NoRooms(); }

void TNickList::SetHooks(TNickListHooks* hooks) { hooks_ = hooks != nullptr ? hooks : &NoHooks(); }

bool TNickList::Add(THubSocket& user) {
  if (!byNick_.Add(user.Nick, &user)) return false;
  if (!sorted_.Add(user.Nick, &user)) {
    byNick_.Remove(user.Nick);
    return false;
  }
  if (user.IsOperator() && operators_.Add(user.Nick, &user)) AppendOpListEntry(user);
  return true;
}

bool TNickList::Remove(THubSocket& user) {
  if (byNick_.Find(user.Nick) != &user) return false;
  byNick_.Remove(user.Nick);
  sorted_.Remove(user.Nick);
  if (operators_.Find(user.Nick) == &user) {
    operators_.Remove(user.Nick);
    RebuildOpList();
  }
  return true;
}

bool TNickList::AddOperator(THubSocket& user) {
  if (byNick_.Find(user.Nick) != &user || !operators_.Add(user.Nick, &user)) return false;
  AppendOpListEntry(user);
  const std::string message = "$OpList " + user.Nick + "$$|";
  TSharedBroadcast broadcast(runs_, message);
  ForEachOnline([&](THubSocket& viewer) {
    if (MaySee(viewer, user)) broadcast.To(viewer.WriteBuffer(), BroadcastChannel(viewer));
  });
  return true;
}

bool TNickList::RemoveOperator(THubSocket& user) {
  if (operators_.Find(user.Nick) != &user) return false;
  operators_.Remove(user.Nick);
  RebuildOpList();
  return true;
}

bool TNickList::IsListedOperator(const THubSocket& user) const {
  return operators_.Find(user.Nick) == &user;
}

THubSocket* TNickList::FindUser(std::string_view nick) const { return byNick_.Find(nick); }

THubSocket* TNickList::FindUserBuf(const char* buffer, int length) const {
  return byNick_.FindBuf(buffer, length);
}

bool TNickList::ProbeNick(std::string_view nick) {
  THubSocket* user = byNick_.Find(nick);
  if (user == nullptr) return false;
  user->WriteBuffer().AppendChar('|');
  return true;
}

THubSocket* TNickList::GetUser(int index) const { return sorted_.GetObject(index); }

void TNickList::SendToAll(std::string_view data) {
  TSharedBroadcast broadcast(runs_, data);
  ForEachOnline([&](THubSocket& user) { broadcast.To(user.WriteBuffer(), BroadcastChannel(user)); });
}

void TNickList::SendToAllExcept(const THubSocket& except, std::string_view data) {
  TSharedBroadcast broadcast(runs_, data);
  ForEachOnline([&](THubSocket& user) {
    if (&user != &except) broadcast.To(user.WriteBuffer(), BroadcastChannel(user));
  });
}

void TNickList::SendToNonOperators(std::string_view data) {
  TSharedBroadcast broadcast(runs_, data);
  ForEachOnline([&](THubSocket& user) {
    if (!user.IsOperator()) broadcast.To(user.WriteBuffer(), BroadcastChannel(user));
  });
}

void TNickList::SendToOperators(std::string_view data) {
  TSharedBroadcast broadcast(runs_, data);
  for (int i = operators_.Count() - 1; i >= 0; --i) {
    THubSocket* user = operators_.GetValue(i);
    if (user->LifeState == lsInitialised) broadcast.To(user->WriteBuffer(), BroadcastChannel(*user));
  }
}

int TNickList::BroadcastChannel(const THubSocket& viewer) {
  const TUserInfo& info = viewer.UserInfo();
  return (viewer.IsOperator() ? 1 : 0) | (info.Supports.NoHello ? 2 : 0) |
         (viewer.Rights().MayAccessUserIP2() && info.Supports.UserIP2 ? 4 : 0);
}

bool TNickList::MaySee(const THubSocket& viewer, const THubSocket& user) {
  if (!user.Hidden || &viewer == &user) return true;
  const std::uint8_t level = viewer.Rights().MayShowHidden();
  return level != 0 && viewer.MayActOnUser(level, user);
}

void TNickList::AppendOpListEntry(THubSocket& user) {
  if (user.Hidden) return;
  opList_.DropLastChar();
  opList_.AppendString(user.Nick);
  opList_.AppendString("$$|");
}

std::string TNickList::BuildOpList() const {
  std::string text = "$OpList " + settings_.BotName() + "$$";
  for (int i = 0; i < operators_.Count(); ++i) {
    const THubSocket* op = operators_.GetValue(i);
    if (op->Hidden) continue;
    text += op->Nick;
    text += "$$";
  }
  text += '|';
  return text;
}

void TNickList::RebuildOpList() {
  opList_.Clear(false);
  opList_.AppendString(BuildOpList());
}

void TNickList::SendBotLine(THubSocket& user, std::string_view text) {
  TWriteBuffer& out = user.WriteBuffer();
  out.AppendString(settings_.BotChatPrefix());
  out.AppendString(text);
  out.AppendChar('|');
}

bool TNickList::Bind(THubSocket& user, std::shared_ptr<TAccount> account) {
  const bool wasOperator = user.IsOperator();
  const bool wasHidden = user.Hidden;
  const TConnRestriction* isp = settings_.UseISPCheck ? hooks_->ISPRestriction(user) : nullptr;
  user.BindAccount(std::move(account), settings_.ConnRestriction, isp);
  if (byNick_.Find(user.Nick) != &user) return false;
  if (user.IsOperator() != wasOperator) {
    // Both keep the cached text in step themselves.
    if (user.IsOperator()) {
      AddOperator(user);
    } else {
      RemoveOperator(user);
    }
    return false;
  }
  return user.IsOperator() && user.Hidden != wasHidden;
}

void TNickList::RebindAccount(THubSocket& user) {
  if (!user.Registered) return;
  std::shared_ptr<TAccount> fresh;
  if (defaults_.FindAccount) {
    fresh = defaults_.FindAccount(user.Nick);
  } else if (user.Account && !user.Account->Deleted) {
    fresh = user.Account;
  }
  if (fresh && fresh->Deleted) fresh = nullptr;
  if (fresh != user.Account) {
    if (user.AccountTemporary && user.Account && defaults_.ReleaseAccount)
      defaults_.ReleaseAccount(user.Account);
    user.AccountTemporary = false;
    if (fresh) {
      if (defaults_.AcquireAccount) defaults_.AcquireAccount(fresh);
      user.AccountTemporary = true;
      // A reloaded account is a new object: its user is still online.
      fresh->Online = true;
    }
  }
  user.Registered = fresh != nullptr;
  if (Bind(user, std::move(fresh))) RebuildOpList();
}

void TNickList::RefreshAccounts() {
  for (int i = byNick_.Count() - 1; i >= 0; --i) RebindAccount(*byNick_.GetValue(i));
}

void TNickList::BindNewAccount(const std::shared_ptr<TAccount>& account) {
  if (!account) return;
  THubSocket* user = byNick_.Find(account->Nick);
  if (user == nullptr || user->Account == account) return;
  if (user->AccountTemporary && user->Account && defaults_.ReleaseAccount)
    defaults_.ReleaseAccount(user->Account);
  if (defaults_.AcquireAccount) defaults_.AcquireAccount(account);
  user->AccountTemporary = true;
  user->Registered = true;
  account->Online = true;
  if (Bind(*user, account)) RebuildOpList();
}

void TNickList::AccountProfileChanged(const std::shared_ptr<TAccount>& account,
                                      const std::shared_ptr<TProfile>& oldProfile) {
  if (!account) return;
  THubSocket* user = byNick_.Find(account->Nick);
  if (user == nullptr || user->Account != account) return;
  if (Bind(*user, account)) RebuildOpList();
  const std::string oldName = oldProfile ? oldProfile->Name : std::string();
  const std::string newName = account->Profile ? account->Profile->Name : std::string();
  SendBotLine(*user, FormatText(language_.Text(TLanguageKey::OnNewProfile), oldName, newName));
}

void TNickList::RefreshISPRestrictions() {
  for (int i = byNick_.Count() - 1; i >= 0; --i) {
    THubSocket& user = *byNick_.GetValue(i);
    if (!user.ISPRestriction) continue;
    const TConnRestriction* isp = settings_.UseISPCheck ? hooks_->ISPRestriction(user) : nullptr;
    if (isp != nullptr) {
      user.Restriction = *isp;
    } else {
      user.Restriction = settings_.ConnRestriction;
      user.ISPRestriction = false;
    }
  }
}
