#include "core/write_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "base/exceptions.h"
#include "core/shared_block.h"

namespace {

// Progress of the client behind a buffer, as the send pass leaves it.
enum class TClient { kFresh, kTaking, kStalled, kStuck };

// A class-1 buffer whose last send rounds left the given client state.
void Prepare(TWriteBuffer& buffer, TClient client) {
  buffer.AppendString(std::string(100, 'x'));
  if (client == TClient::kFresh) return;
  buffer.Consume(10);  // bytes taken, some left behind
  buffer.Consume(10);
  if (client == TClient::kTaking) return;
  buffer.NoteStalledRound();  // a round that took nothing
  if (client == TClient::kStuck) buffer.NoteStalledRound();
}

TEST(WriteBufferTest, ClientStateHelperReachesTheStates) {
  TWriteBuffer taking, stalled, stuck;
  Prepare(taking, TClient::kTaking);
  Prepare(stalled, TClient::kStalled);
  Prepare(stuck, TClient::kStuck);
  EXPECT_EQ(taking.UnsentRounds(), 2);
  EXPECT_EQ(taking.StalledRounds(), 0);
  EXPECT_EQ(stalled.StalledRounds(), 1);
  EXPECT_EQ(stuck.StalledRounds(), 2);
  stuck.Consume(1);  // any byte taken ends the stall
  EXPECT_EQ(stuck.StalledRounds(), 0);
}

TEST(WriteBufferTest, ReserveChoosesClassOrRefuses) {
  struct Case {
    TClient client;
    int total;  // content length the reservation asks for
    bool force;
    int sizeClass;  // 0: refused
  };
  const Case cases[] = {
      {TClient::kFresh, 20479, false, 1},     {TClient::kFresh, 20480, false, 2},
      {TClient::kFresh, 61439, false, 2},     {TClient::kFresh, 61440, false, 3},
      {TClient::kFresh, 148480, false, 4},    {TClient::kFresh, 368640, false, 5},
      {TClient::kFresh, 1105920, false, 6},   {TClient::kFresh, 3317759, false, 6},
      {TClient::kFresh, 3317760, false, 0},   {TClient::kFresh, 3317760, true, 0},
      // Behind but taking bytes every round: grows like a fresh one.
      {TClient::kTaking, 148480, false, 4},   {TClient::kTaking, 400000, false, 5},
      {TClient::kTaking, 3317759, false, 6},  {TClient::kTaking, 3317760, false, 0},
      {TClient::kStalled, 148479, false, 3},  {TClient::kStalled, 148480, false, 0},
      {TClient::kStalled, 148480, true, 4},   {TClient::kStuck, 61439, false, 2},
      {TClient::kStuck, 61440, false, 0},     {TClient::kStuck, 61440, true, 3},
      {TClient::kStuck, 400000, true, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.client) << " " << c.total << " "
                                    << c.force);
    TWriteBuffer buffer;
    Prepare(buffer, c.client);
    const std::string before = buffer.GetString();
    const auto extra = static_cast<std::size_t>(c.total - buffer.Length());
    EXPECT_EQ(buffer.Reserve(extra, c.force), c.sizeClass != 0);
    EXPECT_EQ(buffer.Overflow(), c.sizeClass == 0);
    if (c.sizeClass != 0) {
      EXPECT_EQ(buffer.SizeClass(), c.sizeClass);
    }
    EXPECT_EQ(buffer.GetString(), before);
  }
}

// A login storm: a big nick list, then each send round the client takes a
// full chunk while announcements of more logins keep arriving. It shrinks
// as it catches up and must be let grow again; one that takes nothing is
// still cut off once its class is full.
TEST(WriteBufferTest, StormBehindAReaderIsKeptAndANeverReaderOverflows) {
  constexpr int kNickList = 450000;
  constexpr int kChunk = 131072;
  const std::string announcements(40000, 'm');
  // The list copied into the buffer, or queued as a shared block: the
  // limits count both alike.
  for (const bool shared : {false, true})
  for (const bool reads : {true, false}) {
    SCOPED_TRACE(reads ? "reads every round" : "never reads");
    SCOPED_TRACE(shared ? "shared list" : "own list");
    TWriteBuffer buffer;
    if (shared) {
      buffer.AppendShared(std::make_shared<const TSharedBlock>(std::string(kNickList, 'n')));
    } else {
      ASSERT_TRUE(buffer.ReserveExtra(kNickList));
      buffer.AppendString(std::string(kNickList, 'n'));
    }
    std::int64_t queued = kNickList;
    for (int round = 0; round < 20 && !buffer.Overflow(); ++round) {
      if (reads) {
        const int sent = std::min(kChunk, buffer.Length());
        buffer.Consume(sent);
        queued -= sent;
      } else {
        buffer.NoteStalledRound();
      }
      buffer.AppendString(announcements);
      queued += static_cast<std::int64_t>(announcements.size());
    }
    if (reads) {
      EXPECT_FALSE(buffer.Overflow());
      EXPECT_EQ(buffer.Length(), queued);
    } else {
      EXPECT_TRUE(buffer.Overflow());
      EXPECT_LE(buffer.Length(), 1105920);  // no growth past the class it had
    }
  }
}

