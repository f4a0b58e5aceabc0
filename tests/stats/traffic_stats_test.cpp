#include "stats/traffic_stats.h"

#include "core/write_buffer.h"
#include "stats_fixture.h"
#include "utils/byte_size.h"

namespace {

class TrafficStatsTest : public TStatsFixture {
 protected:
  static constexpr std::uint64_t kNow = 100000000;

  // A user connected `seconds` ago.
  THubSocket& User(std::string_view nick, double seconds) {
    THubSocket& user = Online(nick);
    user.ConnectTick = kNow - static_cast<std::uint64_t>(seconds * 1000);
    return user;
  }

  std::string Write(void (TTrafficStats::*report)(TWriteBuffer&, int), int n) {
    TWriteBuffer out;
    (traffic_.*report)(out, n);
    return out.GetString();
  }

  std::string Top(std::string_view header) { return Dash() + Head(header) + Dash(); }

  TTrafficStats traffic_{nickList_, language_, [] { return kNow; }};
};

TEST_F(TrafficStatsTest, Tables) {
  User("a", 10).UserInfo().Transfer.SearchesActive = 5;
  User("b", 10).UserInfo().Transfer.SearchesPassive = 3;
  THubSocket& c = User("c", 3661);
  c.UserInfo().Transfer.SearchesActive = 2;
  c.UserInfo().Transfer.SearchesPassive = 3;
  c.UserInfo().Transfer.BytesSent = 3661 * 2048;
  User("d", 0.5).UserInfo().Transfer.BytesReceived = 1 << 30;  // too new for bandwidth

  const std::string after10 = "(after 00:00:10)";
  const std::string after3661 = "(after 01:01:01)";
  struct TCase {
    void (TTrafficStats::*Report)(TWriteBuffer&, int);
    int N;
    std::string Expected;
  } cases[] = {
      // Equal values keep their insertion (nick list) order; 3 is left out.
      {&TTrafficStats::WriteSearchStats, 2,
       Top("Top 2 search senders") + Head("a\t\t\t5 search(es)\t" + after10) +
           Head("c\t\t\t5 search(es)\t" + after3661) + Dash() + "|"},
      // Zeros still enter a list that is not full.
      {&TTrafficStats::WritePMStats, 5,
       Top("Top 5 private message talkers") + Head("a\t\t\t0 PM(s)\t\t" + after10) +
           Head("b\t\t\t0 PM(s)\t\t" + after10) + Head("c\t\t\t0 PM(s)\t\t" + after3661) +
           Head("d\t\t\t0 PM(s)\t\t(after 00:00:00)") + Dash() + "|"},
      {&TTrafficStats::WriteBWStats, 1,
       Top("Top 1 bandwidth consumers") + Head("c\t\t\t" + FormatByteSize(2048) + "/s\t" +
                                               after3661) +
           Dash() + "|"},
      {&TTrafficStats::WriteSearchStats, 0, ""},
  };
  for (const TCase& t : cases) EXPECT_EQ(Write(t.Report, t.N), t.Expected) << t.N;
}

TEST_F(TrafficStatsTest, NoUsersGivesTheHeaderAlone) {
  EXPECT_EQ(Write(&TTrafficStats::WriteDataStats, 3), Top("Top 3 data receivers") + "|");
}

}  // namespace
