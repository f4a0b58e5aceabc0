#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/hub_feed.h"
#include "core/nick_list.h"
#include "utils/bin_list.h"

class TChatRooms;
class THubSocket;
class TLanguage;
class TNicksInUse;
class TProfile;
class TProfiles;
class TProtocolMessage;
class TSettings;
class TStringList;

// A set of profiles held by identity; relinked by name after a reload.
using TProfileSet = std::vector<std::shared_ptr<TProfile>>;

// One chat room: a pseudo-user whose private messages go to its members.
// Owns its "$MyINFO" text and its profile sets; does not own its members
// (the hub core's connections; a closing one is removed first).
class TChatRoom final : public TFeedRoom {
 public:
  TChatRoom(TChatRooms& owner, std::string name);

  std::string_view Name() const override { return name_; }
  int MemberCount() const override { return members_.Count(); }
  THubSocket* Member(int index) const override { return members_.GetObject(index); }

  std::string Comment;
  std::string WelcomeMessage;  // empty: the language's welcome
  bool Locked = false;
  TProfileSet Visibles, MayJoins, AutoJoins, Admins;

  bool IsOperator() const { return isOperator_; }
  void SetIsOperator(bool value);
  bool Active() const { return active_; }
  const std::string& MyINFO() const { return myINFO_; }

  bool Sees(const TProfile& profile) const;
  bool MayJoin(const TProfile& profile) const;
  bool IsAdmin(const TProfile& profile) const;
  bool IsMember(const THubSocket& user) const;
  // A nick's range among the members ("*" ends a prefix).
  TMatchRange MatchMembers(std::string_view filter) const { return members_.FindMatchRange(filter); }

  bool AddMember(THubSocket& user);
  void RemoveMember(THubSocket& user);
  // The room to everyone who is a member or sees it.
  void Announce();
  void BroadcastQuit(std::string_view name);
  void SendRoomTo(THubSocket& user);
  // A member's text to every other logged-in member.
  void Deliver(const THubSocket& sender, std::string_view text);

 private:
  friend class TChatRooms;
  void RebuildMyINFO();
  bool Concerns(const THubSocket& user) const { return IsMember(user) || Sees(user.Rights()); }
  // Each logged-in user who is a member or sees the room, last to first.
  template <typename Fn>
  void ForEachConcerned(Fn&& fn) const;

  TChatRooms& owner_;
  std::string name_;
  std::string myINFO_;
  bool isOperator_ = false;
  bool active_ = false;
  TBinList<THubSocket> members_{32};
};

// What the chat-rooms page hears of the list; the defaults do nothing, so
// the daemon runs without one.
class TChatRoomsView {
 public:
  virtual ~TChatRoomsView() = default;
  // A room was added (its row anew).
  virtual void UpdateRoom(TChatRoom& /*room*/) {}
  virtual void RemoveRoom(std::string_view /*name*/) {}
  // The file was loaded: every row anew.
  virtual void RefreshList() {}
};

// What the rooms read and send through; all must outlive them.
struct TChatRoomsContext {
  TSettings& Settings;
  TLanguage& Language;
  TNickList& NickList;
  TNicksInUse& NicksInUse;
  TProfiles& Profiles;
  TProtocolMessage& Messages;
  THubFeed& Feed;
};

// The chat rooms: the sorted, case-insensitive list that owns them, the
// room commands, the feed room, and the rooms' part of every user list.
// Does not own its context. Main thread only.
class TChatRooms final : public TNickListRooms {
 public:
  explicit TChatRooms(TChatRoomsContext context);
  ~TChatRooms() override;
  TChatRooms(const TChatRooms&) = delete;
  TChatRooms& operator=(const TChatRooms&) = delete;

  // Null: no view.
  void SetView(TChatRoomsView* view) { view_ = view; }

  TChatRoom* Find(std::string_view name) const { return rooms_.Find(name); }
  int GetCount() const { return rooms_.Count(); }
  TChatRoom& GetItem(int index) const { return *rooms_.GetObject(index); }
  // A new room, not yet in the list.
  std::unique_ptr<TChatRoom> Make(std::string name) {
    return std::make_unique<TChatRoom>(*this, std::move(name));
  }
  // False (and the room freed) when its name is in the list or reserved by
  // the hub; else the name is reserved and the room announced.
  bool Add(std::unique_ptr<TChatRoom> room);
  bool Delete(std::string_view name);
  bool Rename(TChatRoom& room, std::string_view newName);

  // The operator commands; answers are bot main-chat lines to `user`.
  bool CreateRoom(std::string_view name, bool isOperator, bool locked, THubSocket& user);
  bool DeleteRoom(std::string_view name, THubSocket& user);

  // A private message to `target`; true when a room took it. `message` is
  // the whole "$To: ..." message with its final '|'.
  bool HandlePrivateMessage(THubSocket& user, std::string_view target, std::string_view message);
  void AutoJoin(THubSocket& user);
  void RemoveUser(THubSocket& user);
  void RefreshUserRooms(THubSocket& user);
  void RelinkProfiles();

  TChatRoom* FeedRoom() const { return feedRoom_; }
  void SetFeedRoom(TChatRoom* room);

  // TNickListRooms
  void AppendNickList(const THubSocket& viewer, TWriteBuffer& out) override;
  void AppendOpList(const THubSocket& viewer, TWriteBuffer& out) override;
  void AppendMyINFO(const THubSocket& viewer, TWriteBuffer& out) override;

  // settings/chat_rooms.xml
  static std::string FilePath();
  bool Load();
  bool Save();
  const std::string& Version() const { return version_; }

  const TChatRoomsContext& Context() const { return ctx_; }

 private:
  // A room command's answer: a private message from the room.
  void Answer(const TChatRoom& room, THubSocket& user, std::string_view text);
  bool RunRoomCommand(TChatRoom& room, THubSocket& user, const std::vector<std::string>& words);
  void Help(TChatRoom& room, THubSocket& user);
  void List(TChatRoom& room, THubSocket& user, const std::vector<std::string>& words);
  void Join(TChatRoom& room, THubSocket& user);
  void Leave(TChatRoom& room, THubSocket& user);
  void Invite(TChatRoom& room, THubSocket& user, const std::vector<std::string>& words);
  void Kick(TChatRoom& room, THubSocket& user, const std::vector<std::string>& words);
  void ClearRooms();

  TChatRoomsContext ctx_;
  std::vector<std::unique_ptr<TChatRoom>> owned_;
  TBinList<TChatRoom> rooms_{32};
  TChatRoom* feedRoom_ = nullptr;
  std::string version_;
  bool loading_ = true;
  bool saveBlocked_ = false;
  TChatRoomsView* view_ = nullptr;
};