TEST(WriteBufferTest, TheLastByteOfAClassMovesItUp) {
  TWriteBuffer buffer;
  buffer.AppendString(std::string(20479, 'a'));
  EXPECT_EQ(buffer.SizeClass(), 1);
  buffer.AppendChar('b');
  EXPECT_EQ(buffer.SizeClass(), 2);
  EXPECT_EQ(buffer.Length(), 20480);
  EXPECT_EQ(buffer.View().substr(20478), "ab");
}

TEST(WriteBufferTest, RefusedAppendLosesTheBytesAndFlagsOverflow) {
  TWriteBuffer buffer;
  Prepare(buffer, TClient::kStuck);
  const std::string before = buffer.GetString();
  buffer.AppendString(std::string(70000, 'y'));
  EXPECT_TRUE(buffer.Overflow());
  EXPECT_EQ(buffer.GetString(), before);
  buffer.AppendString("ok");  // small appends still fit
  EXPECT_EQ(buffer.View().substr(buffer.View().size() - 2), "ok");
  buffer.Clear(false);
  EXPECT_FALSE(buffer.Overflow());
}

TEST(WriteBufferTest, ConsumeDropsTheFrontAndShrinks) {
  struct Case {
    int fill;
    int left;
    int sizeClassBefore;
    int sizeClassAfter;
  };
  const Case cases[] = {
      {30000, 15359, 2, 1},    {30000, 15360, 2, 2},    {100000, 46079, 3, 2},
      {100000, 46080, 3, 3},   {100000, 0, 3, 1},       {200000, 87039, 4, 3},
      {400000, 294911, 5, 4},  {1200000, 884735, 6, 5}, {1200000, 884736, 6, 6},
      {1200000, 10, 6, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.fill << " -> " << c.left);
    TWriteBuffer buffer;
    std::string content(static_cast<std::size_t>(c.fill), 'a');
    for (std::size_t i = 0; i < content.size(); i += 997) content[i] = static_cast<char>('b' + i % 7);
    buffer.AppendString(content);
    ASSERT_EQ(buffer.SizeClass(), c.sizeClassBefore);
    EXPECT_EQ(buffer.Consume(c.fill - c.left), c.left == 0);
    EXPECT_EQ(buffer.SizeClass(), c.sizeClassAfter);
    EXPECT_EQ(buffer.View(), std::string_view(content).substr(static_cast<std::size_t>(c.fill - c.left)));
  }
}

// Sending moves the start of the content instead of the content: every
// edit after a partial send must still see exactly the unsent bytes.
TEST(WriteBufferTest, EditsAfterPartialSendsMatchAPlainString) {
  TWriteBuffer buffer;
  std::string model;
  std::uint32_t x = 12345;
  auto next = [&x](std::uint32_t bound) {
    x = x * 1103515245u + 12345u;
    return (x >> 8) % bound;
  };
  for (int step = 0; step < 5000; ++step) {
    SCOPED_TRACE(step);
    const std::uint32_t op = next(10);
    if (op < 5) {
      const std::string text(next(3000) + 1, static_cast<char>('a' + step % 26));
      buffer.AppendString(text);
      model += text;
    } else if (op < 8) {
      const int count = static_cast<int>(next(static_cast<std::uint32_t>(model.size()) + 1));
      buffer.Consume(count);
      model.erase(0, static_cast<std::size_t>(count));
    } else if (op == 8) {
      buffer.PrependString("$Pre|");
      model.insert(0, "$Pre|");
    } else if (!model.empty()) {
      const int pos = static_cast<int>(next(static_cast<std::uint32_t>(model.size())));
      ASSERT_TRUE(buffer.ReplaceRange(pos, 1, "<>"));
      model.replace(static_cast<std::size_t>(pos), 1, "<>");
    }
    ASSERT_FALSE(buffer.Overflow());
    ASSERT_EQ(buffer.View(), model);
  }
}

