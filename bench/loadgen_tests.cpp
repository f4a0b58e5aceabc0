// Tests of the load generator's own arithmetic: the marker scanner, the
// percentiles, the block inflater and the delivery books.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "delivery_ledger.h"
#include "latency_stats.h"
#include "marker.h"
#include "zpipe_inflater.h"

namespace {

std::vector<std::string> Scan(std::string_view text) {
  std::vector<std::string> found;
  ScanMarkers(text, [&](TMarker m) {
    found.push_back(std::string(1, static_cast<char>(m.Kind)) + std::to_string(m.Seq));
  });
  return found;
}

TEST(MarkerTest, ScansTokensAndSkipsNoise) {
  struct TCase {
    std::string Text;
    std::vector<std::string> Expected;
  };
  const TCase cases[] = {
      {"<u> hi " + FormatMarker(TMarkerKind::Chat, 42), {"C42"}},
      {"a\x01P7\x01"
       "b\x01R8\x01",
       {"P7", "R8"}},
      {"$MyINFO $ALL u d$ $20\x01$$0$", {}},  // the status byte is no marker
      {"\x01"
       "C\x01",
       {}},                 // no digits
      {"\x01X12\x01", {}},  // unknown kind
      {"\x01"
       "C12",
       {}},  // cut off
      {"\x01\x01"
       "C5\x01",
       {"C5"}},  // a stray byte before a token
      {"\x01"
       "C99999999999\x01",
       {}},  // too long for 32 bits
      {"\x01"
       "C4294967295\x01",
       {"C4294967295"}},
      {"", {}},
  };
  for (const TCase& c : cases) EXPECT_EQ(Scan(c.Text), c.Expected) << c.Text;
}

TEST(LatencyStatsTest, NearestRankPercentiles) {
  struct TCase {
    std::vector<std::uint64_t> Values;
    double Q;
    std::uint64_t Expected;
  };
  const TCase cases[] = {
      {{}, 0.5, 0},
      {{7}, 0.99, 7},
      {{5, 1, 4, 2, 3}, 0.5, 3},
      {{5, 1, 4, 2, 3}, 0.0, 1},
      {{5, 1, 4, 2, 3}, 1.0, 5},
      {{1, 2, 3, 4}, 0.5, 2},
  };
  for (const TCase& c : cases) {
    std::vector<std::uint64_t> v = c.Values;
    EXPECT_EQ(PercentileOf(v, c.Q), c.Expected);
  }
  std::vector<std::uint64_t> hundred;
  for (std::uint64_t i = 100; i >= 1; --i) hundred.push_back(i);
  EXPECT_EQ(PercentileOf(hundred, 0.99), 99u);
}

std::string Deflate(const std::string& text) {
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &size,
            reinterpret_cast<const Bytef*>(text.data()), static_cast<uLong>(text.size()), 9);
  out.resize(size);
  return out;
}

TEST(ZPipeInflaterTest, InflatesAcrossReadsAndStopsAtStreamEnd) {
  std::string plain;
  for (int i = 0; i < 500; ++i)
    plain += "$MyINFO $ALL user" + std::to_string(i) + " x$ $20\x01$$0$|";
  const std::string wire = Deflate(plain) + "<u> after|";
  TZPipeInflater inflater;
  inflater.Begin();
  std::string out;
  std::size_t at = 0;
  // Feed in small pieces, as reads would arrive.
  while (inflater.Active() && at < wire.size()) {
    const std::size_t piece = std::min<std::size_t>(37, wire.size() - at);
    at += inflater.Feed(wire.data() + at, piece, out);
  }
  EXPECT_FALSE(inflater.Active());
  EXPECT_EQ(out, plain);
  EXPECT_EQ(wire.substr(at), "<u> after|");
}

TEST(ZPipeInflaterTest, CorruptStreamThrows) {
  TZPipeInflater inflater;
  inflater.Begin();
  std::string out;
  EXPECT_ANY_THROW(inflater.Feed("not zlib at all", 15, out));
}

class DeliveryLedgerTest : public ::testing::Test {
 protected:
  TDeliveryLedger ledger_{4};
  std::vector<bool> all_ = {true, true, true, true};
  std::vector<bool> none_ = {false, false, false, false};
};

TEST_F(DeliveryLedgerTest, CountsDelaysDuplicatesAndExtras) {
  const std::uint32_t seq = ledger_.NextSeq();
  std::vector<bool> three = {true, true, true, false};
  ledger_.SentBroadcast(TDeliveryLedger::kChat, seq, 0, 1000, three, none_,
                        TDeliveryLedger::kNobody);
  const TMarker m{TMarkerKind::Chat, seq};
  ledger_.Delivered(m, 0, 1100);
  ledger_.Delivered(m, 1, 1300);
  ledger_.Delivered(m, 1, 1400);  // duplicate
  ledger_.Delivered(m, 3, 1400);  // not counted on by the sender
  EXPECT_EQ(ledger_.Open(), 1u);
  ledger_.Delivered(m, 2, 1500);
  EXPECT_EQ(ledger_.Open(), 0u);
  const auto s = ledger_.Summarise()[TDeliveryLedger::kChat];
  EXPECT_EQ(s.Expected, 3u);
  EXPECT_EQ(s.Delivered, 3u);
  EXPECT_EQ(s.Lost, 0u);
  EXPECT_EQ(s.Duplicates, 1u);
  EXPECT_EQ(s.Extra, 1u);
  EXPECT_EQ(s.P50Us, 300u);
  EXPECT_EQ(s.LastP50Us, 500u);
}

