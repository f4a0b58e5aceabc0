#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/hub_socket.h"
#include "core/shared_chain.h"
#include "core/shared_run.h"
#include "core/user_info.h"
#include "core/write_buffer.h"
#include "security/account_users.h"
#include "utils/bin_list.h"
#include "utils/hash_list.h"

class TLanguage;
class TSettings;

// The chat rooms' part of what a user is sent about the other users: only
// the rooms `viewer` may see. The rooms register themselves later; until
// then they add nothing.
class TNickListRooms {
 public:
  virtual ~TNickListRooms() = default;
  // Each room's name + "$$".
  virtual void AppendNickList(const THubSocket& /*viewer*/, TWriteBuffer& /*out*/) {}
  // Rooms shown as operators + "$$".
  virtual void AppendOpList(const THubSocket& /*viewer*/, TWriteBuffer& /*out*/) {}
  // Each room's complete "$MyINFO".
  virtual void AppendMyINFO(const THubSocket& /*viewer*/, TWriteBuffer& /*out*/) {}
};

// What the user list asks of subsystems it does not own. The defaults let
// every request through, know no ISP and raise no script event.
class TNickListHooks {
 public:
  virtual ~TNickListHooks() = default;
  // False: the request is dropped (the gate has already told the user).
  virtual bool FloodGate(THubSocket& /*user*/, TFloodKind /*kind*/) { return true; }
  // The restriction of the ISP entry of the user's IP, or null for none.
  virtual const TConnRestriction* ISPRestriction(const THubSocket& /*user*/) { return nullptr; }
  virtual void UserDisconnected(THubSocket& /*user*/) {}
};

// The logged-in users: by nick, in nick order and the operators, with the
// cached "$OpList" and the broadcasts. Does not own the connections (the
// hub core's table does; a connection leaves this list before it is freed)
// nor its collaborators. Hidden users are shown only to viewers whose
// MayShowHidden level reaches them, in every text: nick list, "$OpList",
// "$MyINFO", "$UserIP", "$Hello" and "$Quit". Main thread only.
class TNickList : public TAccountUsers {
 public:
  TNickList(TSettings& settings, TLanguage& language, const TUserDefaults& defaults);
  ~TNickList() override;
  TNickList(const TNickList&) = delete;
  TNickList& operator=(const TNickList&) = delete;

  // Registers the other subsystems' sides (nullptr: the defaults); each must
  // outlive this list or be unregistered first.
  void SetRooms(TNickListRooms* rooms);
  void SetHooks(TNickListHooks* hooks);

  // False when the nick is listed already.
  bool Add(THubSocket& user);
  // False unless this very connection is listed under its nick.
  bool Remove(THubSocket& user);
  // Puts a listed user on the operator list and tells everyone who may see
  // it; false when it was there already.
  bool AddOperator(THubSocket& user);
  bool RemoveOperator(THubSocket& user);

  THubSocket* FindUser(std::string_view nick) const;
  THubSocket* FindUserBuf(const char* buffer, int length) const;
  // True when the nick is logged in; that user is sent a "|", so a dead
  // connection shows itself on the next send.
  bool ProbeNick(std::string_view nick);
  int GetCount() const { return byNick_.Count(); }
  THubSocket* GetUser(int index) const;  // nick order
  int OperatorCount() const { return operators_.Count(); }
  THubSocket* GetOperator(int index) const { return operators_.GetValue(index); }
  bool IsListedOperator(const THubSocket& user) const;

  // Appends to every listed user in life state 1, last to first.
  void SendToAll(std::string_view data);
  void SendToAllExcept(const THubSocket& except, std::string_view data);
  void SendToNonOperators(std::string_view data);
  void SendToOperators(std::string_view data);

  // May `viewer` see `user` in the lists? Everyone sees the unhidden and
  // itself.
  static bool MaySee(const THubSocket& viewer, const THubSocket& user);
  // The broadcast run of `viewer`: viewers that may be sent different texts
  // about an arrival (operator or user "$MyINFO", "$Hello", "$UserIP") read
  // different runs.
  static int BroadcastChannel(const THubSocket& viewer);
  // The runs every broadcast to many users is queued from.
  TSharedRuns& Runs() { return runs_; }