TEST(WriteBufferTest, RoomFreedBySendingIsReusedWithoutGrowing) {
  TWriteBuffer buffer;
  buffer.AppendString(std::string(20000, 'a'));
  ASSERT_EQ(buffer.SizeClass(), 1);
  buffer.Consume(15000);
  buffer.AppendString(std::string(10000, 'b'));
  EXPECT_EQ(buffer.SizeClass(), 1);
  EXPECT_EQ(buffer.View(), std::string(5000, 'a') + std::string(10000, 'b'));
}

TEST(WriteBufferTest, EmptyingResetsUnsentRounds) {
  TWriteBuffer buffer;
  buffer.AppendString(std::string(100000, 'a'));
  buffer.Consume(1000);
  buffer.Consume(1000);
  EXPECT_EQ(buffer.UnsentRounds(), 2);
  EXPECT_TRUE(buffer.Consume(buffer.Length()));
  EXPECT_EQ(buffer.UnsentRounds(), 0);
  EXPECT_EQ(buffer.SizeClass(), 1);
}

TEST(WriteBufferTest, ConsumingMoreThanHeldIsAProgrammingError) {
  TWriteBuffer buffer;
  buffer.AppendString("abc");
  EXPECT_THROW(buffer.Consume(4), EAssertionFailed);
}

TEST(WriteBufferTest, MessageFraming) {
  TWriteBuffer buffer;
  EXPECT_TRUE(buffer.IsMessageEnded());  // nothing begun
  buffer.BeginMessage();
  buffer.AppendString("$Hello x");
  EXPECT_FALSE(buffer.IsMessageEnded());
  buffer.EndMessage();
  EXPECT_TRUE(buffer.IsMessageEnded());
  EXPECT_EQ(buffer.GetString(), "$Hello x|");
  try {
    buffer.EndMessage();
    FAIL() << "second EndMessage did not throw";
  } catch (const EBufferException& e) {
    EXPECT_NE(std::string(e.what()).find("EndMessage called twice on the same buffer"),
              std::string::npos);
  }
  EXPECT_EQ(buffer.GetString(), "$Hello x|");
  buffer.BeginMessage();
  EXPECT_FALSE(buffer.IsMessageEnded());
  buffer.EndMessage();
  EXPECT_EQ(buffer.GetString(), "$Hello x||");
}

TEST(WriteBufferTest, ClearClosesAnOpenMessage) {
  TWriteBuffer buffer;
  buffer.BeginMessage();
  buffer.AppendString("half");
  buffer.Clear(false);
  EXPECT_TRUE(buffer.IsMessageEnded());
  EXPECT_TRUE(buffer.Empty());
  EXPECT_EQ(buffer.SizeClass(), 1);
  buffer.Clear(true);
  EXPECT_EQ(buffer.SizeClass(), 0);
  EXPECT_EQ(buffer.Data(), nullptr);
}

