#include "core/protocol_message.h"

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "nick_list_test_support.h"

namespace {

class ProtocolMessageTest : public TNickListFixture {
 public:
  ProtocolMessageTest() : messages(settings, list) { settings.SetBotName("Bot"); }
  TProtocolMessage messages;
};

struct TBuilderCase {
  const char* name;
  std::function<void(TProtocolMessage&, THubSocket&)> send;
  const char* expected;
};

class ProtocolMessageBuilders : public ::testing::TestWithParam<TBuilderCase> {};

TEST_P(ProtocolMessageBuilders, WriteExactBytes) {
  ProtocolMessageTest t;
  THubSocket& user = t.Login("joe");
  t.Take(user);
  GetParam().send(t.messages, user);
  EXPECT_EQ(t.Take(user), GetParam().expected);
  EXPECT_TRUE(user.WriteBuffer().IsMessageEnded());
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProtocolMessageBuilders,
    ::testing::Values(
        TBuilderCase{"chat", [](auto& m, auto& u) { m.SendChat(u, "hi there"); },
                     "<Bot> hi there|"},
        TBuilderCase{"chatData", [](auto& m, auto& u) { m.SendChatData(u, "x\xA7y"); },
                     "<Bot> x\xA7y|"},
        TBuilderCase{"chatAs", [](auto& m, auto& u) { m.SendChatAs("ann", u, "yo"); }, "<ann> yo|"},
        TBuilderCase{"chatDataAs", [](auto& m, auto& u) { m.SendChatDataAs("#room", u, "a b"); },
                     "<#room> a b|"},
        TBuilderCase{"pm", [](auto& m, auto& u) { m.SendPM(u, "psst"); },
                     "$To: joe From: Bot $<Bot> psst|"},
        TBuilderCase{"pmData", [](auto& m, auto& u) { m.SendPMData(u, "psst"); },
                     "$To: joe From: Bot $<Bot> psst|"},
        TBuilderCase{"pmFrom", [](auto& m, auto& u) { m.SendPMFrom("#room", u, "hey"); },
                     "$To: joe From: #room $<#room> hey|"},
        TBuilderCase{"pmDataFrom", [](auto& m, auto& u) { m.SendPMDataFrom("ann", u, "hey"); },
                     "$To: joe From: ann $<ann> hey|"},
        TBuilderCase{"botPmFrom", [](auto& m, auto& u) { m.SendBotPMFrom("#room", u, "note"); },
                     "$To: joe From: #room $<Bot> note|"},
        TBuilderCase{"forceMove", [](auto& m, auto& u) { m.ForceMove(u, "hub.example.org:411"); },
                     "$ForceMove hub.example.org:411|"},
        TBuilderCase{"forceMoveEmpty", [](auto& m, auto& u) { m.ForceMoveData(u, ""); }, ""}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ProtocolMessage, ForceMoveClosesAndCountsOnlyWhenSent) {
  ProtocolMessageTest t;
  int counted = 0;
  t.messages.SetRedirectCounter([&counted] { ++counted; });
  THubSocket& stays = t.Login("stays");
  EXPECT_FALSE(t.messages.ForceMove(stays, ""));
  EXPECT_EQ(stays.LifeState, lsInitialised);
  EXPECT_EQ(counted, 0);
  THubSocket& moved = t.Login("moved");
  EXPECT_TRUE(t.messages.ForceMove(moved, "elsewhere"));
  EXPECT_EQ(moved.LifeState, lsClosing);
  EXPECT_EQ(moved.UserInfo().Transfer.Redirects, 1);
  EXPECT_EQ(counted, 1);
}

TEST(ProtocolMessage, ChatBroadcastsReachTheirGroups) {
  ProtocolMessageTest t;
  THubSocket& user = t.Login("user");
  THubSocket& op = t.Login("op", t.users.Operator);
  t.Take(user);
  t.Take(op);
  t.messages.SendChatToAll("a");
  t.messages.SendChatToAllExcept(user, "b");
  t.messages.SendChatToNonOperators("c");
  t.messages.SendChatToOperators("d");
  EXPECT_EQ(t.Take(user), "<Bot> a|<Bot> c|");
  EXPECT_EQ(t.Take(op), "<Bot> a|<Bot> b|<Bot> d|");
}

TEST(ProtocolMessage, PrivateBroadcastsAddressEachUserByNick) {
  ProtocolMessageTest t;
  THubSocket& user = t.Login("user");
  THubSocket& op = t.Login("op", t.users.Operator);
  THubSocket& closing = t.Login("closing");
  closing.LifeState = lsClosing;
  for (THubSocket* u : {&user, &op, &closing}) t.Take(*u);
  t.messages.SendPMToAll("all");
  t.messages.SendPMToOperators("ops");
  EXPECT_EQ(t.Take(user), "$To: user From: Bot $<Bot> all|");
  EXPECT_EQ(t.Take(op), "$To: op From: Bot $<Bot> all|$To: op From: Bot $<Bot> ops|");
  EXPECT_EQ(t.Take(closing), "");
}

TEST(ProtocolMessage, ProfileMessagesGoToHoldersOfThatVeryProfile) {
  ProtocolMessageTest t;
  auto twin = std::make_shared<TProfile>(*t.users.Operator);  // same name and rights
  THubSocket& op = t.Login("op", t.users.Operator);
  THubSocket& lookalike = t.Login("lookalike", twin);
  t.Take(op);
  t.Take(lookalike);
  t.messages.SendPMToProfile(*t.users.Operator, "yours");
  EXPECT_EQ(t.Take(op), "$To: op From: Bot $<Bot> yours|");
  EXPECT_EQ(t.Take(lookalike), "");
}

}  // namespace