TEST_F(DeliveryLedgerTest, LeaversAreNotOwedAndMissingCopiesAreLost) {
  const std::uint32_t chat = ledger_.NextSeq();
  ledger_.SentBroadcast(TDeliveryLedger::kChat, chat, 0, 0, all_, none_,
                        TDeliveryLedger::kNobody);
  const std::uint32_t pm = ledger_.NextSeq();
  ledger_.SentDirect(TDeliveryLedger::kPrivate, pm, 0, 2, 0);
  ledger_.SentConnect(1, 2000, 3, 0);
  ledger_.Delivered({TMarkerKind::Chat, chat}, 0, 10);
  ledger_.Delivered({TMarkerKind::Chat, chat}, 1, 10);
  ledger_.UserLeft(2);  // owed the chat line and the private message
  ledger_.DeliveredConnect(1, 2000, 3, 50);
  ledger_.DeliveredConnect(1, 2001, 3, 50);  // never sent
  auto s = ledger_.Summarise();
  EXPECT_EQ(s[TDeliveryLedger::kChat].Expected, 3u);
  EXPECT_EQ(s[TDeliveryLedger::kChat].Lost, 1u);  // user 3 never got it
  EXPECT_EQ(s[TDeliveryLedger::kPrivate].Expected, 0u);
  EXPECT_EQ(s[TDeliveryLedger::kPrivate].Lost, 0u);
  EXPECT_EQ(s[TDeliveryLedger::kConnect].Delivered, 1u);
  EXPECT_EQ(s[TDeliveryLedger::kConnect].Extra, 1u);
  EXPECT_EQ(s[TDeliveryLedger::kConnect].P50Us, 50u);
}

TEST_F(DeliveryLedgerTest, NamesTheAnswererOnItsFirstCopyOnly) {
  const std::uint32_t seq = ledger_.NextSeq();
  ledger_.SentBroadcast(TDeliveryLedger::kActiveSearch, seq, 0, 0, all_, none_, 2);
  const TMarker m{TMarkerKind::ActiveSearch, seq};
  EXPECT_EQ(ledger_.Delivered(m, 1, 5), TDeliveryLedger::kNobody);
  EXPECT_EQ(ledger_.Delivered(m, 2, 5), 2u);
  EXPECT_EQ(ledger_.Delivered(m, 2, 6), TDeliveryLedger::kNobody);
  EXPECT_EQ(ledger_.SenderOf(seq), 0u);
  // A marker of another kind with the same number is nobody's.
  EXPECT_EQ(ledger_.Delivered({TMarkerKind::Chat, seq}, 3, 5), TDeliveryLedger::kNobody);
}

// A user in the middle of a login when a message is sent may or may not get
// it; only a user counted online and not joining is owed it.
TEST_F(DeliveryLedgerTest, JoiningUsersAreNeitherOwedNorExtra) {
  struct TCase {
    const char* Name;
    bool Expected;
    bool Joining;
    int Copies;
    std::uint64_t Delivered, Lost, Duplicates, Extra, JoiningCopies;
  };
  const TCase cases[] = {
      {"joining, gets it", false, true, 1, 0, 0, 0, 0, 1},
      {"joining, misses it", false, true, 0, 0, 0, 0, 0, 0},
      {"joining, gets it twice", false, true, 2, 0, 0, 1, 0, 1},
      {"online, misses it", true, false, 0, 0, 1, 0, 0, 0},
      {"online and joining: still owed", true, true, 0, 0, 1, 0, 0, 0},
      {"online and joining, gets it", true, true, 1, 1, 0, 0, 0, 0},
      {"neither, gets it", false, false, 1, 0, 0, 0, 1, 0},
  };
  for (const TCase& c : cases) {
    TDeliveryLedger ledger(2);
    const std::uint32_t seq = ledger.NextSeq();
    // User 0 sends; user 1 is the receiver under test.
    ledger.SentBroadcast(TDeliveryLedger::kActiveSearch, seq, 0, 0, {false, c.Expected},
                         {false, c.Joining}, TDeliveryLedger::kNobody);
    for (int i = 0; i < c.Copies; ++i) ledger.Delivered({TMarkerKind::ActiveSearch, seq}, 1, 10);
    const auto s = ledger.Summarise()[TDeliveryLedger::kActiveSearch];
    EXPECT_EQ(s.Delivered, c.Delivered) << c.Name;
    EXPECT_EQ(s.Lost, c.Lost) << c.Name;
    EXPECT_EQ(s.Duplicates, c.Duplicates) << c.Name;
    EXPECT_EQ(s.Extra, c.Extra) << c.Name;
    EXPECT_EQ(s.Joining, c.JoiningCopies) << c.Name;
    EXPECT_EQ(ledger.Open(), c.Expected && c.Copies == 0 ? 1u : 0u) << c.Name;
  }
}

}  // namespace
