#include "core/nick_list.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "nick_list_test_support.h"
#include "security/profile_access.h"

namespace {

using TNames = std::vector<std::string>;

class NickListTest : public ::testing::Test, public TNickListFixture {
 protected:
  // The message of `stream` that starts with `head`, or "" when none does.
  static std::string Find(std::string_view stream, std::string_view head) {
    for (const std::string& m : Messages(stream))
      if (m.rfind(head, 0) == 0) return m;
    return {};
  }
  static int CountOf(std::string_view stream, std::string_view head) {
    const auto all = Messages(stream);
    return static_cast<int>(std::count_if(all.begin(), all.end(), [head](const std::string& m) {
      return m.rfind(head, 0) == 0;
    }));
  }
};

TEST_F(NickListTest, FindsUsersWithoutCaseAndListsThemInNickOrder) {
  THubSocket& b = Login("bob");
  THubSocket& a = Login("Alice");
  EXPECT_EQ(list.FindUser("ALICE"), &a);
  const char buffer[] = "$To: BOB From:";
  EXPECT_EQ(list.FindUserBuf(buffer + 5, 3), &b);
  EXPECT_EQ(list.FindUser("carol"), nullptr);
  ASSERT_EQ(list.GetCount(), 2);
  EXPECT_EQ(list.GetUser(0), &a);
  EXPECT_EQ(list.GetUser(1), &b);
  EXPECT_EQ(list.GetUser(2), nullptr);
}

TEST_F(NickListTest, RefusesASecondUserOfTheSameNick) {
  Login("bob");
  THubSocket& twin = Connect("BOB", {});
  EXPECT_FALSE(list.Add(twin));
  EXPECT_FALSE(list.Remove(twin));  // the listed bob stays
  EXPECT_NE(list.FindUser("bob"), nullptr);
  EXPECT_EQ(list.GetCount(), 1);
}

TEST_F(NickListTest, ProbeQueuesABarToTheListedUserOnly) {
  THubSocket& bob = Login("bob");
  Take(bob);
  EXPECT_TRUE(list.ProbeNick("BOB"));
  EXPECT_FALSE(list.ProbeNick("nobody"));
  EXPECT_EQ(Take(bob), "|");
}

TEST_F(NickListTest, BroadcastsReachOnlyLiveUsersOfTheirGroup) {
  THubSocket& user = Login("user");
  THubSocket& op = Login("op", users.Operator);
  THubSocket& closing = Login("closing");
  closing.LifeState = lsClosing;
  for (THubSocket* u : {&user, &op, &closing}) Take(*u);

  list.SendToAll("A|");
  list.SendToAllExcept(user, "E|");
  list.SendToOperators("O|");
  list.SendToNonOperators("N|");
  EXPECT_EQ(Take(user), "A|N|");
  EXPECT_EQ(Take(op), "A|E|O|");
  EXPECT_EQ(Take(closing), "");
}

TEST_F(NickListTest, OpListCacheFollowsJoinsPartsAndPromotions) {
  const std::string bot = settings.BotName();
  EXPECT_EQ(list.OpListText(), "$OpList " + bot + "$$|");
  THubSocket& op1 = Login("op1", users.Operator);
  THubSocket& op2 = Login("op2", users.Operator);
  THubSocket& user = Login("user");
  EXPECT_EQ(list.OpListText(), "$OpList " + bot + "$$op1$$op2$$|");
  Logout(op1);
  EXPECT_EQ(list.OpListText(), "$OpList " + bot + "$$op2$$|");

  Take(op2);
  EXPECT_TRUE(list.AddOperator(user));
  EXPECT_FALSE(list.AddOperator(user));
  EXPECT_EQ(Take(op2), "$OpList user$$|");
  EXPECT_EQ(list.OpListText(), "$OpList " + bot + "$$op2$$user$$|");
  EXPECT_TRUE(list.RemoveOperator(op2));
  EXPECT_FALSE(list.RemoveOperator(op2));
  EXPECT_EQ(list.OpListText(), "$OpList " + bot + "$$user$$|");
}

TEST_F(NickListTest, AHiddenOperatorShowsOnlyToViewersAllowedToSeeIt) {
  auto watcher = std::make_shared<TProfile>();
  watcher->ProfileLevel = 9;
  watcher->SetRight(TProfileRight::MayShowHidden, paSame);
  THubSocket& plainOp = Login("plainop", users.Operator);
  THubSocket& seer = Login("seer", watcher);
  THubSocket& ghost = LoginWith("ghost", {users.Master, true});
  ASSERT_TRUE(ghost.Hidden);
  EXPECT_EQ(list.OpListText().find("ghost"), std::string_view::npos);

  for (THubSocket* viewer : {&plainOp, &seer}) {
    Take(*viewer);
    list.SendNickList(*viewer);
  }
  const std::string forOp = Take(plainOp);
  const std::string forSeer = Take(seer);
  EXPECT_EQ(Entries(Find(forOp, "$OpList ")), (TNames{settings.BotName(), "plainop"}));
  EXPECT_EQ(Entries(Find(forSeer, "$OpList ")), (TNames{settings.BotName(), "plainop", "ghost"}));
  EXPECT_EQ(Find(forOp, "$MyINFO $ALL ghost "), "");
  EXPECT_NE(Find(forSeer, "$MyINFO $ALL ghost "), "");
}

TEST_F(NickListTest, HiddenUsersComeAndGoUnseen) {
  THubSocket& plain = Login("plain");
  THubSocket& master = Login("master", users.Master);
  Take(plain);
  Take(master);
  THubSocket& ghost = LoginWith("ghost", {users.Master, true});
  EXPECT_EQ(Take(plain), "");
  EXPECT_EQ(CountOf(Take(master), "$MyINFO $ALL ghost "), 1);
  Logout(ghost);
  EXPECT_EQ(Take(plain), "");
  EXPECT_EQ(Take(master), "$Quit ghost|");
}

TEST_F(NickListTest, NoHelloClientsGetOpListAndEveryMyINFOButNoNickList) {
  Login("op", users.Operator);
  Login("user");
  THubSocket& quiet = LoginWith("quiet", {nullptr, false, true});
  list.SendNickList(quiet);
  const std::string sent = Take(quiet);
  EXPECT_EQ(CountOf(sent, "$NickList"), 0);
  EXPECT_EQ(CountOf(sent, "$OpList "), 1);
  EXPECT_EQ(CountOf(sent, "$MyINFO $ALL op "), 1);
  EXPECT_EQ(CountOf(sent, "$MyINFO $ALL user "), 1);
  EXPECT_EQ(CountOf(sent, "$MyINFO $ALL quiet "), 1);
  EXPECT_EQ(CountOf(sent, "$MyINFO $ALL " + settings.BotName() + " "), 1);

  Login("late");
  const std::string joined = Take(quiet);
  EXPECT_EQ(CountOf(joined, "$Hello"), 0);
  EXPECT_EQ(CountOf(joined, "$MyINFO $ALL late "), 1);
}

TEST_F(NickListTest, NickListHasItsPartsInOrder) {
  Login("zed", users.Operator);
  THubSocket& amy = Login("amy");
  Take(amy);
  list.SendNickList(amy);
  const auto sent = Messages(Take(amy));
  const std::string& bot = settings.BotName();
  ASSERT_EQ(sent.size(), 5u);
  EXPECT_EQ(sent[0], "$NickList " + bot + "$$amy$$zed$$");
  EXPECT_EQ(sent[1], "$OpList " + bot + "$$zed$$");
  EXPECT_EQ(sent[2] + "|", settings.BotMyINFO());
  ASSERT_NE(list.FindUser("zed"), nullptr);
  EXPECT_EQ(sent[3] + "|", list.FindUser("zed")->UserInfo().UserMyINFO.Text);
  EXPECT_EQ(sent[4] + "|", amy.UserInfo().UserMyINFO.Text);
  EXPECT_TRUE(amy.UserInfo().NickListSent);
  EXPECT_EQ(amy.UserInfo().Transfer.NickLists, 1);
}

TEST_F(NickListTest, OperatorsSeeTheOperatorVersionOfEveryone) {
  settings.DisableMyINFOEmail = TTriState::Grayed;
  THubSocket& user = Login("user");
  THubSocket& op = Login("op", users.Operator);
  EXPECT_NE(Find(Take(user), "$MyINFO $ALL op "), "");  // op's join seen by user
  list.SendNickList(op);
  const std::string forOp = Take(op);
  EXPECT_EQ(Find(forOp, "$MyINFO $ALL user ") + "|", user.UserInfo().OperatorMyINFO.Text);
  EXPECT_EQ(Find(forOp, "$MyINFO $ALL op ") + "|", op.UserInfo().OperatorMyINFO.Text);
  EXPECT_NE(Find(forOp, "$MyINFO $ALL user ").find("e-user"), std::string::npos);
}

TEST_F(NickListTest, AnnouncementCarriesHelloOpListMyINFOAndUserIP) {
  auto ipViewer = std::make_shared<TProfile>();
  ipViewer->SetRight(TProfileRight::MayAccessUserIP2, 1);
  THubSocket& watcher = Login("watcher", ipViewer);
  watcher.UserInfo().Supports.UserIP2 = true;
  THubSocket& plain = Login("plain");
  Take(watcher);
  Take(plain);
  THubSocket& op = Connect("op", {users.Operator});
  op.IP = "10.0.0.7";
  FinishLogin(op);
  EXPECT_EQ(Take(watcher), "$Hello op|$OpList op$$|" + op.UserInfo().UserMyINFO.Text +
                               "$UserIP op 10.0.0.7|");
  EXPECT_EQ(Take(plain), "$Hello op|$OpList op$$|" + op.UserInfo().UserMyINFO.Text);
  EXPECT_EQ(Take(op), "");
}

TEST_F(NickListTest, UserIPListNamesEveryOtherLiveUser) {
  THubSocket& me = Login("me");
  EXPECT_EQ(Take(me), "");
  list.SendUserIPList(me);
  EXPECT_EQ(Take(me), "");  // nobody else
  THubSocket& a = Login("a");
  a.IP = "1.2.3.4";
  THubSocket& b = Login("b");
  b.IP = "5.6.7.8";
  Login("c").LifeState = lsClosing;
  Take(me);
  list.SendUserIPList(me);
  EXPECT_EQ(Take(me), "$UserIP a 1.2.3.4$$b 5.6.7.8|");
}

TEST_F(NickListTest, OwnUserIPGoesWithTheFirstListOnlyWhenAsked) {
  settings.AutoSendOwnUserIP = true;
  THubSocket& me = Login("me");
  me.IP = "9.9.9.9";
  me.UserInfo().Supports.UserIP = true;
  list.SendNickList(me);
  EXPECT_EQ(CountOf(Take(me), "$UserIP me 9.9.9.9"), 1);
  list.SendNickList(me);
  EXPECT_EQ(CountOf(Take(me), "$UserIP"), 0);
}

TEST_F(NickListTest, GetNickListBeforeLoginIsAnsweredAtLogin) {
  Login("other");
  THubSocket& early = Connect("early", {});
  early.LoginState = 3;
  list.HandleGetNickList(early);
  EXPECT_EQ(Take(early), "");
  EXPECT_TRUE(early.UserInfo().DeferredNickList);
  FinishLogin(early);
  const std::string sent = Take(early);
  EXPECT_EQ(CountOf(sent, "$NickList "), 1);
  EXPECT_FALSE(early.UserInfo().DeferredNickList);
}

TEST_F(NickListTest, GetNickListBeforeLoginIsAnsweredAtOnceWhenTheProfileAllows) {
  auto eager = std::make_shared<TProfile>();
  eager->SetRight(TProfileRight::MayReceiveNickListBeforeMyINFO, 1);
  THubSocket& early = Connect("early", {eager});
  early.LoginState = 3;
  list.HandleGetNickList(early);
  const auto sent = Messages(Take(early));
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent[0], "$NickList " + settings.BotName() + "$$early$$");
  list.HandleGetNickList(early);  // not twice before login
  EXPECT_EQ(Take(early), "");
}

