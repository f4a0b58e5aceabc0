#include "core/myinfo_handler.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "core/protocol_message.h"
#include "nick_list_test_support.h"
#include "security/tmp_ban_list.h"

namespace {

// Records what the handler asks of the other subsystems.
class TRecordingHooks : public TMyINFOHooks {
 public:
  bool FloodGate(THubSocket&, TFloodKind kind) override {
    lastKind = kind;
    return floodPasses;
  }
  bool CheckClientBan(THubSocket& user) override {
    clientSeen = user.UserInfo().ClientName + " " + user.UserInfo().ClientVersion;
    return clientBanned;
  }
  void TotalShareChanged(std::int64_t delta) override { totalShare += delta; }
  void MyINFOLengthChanged(std::int64_t delta) override { myINFOLength += delta; }
  void MyINFOBroadcast() override { ++broadcasts; }

  bool floodPasses = true;
  bool clientBanned = false;
  TFloodKind lastKind = TFloodKind::Search;
  std::string clientSeen;
  std::int64_t totalShare = 0;
  std::int64_t myINFOLength = 0;
  int broadcasts = 0;
};

class MyINFOFixture : public TNickListFixture {
 public:
  MyINFOFixture()
      : messages(settings, list),
        tmpBans(settings, language, [this] { return now; }),
        handler(settings, language, list, messages, tmpBans, [this] { return now; }) {
    settings.SetBotName("Bot");
    settings.MyINFOPooling.State = TTriState::Unchecked;
    handler.SetHooks(&hooks);
  }

  static std::string MyINFO(std::string_view nick, std::string_view tag = "",
                            std::int64_t share = 0, std::string_view description = "desc") {
    return "$MyINFO $ALL " + std::string(nick) + " " + std::string(description) + std::string(tag) +
           "$ $LAN\x01$mail$" + std::to_string(share) + "$|";
  }

