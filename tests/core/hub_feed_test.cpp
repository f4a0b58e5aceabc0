#include "core/hub_feed.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/hub_stats.h"
#include "nick_list_test_support.h"
#include "platform/file_io.h"
#include "support/temp_folder.h"

namespace {

TDateTime At(int year, int month, int day, int hour, int minute, int second) {
  TDateTime value;
  EXPECT_TRUE(TryEncodeDateTime({year, month, day, hour, minute, second}, value));
  return value;
}

std::shared_ptr<TProfile> ProfileWith(std::initializer_list<TProfileRight> rights) {
  auto profile = std::make_shared<TProfile>();
  profile->Name = "feed";
  for (TProfileRight right : rights) profile->SetRight(right, 1);
  return profile;
}

const std::initializer_list<TProfileRight> kAllFeedRights{
    TProfileRight::MayReceiveActionFeed, TProfileRight::MayReceiveKickFeed,
    TProfileRight::MayReceiveEventFeed,  TProfileRight::MayReceiveErrorFeed,
    TProfileRight::MayReceiveGUIFeed,    TProfileRight::MayReceiveTextCommandFeed};

// A feed room with the members a test gives it.
class TFakeRoom : public TFeedRoom {
 public:
  std::string_view Name() const override { return name; }
  int MemberCount() const override { return static_cast<int>(members.size()); }
  THubSocket* Member(int index) const override { return members[static_cast<std::size_t>(index)]; }

  std::string name = "FeedRoom";
  std::vector<THubSocket*> members;
};

class TRecordingView : public TFeedView {
 public:
  void ShowFeedLine(TFeedKind kind, std::string_view text) override {
    lines.push_back(std::to_string(static_cast<int>(kind)) + ":" + std::string(text));
    if (fail) throw std::runtime_error("window gone");
  }
  std::vector<std::string> lines;
  bool fail = false;
};

class HubFeedTest : public ::testing::Test, public TNickListFixture {
 protected:
  HubFeedTest() : feed(settings, language, list, stats, home.File("feed")) {
    feed.SetClock([this] { return now; });
  }

  THubSocket& FeedUser(std::string_view nick, std::shared_ptr<TProfile> profile,
                       bool supportsFeed = true) {
    THubSocket& user = Login(nick, std::move(profile));
    user.UserInfo().Supports.Feed = supportsFeed;
    return user;
  }

  // Drops the arrival announcements the logins queued.
  void TakeAll() {
    for (auto& user : online) Take(*user);
  }

  std::string FileText(TDateTime day) {
    std::string text;
    ReadFileBytes(feed.FeedFileName(day), text);
    return text;
  }