  void SendNickList(THubSocket& user);
  // Answers a request remembered from before login.
  void SendDeferredNickList(THubSocket& user);
  void SendUserIPList(THubSocket& user);
  void AnnounceUser(THubSocket& user);
  void AnnounceQuit(THubSocket& user);
  void HandleGetNickList(THubSocket& user);

  void RebuildOpList();
  // The cached "$OpList ...|" and the same text built from scratch.
  std::string_view OpListText() const { return opList_.View(); }
  std::string BuildOpList() const;

  // TAccountUsers: keeps the listed users bound to the current accounts.
  void BindNewAccount(const std::shared_ptr<TAccount>& account) override;
  void AccountProfileChanged(const std::shared_ptr<TAccount>& account,
                             const std::shared_ptr<TProfile>& oldProfile) override;
  void RefreshAccounts() override;
  // Binds one connection (listed or still logging in) to the current
  // account of its nick, or to the default account when that is gone.
  void RebindAccount(THubSocket& user);
  void RefreshISPRestrictions();

 private:
  // How many users ahead a walk over the list starts loading them.
  static constexpr int kPrefetchAhead = 8;

  // The user a walk over the sorted list meets kPrefetchAhead entries after
  // entry `i`, or null.
  const THubSocket* SortedAhead(int i) const {
    return i + kPrefetchAhead < sorted_.Count() ? sorted_.GetObject(i + kPrefetchAhead) : nullptr;
  }

  // Every listed user in life state 1, last to first.
  template <typename Fn>
  void ForEachOnline(Fn&& fn) const {
    for (int i = byNick_.Count() - 1; i >= 0; --i) {
      if (i >= kPrefetchAhead) byNick_.GetValue(i - kPrefetchAhead)->PrefetchForBroadcast();
      THubSocket* user = byNick_.GetValue(i);
      if (user->LifeState == lsInitialised) fn(*user);
    }
  }

  // Binds with the current restriction rule and keeps the operator list in
  // step; true when the operator text must be rebuilt.
  bool Bind(THubSocket& user, std::shared_ptr<TAccount> account);
  void AppendOpListEntry(THubSocket& user);
  // The parts of a nick list every viewer of one kind gets alike, queued
  // as shared blocks; for viewers that see no hidden user and are not hidden.
  void AppendSharedNickList(THubSocket& user, TWriteBuffer& out);
  // True when the viewer's own entry went out in its place.
  bool AppendSharedMyINFOs(THubSocket& user, TWriteBuffer& out);
  void AppendSharedUserIPList(THubSocket& user, TWriteBuffer& out);
  // Queues the chain's blocks, without its marked entry when `skipMarked`;
  // `copy`: the blocks hold one message, which a ZPipe client may only get
  // deflated whole, so it takes a copy its queue deflates.
  static void QueueChain(const TSharedChain& chain, TWriteBuffer& out, bool skipMarked, bool copy);
  void SendBotLine(THubSocket& user, std::string_view text);

  TSettings& settings_;
  TLanguage& language_;
  const TUserDefaults& defaults_;
  TNickListRooms* rooms_;
  TNickListHooks* hooks_;

  THashList<THubSocket> byNick_{4096};
  TBinList<THubSocket> sorted_{4096};
  THashList<THubSocket> operators_{128};
  TWriteBuffer opList_{1};  // "$OpList {bot}$$" + unhidden operators + "|"
  // What lists share, per view: the "$NickList" message (in parts, one
  // message across its blocks) and every unhidden user's "$MyINFO" as users
  // and as operators see it.
  TSharedChain nickListChain_{kSharedBlockSize};
  TSharedChain userMyINFOs_{kSharedBlockSize};
  TSharedChain operatorMyINFOs_{kSharedBlockSize};
  TSharedChain userIPs_{kSharedBlockSize};  // the "$UserIP" list of every unhidden, logged-in user
  TSharedRuns runs_;

 public:
  // Target size of a shared block of "$MyINFO"s: small enough that the
  // blocks a join replaces while newcomers still hold the old ones stay a
  // small part of the list.
  static constexpr std::size_t kSharedBlockSize = 8192;
  const TSharedChain& MyINFOChain(bool operatorView) const {
    return operatorView ? operatorMyINFOs_ : userMyINFOs_;
  }
};