  std::uint64_t now = 5000;
  TProtocolMessage messages;
  TTmpBanList tmpBans;
  TMyINFOProcessor handler;
  TRecordingHooks hooks;
};

constexpr std::int64_t kGiB = 1024LL * 1024 * 1024;

// --- checks before parsing ---------------------------------------------------

TEST(MyINFOHandlerChecks, FloodGateDropsWithoutChange) {
  MyINFOFixture t;
  THubSocket& user = t.Login("joe");
  t.Take(user);
  t.hooks.floodPasses = false;
  EXPECT_EQ(t.handler.HandleMyINFO(user, t.MyINFO("joe", "", 5)), TMyINFOResult::Dropped);
  EXPECT_EQ(t.hooks.lastKind, TFloodKind::MyINFO);
  EXPECT_EQ(user.LifeState, lsInitialised);
  EXPECT_EQ(user.UserInfo().RealShare, 0);
}

TEST(MyINFOHandlerChecks, LengthBoundsCloseTheUser) {
  MyINFOFixture t;
  THubSocket& shortUser = t.Login("joe");
  t.Take(shortUser);
  // "$MyINFO $ALL joe $ $\x01$$0$|" is the shortest form: 3 + 23 bytes.
  EXPECT_EQ(t.handler.HandleMyINFO(shortUser, "$MyINFO $ALL joe $ $\x01$$$|"),
            TMyINFOResult::Unhandled);
  EXPECT_EQ(shortUser.LifeState, lsClosing);
  EXPECT_EQ(t.Take(shortUser), "");

  THubSocket& fits = t.Login("ann");
  EXPECT_EQ(t.handler.HandleMyINFO(fits, "$MyINFO $ALL ann $ $\x01$$0$|"), TMyINFOResult::Accepted);

  t.settings.MyINFOMaxLength = {true, 40};
  THubSocket& longUser = t.Login("bob");
  t.Take(longUser);
  const std::string atLimit = t.MyINFO("bob", "", 0, std::string(7, 'x'));
  ASSERT_EQ(atLimit.size(), 40u);
  EXPECT_EQ(t.handler.HandleMyINFO(longUser, atLimit), TMyINFOResult::Refused);
  EXPECT_EQ(t.Take(longUser),
            "<Bot> The MyINFO line supplied by your client is longer than allowed, shorten your "
            "description or change client|");
  EXPECT_EQ(longUser.LifeState, lsClosing);
}

TEST(MyINFOHandlerChecks, AnotherNickIsBannedAndKicked) {
  for (const bool notify : {true, false}) {
    MyINFOFixture t;
    t.settings.NotificationInvalidMyINFO = notify;
    THubSocket& user = t.Login("joe");
    user.IP = "10.0.0.7";
    t.Take(user);
    EXPECT_EQ(t.handler.HandleMyINFO(user, t.MyINFO("Joe")), TMyINFOResult::Refused);
    EXPECT_EQ(t.Take(user),
              notify ? "<Bot> Your direct connect client has supplied an invalid MyINFO|" : "");
    EXPECT_EQ(user.LifeState, lsClosing);
    EXPECT_EQ(user.UserInfo().KickCount, 1);
    const TTmpBan* ban = t.tmpBans.FindNick("joe");
    ASSERT_NE(ban, nullptr);
    EXPECT_EQ(ban->IP, "10.0.0.7");
    EXPECT_EQ(ban->Reason, "Your direct connect client has sent an invalid protocol message");
  }
}

TEST(MyINFOHandlerChecks, MalformedClosesSilentlyAndKeepsOldData) {
  MyINFOFixture t;
  THubSocket& user = t.Login("joe");
  ASSERT_EQ(t.handler.HandleMyINFO(user, t.MyINFO("joe", "", 100)), TMyINFOResult::Accepted);
  t.Take(user);
  EXPECT_EQ(t.handler.HandleMyINFO(user, "$MyINFO $ALL joe x$ $L\x01$$12345678901234567890$|"),
            TMyINFOResult::Refused);
  EXPECT_EQ(t.Take(user), "");
  EXPECT_EQ(user.LifeState, lsClosing);
  EXPECT_EQ(user.UserInfo().RealShare, 100);
  EXPECT_EQ(t.hooks.totalShare, 100);
}

TEST(MyINFOHandlerChecks, ClientBanRedirectsOnlyWithAnAddress) {
  for (const char* addresses : {"", "bans.example.org:411"}) {
    MyINFOFixture t;
    t.settings.RedirectOnBans.Enabled = true;
    t.settings.RedirectOnBans.SetAddresses(addresses);
    t.hooks.clientBanned = true;
    THubSocket& user = t.Login("joe");
    t.Take(user);
    EXPECT_EQ(t.handler.HandleMyINFO(user, t.MyINFO("joe", "<++ V:0.674,M:A,H:1/0/0,S:3>", 7)),
              TMyINFOResult::Refused);
    EXPECT_EQ(t.hooks.clientSeen, "DC++ 0.674");
    EXPECT_EQ(t.Take(user), *addresses ? "$ForceMove bans.example.org:411|" : "");
    EXPECT_EQ(user.LifeState, lsClosing);
    EXPECT_EQ(t.hooks.totalShare, 0);  // a banned client never counts
  }
}

// --- the connection restriction ---------------------------------------------

struct TRestrictionCase {
  const char* name;
  std::function<void(TConnRestriction&)> limit;
  const char* tag;
  std::int64_t share;
  TRedirectItem TSettings::*redirect;
  const char* refusal;  // nullptr: accepted
};

class MyINFORestriction : public ::testing::TestWithParam<TRestrictionCase> {};

TEST_P(MyINFORestriction, RefusesWithTextAndRedirect) {
  const TRestrictionCase& c = GetParam();
  for (const bool redirect : {false, true}) {
    MyINFOFixture t;
    (t.settings.*c.redirect).Enabled = redirect;
    (t.settings.*c.redirect).SetAddresses("other.example.org:411");
    THubSocket& user = t.Login("joe");
    c.limit(user.Restriction);
    t.Take(user);
    const TMyINFOResult result = t.handler.HandleMyINFO(user, t.MyINFO("joe", c.tag, c.share));
    if (c.refusal == nullptr) {
      EXPECT_EQ(result, TMyINFOResult::Accepted);
      EXPECT_EQ(user.LifeState, lsInitialised);
      EXPECT_EQ(t.hooks.totalShare, c.share);
      continue;
    }
    EXPECT_EQ(result, TMyINFOResult::Refused);
    const std::string expected = std::string("<Bot> ") + c.refusal + "|" +
                                 (redirect ? "$ForceMove other.example.org:411|" : "");
    EXPECT_EQ(t.Take(user), expected) << (redirect ? "with redirect" : "without redirect");
    EXPECT_EQ(user.LifeState, lsClosing);
    EXPECT_EQ(t.hooks.totalShare, 0);
    EXPECT_EQ(user.UserInfo().RealShare, 0);
  }
}

const char* const kActive = "<++ V:0.674,M:A,H:2/1/1,S:3>";  // 4 hubs, 3 slots

INSTANTIATE_TEST_SUITE_P(
    Table, MyINFORestriction,
    ::testing::Values(
        TRestrictionCase{"minShare",
                         [](auto& r) {
                           r.MinShareEnabled = true;
                           r.MinShare = kGiB;
                         },
                         kActive, 1024 * 1024, &TSettings::RedirectOnLowShare,
                         "You're not sharing enough, your sharesize is 1.00 MiB and the minimum "
                         "allowed is 1.00 GiB"},
        TRestrictionCase{"minShareMet",
                         [](auto& r) {
                           r.MinShareEnabled = true;
                           r.MinShare = kGiB;
                         },
                         kActive, kGiB, &TSettings::RedirectOnLowShare, nullptr},
        TRestrictionCase{"maxShare",
                         [](auto& r) {
                           r.MaxShareEnabled = true;
                           r.MaxShare = kGiB;
                         },
                         kActive, 2 * kGiB, &TSettings::RedirectOnHighShare,
                         "You're sharing too much, your sharesize is 2.00 GiB and the maximum "
                         "allowed is 1.00 GiB"},
        TRestrictionCase{"maxHubs",
                         [](auto& r) {
                           r.MaxHubsEnabled = true;
                           r.MaxHubs = 3;
                         },
                         kActive, 0, &TSettings::RedirectOnHighHubs,
                         "You're currently connected to too many hubs, you're on 4 hubs and the "
                         "current limit is: 3"},
        TRestrictionCase{"maxHubsMet",
                         [](auto& r) {
                           r.MaxHubsEnabled = true;
                           r.MaxHubs = 4;
                         },
                         kActive, 0, &TSettings::RedirectOnHighHubs, nullptr},
        TRestrictionCase{"minSlots",
                         [](auto& r) {
                           r.MinSlotsEnabled = true;
                           r.MinSlots = 5;
                         },
                         kActive, 0, &TSettings::RedirectOnLowSlots,
                         "You havn't got enough slots open, you've got 3 and the minimum allowed "
                         "is: 5"},
        TRestrictionCase{"maxSlots",
                         [](auto& r) {
                           r.MaxSlotsEnabled = true;
                           r.MaxSlots = 2;
                         },
                         kActive, 0, &TSettings::RedirectOnHighSlots,
                         "You've got too many slots open, you've got 3 and the maximum allowed "
                         "is: 2"},
        TRestrictionCase{"slotRatio",
                         [](auto& r) {
                           r.SlotRatioEnabled = true;
                           r.SlotRatio = 1;
                         },
                         "<++ V:1,M:A,H:2/0/0,S:1>", 0, &TSettings::RedirectOnLowSlotRatio,
                         "Your slot ratio is currently too low, your ratio is 0.5 slots/hub and "
                         "the minimum allowed is: 1 slots/hub"},
        TRestrictionCase{"slotRatioWhole",
                         [](auto& r) {
                           r.SlotRatioEnabled = true;
                           r.SlotRatio = 2;
                         },
                         "<++ V:1,M:A,H:3/0/0,S:5>", 0, &TSettings::RedirectOnLowSlotRatio,
                         "Your slot ratio is currently too low, your ratio is 1.67 slots/hub and "
                         "the minimum allowed is: 2 slots/hub"},
        TRestrictionCase{"slotRatioMet",
                         [](auto& r) {
                           r.SlotRatioEnabled = true;
                           r.SlotRatio = 2;
                         },
                         "<++ V:1,M:A,H:2/0/0,S:5>", 0, &TSettings::RedirectOnLowSlotRatio,
                         nullptr},
        TRestrictionCase{"slotRatioNoHubs",
                         [](auto& r) {
                           r.SlotRatioEnabled = true;
                           r.SlotRatio = 2;
                         },
                         "<++ V:1,M:A,H:0/0/0,S:1>", 0, &TSettings::RedirectOnLowSlotRatio,
                         nullptr},
        TRestrictionCase{"passive", [](auto& r) { r.MayBeInPassiveMode = false; },
                         "<++ V:1,M:P,H:1/0/0,S:3>", 0, &TSettings::RedirectOnPassiveMode,
                         "You've connected in passive mode, currently this isn't allowed"},
        TRestrictionCase{"activeWhilePassiveBarred", [](auto& r) { r.MayBeInPassiveMode = false; },
                         kActive, 0, &TSettings::RedirectOnPassiveMode, nullptr},
        TRestrictionCase{"noTag",
                         [](auto& r) {
                           r.MinSlotsEnabled = true;
                           r.MinSlots = 1;
                         },
                         "", 0, &TSettings::RedirectOnNoTag,
                         "Your client didn't supply a description tag, currently this isn't "
                         "allowed"},
        TRestrictionCase{"noTagBypass",
                         [](auto& r) {
                           r.MinSlotsEnabled = true;
                           r.MinSlots = 1;
                           r.AllowTagLessToByPass = true;
                         },
                         "", 0, &TSettings::RedirectOnNoTag, nullptr},
        TRestrictionCase{"noTagWithShareLimitsOnly",
                         [](auto& r) {
                           r.MinShareEnabled = true;
                           r.MinShare = 1;
                         },
                         "", 5, &TSettings::RedirectOnNoTag, nullptr}),
    [](const auto& row) { return std::string(row.param.name); });

// --- storing, share totals and the rebuilt copies ---------------------------

TEST(MyINFOHandlerStore, FirstMyINFOStoresWithoutBroadcast) {
  MyINFOFixture t;
  THubSocket& other = t.Login("ann");
  t.Take(other);
  THubSocket& user = t.Connect("joe", {});  // state 4 in the fixture; the handler sees state 3
  user.LoginState = 3;
  EXPECT_EQ(t.handler.HandleMyINFO(
                user, "$MyINFO $ALL joe <ncdc V:1.23.1,M:P,H:2/0/0,S:10>$ $0.005\x01$$1234$|"),
            TMyINFOResult::Accepted);
  const TUserInfo& info = user.UserInfo();
  EXPECT_EQ(info.ClientName, "ncdc");
  EXPECT_TRUE(info.ClientKnown);
  EXPECT_EQ(info.ClientVersion, "1.23.1");
  EXPECT_EQ(info.Slots, 10);
  EXPECT_EQ(info.Hubs, 2);
  EXPECT_TRUE(user.Passive);
  EXPECT_EQ(info.RealShare, 1234);
  EXPECT_EQ(info.UserMyINFO.Text,
            "$MyINFO $ALL joe <ncdc V:1.23.1,M:P,H:2/0/0,S:10>$ $0.005\x01$$1234$|");
  EXPECT_EQ(t.Take(other), "");
  EXPECT_EQ(t.Take(user), "");
  EXPECT_EQ(t.hooks.totalShare, 0);  // the login adds it when the user is listed
  EXPECT_EQ(t.hooks.broadcasts, 0);
}

TEST(MyINFOHandlerStore, UpdatesCorrectTheTotalShareAndModes) {
  MyINFOFixture t;
  THubSocket& user = t.Login("joe");
  t.handler.HandleMyINFO(user, t.MyINFO("joe", "<++ V:1,M:P,H:1/0/0,S:3>", 3 * kGiB));
  EXPECT_TRUE(user.Passive);
  t.handler.HandleMyINFO(user, t.MyINFO("joe", "<++ V:1,M:A,H:1/0/0,S:3>", kGiB));
  EXPECT_FALSE(user.Passive);
  EXPECT_EQ(t.hooks.totalShare, kGiB);
  t.handler.HandleMyINFO(user, t.MyINFO("joe", "", kGiB));
  const TUserInfo& info = user.UserInfo();
  EXPECT_FALSE(info.TagPresent);
  EXPECT_EQ(info.Tag, "");
  EXPECT_EQ(info.ClientName, "Unknown");
  EXPECT_FALSE(info.ClientKnown);
  EXPECT_EQ(info.Slots, 0);
}

// A rebound profile may hide or show the share of a listed user; his next
// "$MyINFO" moves the total by what others see, so it stays what his
// departure takes away.
TEST(MyINFOHandlerStore, TheTotalFollowsTheShownShareAfterARebind) {
  MyINFOFixture t;
  THubSocket& user = t.Login("joe");
  t.handler.HandleMyINFO(user, t.MyINFO("joe", "", 3 * kGiB));
  EXPECT_EQ(t.hooks.totalShare, 3 * kGiB);
  user.HidesShare = true;  // as a rebind leaves it
  t.handler.HandleMyINFO(user, t.MyINFO("joe", "", 3 * kGiB));
  EXPECT_EQ(t.hooks.totalShare, user.UserInfo().Share);
  EXPECT_EQ(t.hooks.totalShare, 0);
  user.HidesShare = false;
  t.handler.HandleMyINFO(user, t.MyINFO("joe", "", 3 * kGiB));
  EXPECT_EQ(t.hooks.totalShare, 3 * kGiB);
  EXPECT_EQ(t.hooks.totalShare, user.UserInfo().Share);
}

struct TCopyCase {
  const char* name;
  TTriState email;
  bool hidesShare;
  const char* sent;
  const char* forUsers;
  const char* forOperators;
};

class MyINFOCopies : public ::testing::TestWithParam<TCopyCase> {};

TEST_P(MyINFOCopies, ExactBytes) {
  const TCopyCase& c = GetParam();
  MyINFOFixture t;
  t.settings.DisableMyINFOEmail = c.email;
  THubSocket& user = t.Login("eisk1");
  user.HidesShare = c.hidesShare;
  ASSERT_EQ(t.handler.HandleMyINFO(user, c.sent), TMyINFOResult::Accepted);
  EXPECT_EQ(user.UserInfo().UserMyINFO.Text, c.forUsers);
  EXPECT_EQ(user.UserInfo().OperatorMyINFO.Text, c.forOperators);
  EXPECT_EQ(t.hooks.totalShare, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MyINFOCopies,
    ::testing::Values(
        TCopyCase{"eiskalt", TTriState::Unchecked, false,
                  "$MyINFO $ALL eisk1 bench client <EiskaltDC++ V:2.4.2,M:A,H:2/0/0,S:3>$ "
                  "$20\x01$$0$|",
                  "$MyINFO $ALL eisk1 bench client <EiskaltDC++ V:2.4.2,M:A,H:2/0/0,S:3>$ "
                  "$20\x01$$0$|",
                  "$MyINFO $ALL eisk1 bench client <EiskaltDC++ V:2.4.2,M:A,H:2/0/0,S:3>$ "
                  "$20\x01$$0$|"},
        TCopyCase{"emailForOperators", TTriState::Grayed, false,
                  "$MyINFO $ALL eisk1 d$ $20\x01$e@x$0$|", "$MyINFO $ALL eisk1 d$ $20\x01$$0$|",
                  "$MyINFO $ALL eisk1 d$ $20\x01$e@x$0$|"},
        TCopyCase{"hiddenShare", TTriState::Unchecked, true,
                  "$MyINFO $ALL eisk1 d$ $20\x01$e@x$987654321$|",
                  "$MyINFO $ALL eisk1 d$ $20\x01$e@x$0$|",
                  "$MyINFO $ALL eisk1 d$ $20\x01$e@x$0$|"}),
    [](const auto& row) { return std::string(row.param.name); });

// --- delivery ---------------------------------------------------------------

class MyINFODelivery : public MyINFOFixture {
 public:
  MyINFODelivery() : sender(Login("joe")), peer(Login("ann")), op(Login("op", users.Operator)) {
    settings.MyINFOPooling = {TTriState::Checked, 1000};
    TakeAll();
  }
  void TakeAll() {
    for (auto& user : online) Take(*user);
  }
  void Change(std::string_view description) {
    ASSERT_EQ(handler.HandleMyINFO(sender, MyINFO("joe", "", 0, description)),
              TMyINFOResult::Accepted);
  }
  std::string UserText() const { return sender.UserInfo().UserMyINFO.Text; }
  std::string OperatorText() const { return sender.UserInfo().OperatorMyINFO.Text; }

  THubSocket& sender;
  THubSocket& peer;
  THubSocket& op;
};

TEST(MyINFOHandlerDelivery, ImmediateReachesEveryoneAtOnce) {
  MyINFODelivery t;
  t.settings.MyINFOPooling.State = TTriState::Unchecked;
  t.settings.DisableMyINFOEmail = TTriState::Grayed;
  t.Change("new");
  EXPECT_EQ(t.Take(t.sender), t.UserText());
  EXPECT_EQ(t.Take(t.peer), t.UserText());
  EXPECT_EQ(t.Take(t.op), t.OperatorText());
  EXPECT_NE(t.UserText(), t.OperatorText());
  EXPECT_EQ(t.sender.UserInfo().UserMyINFO.PendingSince, 0u);
  EXPECT_EQ(t.hooks.broadcasts, 2);
  EXPECT_EQ(t.sender.UserInfo().Transfer.MyINFOs, 2);

  t.Change("new");  // the same text again: nothing to send
  EXPECT_EQ(t.Take(t.peer), "");
  EXPECT_EQ(t.hooks.broadcasts, 2);
}

TEST(MyINFOHandlerDelivery, PooledReachesOthersAfterTheInterval) {
  MyINFODelivery t;
  t.Change("first");
  t.now += 400;
  t.Change("second");  // pending since the first change; the newest text goes
  EXPECT_EQ(t.Take(t.sender), t.MyINFO("joe", "", 0, "first") + t.MyINFO("joe", "", 0, "second"));
  EXPECT_EQ(t.Take(t.peer), "");
  EXPECT_EQ(t.Take(t.op), "");

  t.now += 599;
  t.handler.DeliverPooled(t.sender);
  EXPECT_EQ(t.Take(t.peer), "");
  t.now += 1;
  t.handler.DeliverPooled(t.sender);
  EXPECT_EQ(t.Take(t.peer), t.UserText());
  EXPECT_EQ(t.Take(t.op), t.OperatorText());
  EXPECT_EQ(t.Take(t.sender), "");
  EXPECT_EQ(t.sender.UserInfo().UserMyINFO.PendingSince, 0u);
  t.handler.DeliverPooled(t.sender);
  EXPECT_EQ(t.Take(t.peer), "");
}

TEST(MyINFOHandlerDelivery, PooledSkipsViewersWithANewerNickList) {
  MyINFODelivery t;
  t.Change("changed");
  t.now += 10;
  t.peer.NickListStamp = t.now;  // its nick list already held the new text
  t.now += 1000;
  t.handler.DeliverPooled(t.sender);
  EXPECT_EQ(t.Take(t.peer), "");
  EXPECT_EQ(t.Take(t.op), t.OperatorText());
}

TEST(MyINFOHandlerDelivery, GrayedPoolsOnlyTheUserVersion) {
  MyINFODelivery t;
  t.settings.MyINFOPooling.State = TTriState::Grayed;
  t.Change("changed");
  EXPECT_EQ(t.Take(t.peer), "");
  EXPECT_EQ(t.Take(t.op), t.OperatorText());
  EXPECT_NE(t.sender.UserInfo().UserMyINFO.PendingSince, 0u);
  EXPECT_EQ(t.sender.UserInfo().OperatorMyINFO.PendingSince, 0u);
}

TEST(MyINFOHandlerDelivery, OperatorSeesItsOwnOperatorTextAtOnce) {
  MyINFODelivery t;
  ASSERT_EQ(t.handler.HandleMyINFO(t.op, t.MyINFO("op", "", 0, "mine")), TMyINFOResult::Accepted);
  EXPECT_EQ(t.Take(t.op), t.op.UserInfo().OperatorMyINFO.Text);
  EXPECT_EQ(t.Take(t.peer), "");
  t.now += 1000;
  t.handler.DeliverPooled(t.op);
  EXPECT_EQ(t.Take(t.peer), t.op.UserInfo().UserMyINFO.Text);
  EXPECT_EQ(t.Take(t.op), "");
}

TEST(MyINFOHandlerDelivery, HiddenUserReachesOnlyThoseWhoMaySeeIt) {
  MyINFOFixture t;
  t.settings.MyINFOPooling.State = TTriState::Unchecked;
  THubSocket& hidden = t.LoginWith("ghost", {.profile = t.users.Master, .hidden = true});
  THubSocket& peer = t.Login("ann");
  THubSocket& master = t.Login("boss", t.users.Master);
  for (auto& user : t.online) t.Take(*user);
  ASSERT_EQ(t.handler.HandleMyINFO(hidden, t.MyINFO("ghost", "", 0, "boo")),
            TMyINFOResult::Accepted);
  EXPECT_EQ(t.Take(peer), "");
  EXPECT_EQ(t.Take(master), hidden.UserInfo().OperatorMyINFO.Text);
  EXPECT_EQ(t.Take(hidden), hidden.UserInfo().OperatorMyINFO.Text);
}

TEST(MyINFOHandlerDelivery, LengthStatisticFollowsTheUserText) {
  MyINFODelivery t;
  const auto before = static_cast<std::int64_t>(t.UserText().size());
  t.Change("a much longer description");
  EXPECT_EQ(t.hooks.myINFOLength, static_cast<std::int64_t>(t.UserText().size()) - before);
}

}  // namespace