  TTempFolder home;
  TStats stats{"127.0.0.1"};
  TDateTime now = At(2024, 3, 7, 9, 5, 3);
  THubFeed feed;
};

struct TKindCase {
  TFeedKind kind;
  TProfileRight right;
  void (THubFeed::*post)(std::string_view) noexcept;
  std::string_view wire;  // the "$Feed" message for text "x"
  std::int64_t TStats::*counter;
};

const TKindCase kKindCases[] = {
    {TFeedKind::Action, TProfileRight::MayReceiveActionFeed, &THubFeed::PostAction,
     "$Feed Action x|", &TStats::ActionFeed},
    {TFeedKind::Kick, TProfileRight::MayReceiveKickFeed, &THubFeed::PostKick, "$Feed Kick x|",
     &TStats::KickFeed},
    {TFeedKind::Event, TProfileRight::MayReceiveEventFeed, &THubFeed::PostEvent,
     "$Feed Event x|", &TStats::EventFeed},
    {TFeedKind::Error, TProfileRight::MayReceiveErrorFeed, &THubFeed::PostError,
     "$Feed Error x|", &TStats::ErrorFeed},
    {TFeedKind::GUI, TProfileRight::MayReceiveGUIFeed, &THubFeed::PostGUI, "$Feed GUI x|",
     &TStats::GUIFeed},
};

TEST_F(HubFeedTest, EachKindReachesOnlyUsersWithItsRightAndTheFeedExtension) {
  for (const TKindCase& row : kKindCases) {
    SCOPED_TRACE(static_cast<int>(row.kind));
    auto allButThis = std::make_shared<TProfile>();
    for (TProfileRight right : kAllFeedRights)
      if (right != row.right) allButThis->SetRight(right, 1);

    const std::string tag = std::to_string(static_cast<int>(row.kind));
    THubSocket& entitled = FeedUser("yes" + tag, ProfileWith({row.right}));
    THubSocket& lacking = FeedUser("no" + tag, allButThis);
    THubSocket& noExtension = FeedUser("old" + tag, ProfileWith(kAllFeedRights), false);

    const std::int64_t before = stats.*row.counter;
    TakeAll();
    (feed.*row.post)("x");
    EXPECT_EQ(Take(entitled), row.wire);
    EXPECT_EQ(Take(lacking), "");
    EXPECT_EQ(Take(noExtension), "");
    EXPECT_EQ(stats.*row.counter, before + 1);
    Logout(entitled);
    Logout(lacking);
    Logout(noExtension);
  }
}

TEST_F(HubFeedTest, AUserWithoutTheKickRightStillGetsActionLines) {
  THubSocket& op = FeedUser("op", ProfileWith({TProfileRight::MayReceiveActionFeed}));
  TakeAll();
  feed.PostKick("bob was kicked");
  feed.PostAction("bob was warned");
  EXPECT_EQ(Take(op), "$Feed Action bob was warned|");
}

TEST_F(HubFeedTest, TextCommandOutputAndUnknownKindsNeedTheTextCommandRight) {
  THubSocket& reader = FeedUser("reader", ProfileWith({TProfileRight::MayReceiveTextCommandFeed}));
  THubSocket& other = FeedUser("other", ProfileWith({TProfileRight::MayReceiveActionFeed}));
  TakeAll();
  feed.Broadcast("rules", TFeedKind::TextCommand);
  feed.Broadcast("odd", static_cast<TFeedKind>(9));
  EXPECT_EQ(Take(reader), "$Feed rules|$Feed odd|");
  EXPECT_EQ(Take(other), "");
  EXPECT_EQ(stats.Protocol.Feed, 2);
}

TEST_F(HubFeedTest, RoomMembersWithTheExtensionGetOnlyTheFeedCopy) {
  TFakeRoom room;
  THubSocket& modern = FeedUser("modern", ProfileWith(kAllFeedRights));
  THubSocket& classic = FeedUser("classic", ProfileWith(kAllFeedRights), false);
  THubSocket& barred = FeedUser("barred", ProfileWith({}), false);
  room.members = {&modern, &classic, &barred};
  feed.SetRoom(&room);

  TakeAll();
  feed.PostAction("x");
  feed.Broadcast("y", TFeedKind::TextCommand);
  EXPECT_EQ(Take(modern), "$Feed Action x|$Feed y|");
  EXPECT_EQ(Take(classic),
            "$To: classic From: FeedRoom $<FeedRoom> [action] x|"
            "$To: classic From: FeedRoom $<FeedRoom>  y|");
  EXPECT_EQ(Take(barred), "");

  feed.SetRoom(nullptr);
  feed.PostAction("z");
  EXPECT_EQ(Take(classic), "");
}

TEST_F(HubFeedTest, BarsAreEscapedOnTheWireAndKeptRawInTheFile) {
  settings.SaveFeedToDisk = true;
  TFakeRoom room;
  THubSocket& modern = FeedUser("modern", ProfileWith(kAllFeedRights));
  THubSocket& classic = FeedUser("classic", ProfileWith(kAllFeedRights), false);
  room.members = {&classic};
  feed.SetRoom(&room);

  const std::string hostile = "a|$ForceMove evil.example|$b &#124;";
  TakeAll();
  feed.PostError(hostile);
  const std::string toModern = Take(modern);
  const std::string toClassic = Take(classic);
  EXPECT_EQ(toModern, "$Feed Error a&#124;$ForceMove evil.example&#124;$b &#124;|");
  EXPECT_EQ(Messages(toModern).size(), 1u);
  EXPECT_EQ(Messages(toClassic).size(), 1u);
  EXPECT_EQ(toClassic.rfind("$To: classic From: FeedRoom $<FeedRoom> [error] a&#124;", 0), 0u);
  EXPECT_EQ(FileText(now), "[2024-03-07 09:05:03] [error] " + hostile + "\r\n");
}

TEST_F(HubFeedTest, FileLinesFollowTheSettingAndTheLanguageWords) {
  TakeAll();
  feed.PostEvent("off");
  EXPECT_FALSE(FileExists(feed.FeedFileName(now)));

  settings.SaveFeedToDisk = true;
  language.SetText(TLanguageKey::KickFeed, "[KICK]");
  feed.PostEvent("Hub started");
  feed.PostKick("bob");
  EXPECT_EQ(feed.FeedFileName(now), home.File("feed") + "/feed_20240307.txt");
  EXPECT_EQ(FileText(now),
            "[2024-03-07 09:05:03] [event] Hub started\r\n"
            "[2024-03-07 09:05:03] [KICK] bob\r\n");
}

TEST_F(HubFeedTest, PostsEitherSideOfMidnightGoToTwoFiles) {
  settings.SaveFeedToDisk = true;
  const TDateTime before = At(2023, 12, 31, 23, 59, 59);
  const TDateTime after = At(2024, 1, 1, 0, 0, 0);
  now = before;
  TakeAll();
  feed.PostAction("old year");
  now = after;
  feed.PostAction("new year");
  EXPECT_EQ(FileText(before), "[2023-12-31 23:59:59] [action] old year\r\n");
  EXPECT_EQ(FileText(after), "[2024-01-01 00:00:00] [action] new year\r\n");
  EXPECT_NE(feed.FeedFileName(before), feed.FeedFileName(after));
}

TEST_F(HubFeedTest, WhileTerminatingPostsGoToTheFileAndSinkOnly) {
  settings.SaveFeedToDisk = true;
  TRecordingView view;
  std::vector<std::string> printed;
  feed.SetView(&view);
  feed.SetSink([&](std::string_view line) { printed.emplace_back(line); });
  THubSocket& op = FeedUser("op", ProfileWith(kAllFeedRights));

  TakeAll();
  feed.SetTerminating(true);
  feed.PostError("late");
  EXPECT_EQ(Take(op), "");
  EXPECT_TRUE(view.lines.empty());
  EXPECT_EQ(stats.Errors, 1);
  EXPECT_EQ(stats.ErrorFeed, 0);
  EXPECT_EQ(FileText(now), "[2024-03-07 09:05:03] [error] late\r\n");
  EXPECT_EQ(printed, std::vector<std::string>{"[2024-03-07 09:05:03] [error] late"});

  feed.SetTerminating(false);
  feed.PostError("live");
  EXPECT_EQ(Take(op), "$Feed Error live|");
  EXPECT_EQ(view.lines, std::vector<std::string>{"3:live"});
  EXPECT_EQ(stats.Errors, 2);
  EXPECT_EQ(stats.ErrorFeed, 1);
}

TEST_F(HubFeedTest, NoFailingPlaceStopsTheOthersOrReachesTheCaller) {
  TTempFolder other;
  std::string blocker = other.File("not-a-folder");
  ASSERT_TRUE(WriteFileAtomic(blocker, "x"));
  THubFeed blocked(settings, language, list, stats, blocker + "/feed");
  settings.SaveFeedToDisk = true;
  TRecordingView view;
  view.fail = true;
  blocked.SetView(&view);
  blocked.SetSink([](std::string_view) { throw std::runtime_error("stdout closed"); });
  THubSocket& op = FeedUser("op", ProfileWith(kAllFeedRights));

  TakeAll();
  EXPECT_NO_THROW(blocked.PostAction("still sent"));
  EXPECT_EQ(Take(op), "$Feed Action still sent|");
  EXPECT_EQ(stats.ActionFeed, 1);
}

TEST_F(HubFeedTest, ScriptOutputGoesToTheWindowAndSinkOnly) {
  settings.SaveFeedToDisk = true;
  TRecordingView view;
  std::vector<std::string> printed;
  feed.SetView(&view);
  feed.SetSink([&](std::string_view line) { printed.emplace_back(line); });
  THubSocket& op = FeedUser("op", ProfileWith(kAllFeedRights));

  TakeAll();
  feed.ShowScriptOutput("hello");
  EXPECT_EQ(Take(op), "");
  EXPECT_FALSE(FileExists(feed.FeedFileName(now)));
  EXPECT_EQ(printed, std::vector<std::string>{"[2024-03-07 09:05:03] hello"});
}

}  // namespace