TEST(WriteBufferTest, SubStringAndFindStayInsideTheContent) {
  TWriteBuffer buffer;
  buffer.AppendString("hello");
  // Stale bytes past the content must never be read.
  buffer.AppendString("|||");
  buffer.DropLast(3);
  struct Case {
    int from, to;
    const char* expected;  // nullptr: BadParms
  };
  const Case cases[] = {{0, 4, "hello"}, {1, 1, "e"},    {4, 4, "o"},
                        {3, 5, nullptr}, {-1, 2, nullptr}, {3, 2, nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << ".." << c.to);
    if (c.expected != nullptr) {
      EXPECT_EQ(buffer.SubString(c.from, c.to), c.expected);
      continue;
    }
    try {
      buffer.SubString(c.from, c.to);
      ADD_FAILURE() << "no assertion";
    } catch (const EAssertionFailed& e) {
      const std::string expected =
          "BadParms(" + std::to_string(c.from) + ", " + std::to_string(c.to) + ")";
      EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(buffer.FindChar('l', 0, 4), 2);
  EXPECT_EQ(buffer.FindCharBack('l', 0, 4), 3);
  EXPECT_EQ(buffer.FindChar('l', 4, 4), -1);
  EXPECT_EQ(buffer.FindChar('|', 0, 7), -1);
  EXPECT_EQ(buffer.FindCharBack('|', 0, 7), -1);
  EXPECT_EQ(buffer.FindChar('h', 3, 0), -1);
  EXPECT_EQ(buffer.FindChar('h', -1, 4), -1);
}

TEST(WriteBufferTest, ShorteningAndPrepending) {
  struct Case {
    const char* content;
    int drop;  // -1: DropLastChar, else DropLast(drop)
    const char* prepend;
    const char* expected;
  };
  const Case cases[] = {
      {"abc", 2, "", "a"},   {"abc", 3, "", "abc"}, {"abc", -1, "", "ab"},
      {"", -1, "", ""},      {"abc", 0, "<x> ", "<x> abc"}, {"", 0, "only", "only"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    TWriteBuffer buffer;
    buffer.AppendString(c.content);
    if (c.drop < 0) {
      buffer.DropLastChar();
    } else {
      buffer.DropLast(c.drop);
    }
    buffer.PrependString(c.prepend);
    EXPECT_EQ(buffer.GetString(), c.expected);
  }
}

TEST(WriteBufferTest, ReplaceAll) {
  struct Case {
    const char* content;
    const char* oldText;
    const char* newText;
    int end;  // -1: the whole content
    int start;
    const char* expected;
  };
  const Case cases[] = {
      {"a b a", "a", "xa", -1, 0, "xa b xa"},  // replacement holds the old text
      {"aaaa", "aa", "b", -1, 0, "bb"},
      {"aaa", "a", "", -1, 0, ""},
      {"abc", "", "x", -1, 0, "abc"},
      {"abc", "b", "b", -1, 0, "abc"},
      {"x$y$", "$", "&#36;", -1, 0, "x&#36;y&#36;"},
      {"a.a.a", "a", "bb", 3, 0, "bb.bb.a"},   // end is exclusive and follows the growth
      {"a.a.a", "a", "bb", 5, 1, "a.bb.bb"},
      {"abab", "ab", "c", 3, 0, "cab"},         // an occurrence crossing the end stays
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.content << " " << c.oldText << "->" << c.newText);
    TWriteBuffer buffer;
    buffer.AppendString(c.content);
    if (c.end < 0) {
      buffer.ReplaceAll(c.oldText, c.newText);
    } else {
      buffer.ReplaceAllInRange(c.oldText, c.newText, c.end, c.start);
    }
    EXPECT_EQ(buffer.GetString(), c.expected);
  }
}

TEST(WriteBufferTest, ReplaceAllStopsWhenGrowthIsRefused) {
  TWriteBuffer buffer;
  Prepare(buffer, TClient::kStuck);  // 80 bytes, limited to class 2
  buffer.ReplaceAll("x", std::string(1000, 'y'));
  EXPECT_TRUE(buffer.Overflow());
  EXPECT_LT(buffer.Length(), 61440);
  EXPECT_EQ(buffer.View().substr(buffer.View().size() - 10), std::string(10, 'x'));
}

TEST(WriteBufferTest, ReplaceRangeAndChar) {
  TWriteBuffer buffer;
  buffer.AppendString("one two three");
  EXPECT_TRUE(buffer.ReplaceRange(4, 3, "2"));
  EXPECT_EQ(buffer.GetString(), "one 2 three");
  EXPECT_TRUE(buffer.ReplaceRange(0, 3, "first"));
  EXPECT_EQ(buffer.GetString(), "first 2 three");
  EXPECT_TRUE(buffer.ReplaceRange(13, 0, "!"));
  EXPECT_EQ(buffer.GetString(), "first 2 three!");
  EXPECT_THROW(buffer.ReplaceRange(12, 3, "x"), EAssertionFailed);
  EXPECT_THROW(buffer.ReplaceRange(-1, 1, "x"), EAssertionFailed);
  buffer.ReplaceChar(' ', '\xA0');
  EXPECT_EQ(buffer.GetString(), "first\xA0" "2\xA0three!");
}

}  // namespace

namespace {

// A client that stopped reading keeps the shared blocks it had queued but
// is refused newer ones, as it would be refused the same bytes copied.
TEST(WriteBufferTest, AStalledClientPinsNoNewerSharedBlocks) {
  TWriteBuffer buffer;
  auto list = std::make_shared<const TSharedBlock>(std::string(1000000, 'n'));
  buffer.AppendShared(list);
  ASSERT_FALSE(buffer.Overflow());
  buffer.NoteStalledRound();
  buffer.NoteStalledRound();
  auto newer = std::make_shared<const TSharedBlock>(std::string(200000, 'm'));
  buffer.AppendShared(newer);
  EXPECT_TRUE(buffer.Overflow());
  EXPECT_EQ(buffer.Length(), 1000000);
  EXPECT_EQ(newer.use_count(), 1);
  buffer.Clear(true);
  EXPECT_EQ(list.use_count(), 1);
}

}  // namespace
