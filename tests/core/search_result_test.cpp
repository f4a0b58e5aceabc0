// "$SR": routed to the passive searcher alone, within the result limit.

#include <string>

#include "chat_test_fixture.h"

namespace {

class SearchResultTest : public TChatFixture {
 protected:
  static std::string Result(std::string_view from, std::string_view file) {
    return "$SR " + std::string(from) + " " + std::string(file) + "\x05" + "1024 2/3\x05" +
           "TTH:ABC (1.2.3.4:411)";
  }
};

TEST_F(SearchResultTest, ReachesOnlyTheTargetWithoutItsName) {
  THubSocket& searcher = Online("searcher");
  THubSocket& answerer = Online("answerer");
  THubSocket& other = Online("other");
  const std::string result = Result("answerer", "music\\song.mp3");
  EXPECT_TRUE(Send(answerer, result + "\x05searcher|"));
  EXPECT_EQ(Output(searcher), result + "|");
  EXPECT_EQ(Output(other), "");
  EXPECT_EQ(Output(answerer), "");
  EXPECT_EQ(answerer.UserInfo().Transfer.ResultsSent, 1);
  EXPECT_EQ(stats_.Protocol.SearchReplies, 1);
}

TEST_F(SearchResultTest, CountLimitHoldsUntilTheNextPassiveSearch) {
  settings_.SRMaxCount = {true, 5};
  THubSocket& searcher = Online("searcher");
  THubSocket& answerer = Online("answerer");
  const std::string result = Result("answerer", "a.txt");
  std::string expected;
  for (int i = 0; i < 6; ++i) {
    EXPECT_TRUE(Send(answerer, result + "\x05searcher|"));
    if (i < 5) expected += result + "|";
  }
  EXPECT_EQ(Output(searcher), expected);

  EXPECT_TRUE(Send(searcher, "$Search Hub:searcher F?T?0?1?a|"));
  Output(answerer);
  EXPECT_TRUE(Send(answerer, result + "\x05searcher|"));
  EXPECT_EQ(Output(searcher), result + "|");
}

TEST_F(SearchResultTest, ForgedOrMalformedResultsClose) {
  struct TCase {
    const char* name;
    std::string message;
  };
  const std::vector<TCase> cases = {
      {"other nick", Result("someone", "a.txt") + "\x05searcher|"},
      {"nick prefix", Result("answererX", "a.txt") + "\x05searcher|"},
      {"nick case", Result("Answerer", "a.txt") + "\x05searcher|"},
      {"no target mark", "$SR answerer a.txt 1024 2/3 TTH:ABC searcher|"},
      {"too short", "$SR answerer|"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    THubSocket& searcher = Online("searcher");
    THubSocket& answerer = Online("answerer");
    EXPECT_FALSE(Send(answerer, c.message));
    EXPECT_EQ(answerer.LifeState, lsClosing);
    EXPECT_EQ(Output(searcher), "");
    nickList_.Remove(searcher);
    nickList_.Remove(answerer);
  }
}

TEST_F(SearchResultTest, DroppedForBlockedSendersAndAbsentTargets) {
  THubSocket& searcher = Online("searcher");
  THubSocket& answerer = Online("answerer");
  EXPECT_TRUE(Send(answerer, Result("answerer", "a") + "\x05nobody|"));
  EXPECT_TRUE(Send(answerer, Result("answerer", "a") + "\x05|"));
  answerer.UserInfo().Blocked = true;
  EXPECT_TRUE(Send(answerer, Result("answerer", "a") + "\x05searcher|"));
  EXPECT_EQ(Output(searcher), "");
  EXPECT_NE(answerer.LifeState, lsClosing);
}

}  // namespace