TEST_F(NickListTest, BackedUpUsersAreToldToWaitInsteadOfAnotherList) {
  THubSocket& busy = Login("busy");
  list.HandleGetNickList(busy);
  TWriteBuffer& out = busy.WriteBuffer();
  ASSERT_FALSE(out.Consume(1));  // a send that left bytes behind
  const int before = out.Length();
  list.HandleGetNickList(busy);
  const std::string tail = out.GetString().substr(static_cast<std::size_t>(before));
  EXPECT_EQ(tail, settings.BotChatPrefix() +
                      language.Text(TLanguageKey::TooBusyToRefreshNickList) + "|");
}

class RefusingGate : public TNickListHooks {
 public:
  bool FloodGate(THubSocket&, TFloodKind kind) override {
    asked = kind;
    return false;
  }
  TFloodKind asked = TFloodKind::Search;
};

TEST_F(NickListTest, TheFloodGateMayDropARequest) {
  RefusingGate gate;
  list.SetHooks(&gate);
  THubSocket& user = Login("user");
  list.HandleGetNickList(user);
  EXPECT_EQ(Take(user), "");
  EXPECT_EQ(gate.asked, TFloodKind::NickList);
  list.SetHooks(nullptr);
}

class TwoRooms : public TNickListRooms {
 public:
  void AppendNickList(const THubSocket&, TWriteBuffer& out) override { out.AppendString("#room$$"); }
  void AppendOpList(const THubSocket&, TWriteBuffer& out) override { out.AppendString("#room$$"); }
  void AppendMyINFO(const THubSocket&, TWriteBuffer& out) override {
    out.AppendString("$MyINFO $ALL #room x$ $ \x01$$0$|");
  }
};

TEST_F(NickListTest, ChatRoomsAddTheirPartsToTheList) {
  TwoRooms rooms;
  list.SetRooms(&rooms);
  THubSocket& user = Login("user");
  list.SendNickList(user);
  const std::string sent = Take(user);
  EXPECT_EQ(Entries(Find(sent, "$NickList ")), (TNames{settings.BotName(), "#room", "user"}));
  EXPECT_EQ(Entries(Find(sent, "$OpList ")), (TNames{settings.BotName(), "#room"}));
  EXPECT_EQ(CountOf(sent, "$MyINFO $ALL #room "), 1);
  list.SetRooms(nullptr);
}

}  // namespace
