// Broadcasts queued from shared runs: behind a queue they are referenced,
// not copied; they still count against the client's limits; a ZPipe piece
// is deflated once for all clients that queued it alike.
#include "core/shared_run.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/write_buffer.h"
#include "support/zpipe_decode.h"

namespace {

std::string Line(int i) { return "<bot> line " + std::to_string(i) + std::string(40, 'x') + "|"; }

// Broadcasts lines from..to-1 to every buffer on `channel`; returns them.
std::string BroadcastLines(TSharedRuns& runs, int from, int to, int channel,
                           std::initializer_list<TWriteBuffer*> buffers) {
  std::string sent;
  for (int i = from; i < to; ++i) {
    const std::string line = Line(i);
    TSharedBroadcast broadcast(runs, line);
    for (TWriteBuffer* buffer : buffers) broadcast.To(*buffer, channel);
    sent += line;
  }
  return sent;
}

std::shared_ptr<const TSharedBlock> List() {
  return std::make_shared<const TSharedBlock>(std::string(30000, 'n') + "|");
}

// What a ZPipe client is sent of its whole queue, and the slices' starts.
std::string Drain(TWriteBuffer& buffer, std::set<const void*>* starts = nullptr) {
  std::string wire;
  TIoSlice slices[64];
  while (!buffer.Empty()) {
    const int count = buffer.Collect(slices, 64, 1 << 20, true);
    int sent = 0;
    for (int i = 0; i < count; ++i) {
      wire.append(static_cast<const char*>(slices[i].data), slices[i].length);
      if (starts != nullptr) starts->insert(slices[i].data);
      sent += static_cast<int>(slices[i].length);
    }
    buffer.Consume(sent);
  }
  return wire;
}

TEST(SharedRunTest, BroadcastsBehindAQueueAreReferencedNotCopied) {
  TSharedRuns runs;
  TWriteBuffer slow, other, keeping;
  slow.AppendShared(List());
  other.AppendShared(List());
  keeping.AppendString("$Hello me|");
  const std::string expected = BroadcastLines(runs, 0, 3000, 0, {&slow, &other, &keeping});
  EXPECT_EQ(slow.GetString(), std::string(30000, 'n') + "|" + expected);
  EXPECT_EQ(other.GetString(), slow.GetString());
  EXPECT_EQ(slow.SharedBytes(), slow.Length());
  // Every line is in the runs once, whatever the number of readers.
  EXPECT_LE(runs.RunsMade(), expected.size() / (TSharedRuns::kRunSize - 100) + 1);
  // A buffer holding only its own bytes takes the burst in order, its
  // bytes joining the queue once they are more than a pass's worth.
  EXPECT_EQ(keeping.GetString(), "$Hello me|" + expected);
  EXPECT_GT(keeping.SharedBytes(), keeping.Length() * 9 / 10);
}

// Clients that keep up take a few broadcasts as copies (a reference would
// cost more than the bytes); past that their bytes join the queue, and
// clients that took the same broadcasts share the frozen bytes and their
// deflated form.
TEST(SharedRunTest, ClientsThatKeepUpCopyAFewBroadcastsAndShareWhatTheyFreeze) {
  TSharedRuns runs;
  TWriteBuffer a, b;
  std::string expected = BroadcastLines(runs, 0, 5, 0, {&a, &b});
  EXPECT_EQ(a.SharedBytes(), 0);
  EXPECT_EQ(a.GetString(), expected);
  expected += BroadcastLines(runs, 5, 300, 0, {&a, &b});
  EXPECT_GT(a.SharedBytes(), a.Length() * 9 / 10);
  TIoSlice sa[8], sb[8];
  ASSERT_GE(a.Collect(sa, 8, 1 << 20, true), 2);
  ASSERT_GE(b.Collect(sb, 8, 1 << 20, true), 2);
  EXPECT_EQ(std::string_view(static_cast<const char*>(sa[0].data), 5), "$ZOn|");
  EXPECT_EQ(sa[0].data, sb[0].data);
  EXPECT_EQ(DecodeZPipe(Drain(a)), expected);
  EXPECT_EQ(DecodeZPipe(Drain(b)), expected);
}

TEST(SharedRunTest, ChannelsAndLongTextsKeepTheirOwnBlocks) {
  TSharedRuns runs;
  const auto first = runs.Put(0, "a|");
  const auto other = runs.Put(1, "b|");
  const auto second = runs.Put(0, "c|");
  EXPECT_EQ(first.block, second.block);
  EXPECT_EQ(second.offset, 2);
  EXPECT_NE(first.block, other.block);
  const std::string longText(TSharedRuns::kRunSize, 'l');
  const auto alone = runs.Put(0, longText);
  EXPECT_NE(alone.block, first.block);
  EXPECT_EQ(alone.block->Text(), longText);
  EXPECT_EQ(runs.Put(0, "d|").offset, 4);
}

// A client that takes nothing is refused broadcasts past its limit, however
// they are queued.
TEST(SharedRunTest, AStalledClientOverflowsOnBroadcasts) {
  TSharedRuns runs;
  TWriteBuffer buffer;
  buffer.AppendShared(List());
  buffer.NoteStalledRound();
  buffer.NoteStalledRound();
  const std::string line(500, 'z');
  for (int i = 0; i < 200 && !buffer.Overflow(); ++i) TSharedBroadcast(runs, line + "|").To(buffer, 0);
  EXPECT_TRUE(buffer.Overflow());
  EXPECT_LT(buffer.Length(), 61440);
}

// ZPipe clients that queued the same broadcasts get one deflated form.
TEST(SharedRunTest, APieceIsDeflatedOnceForItsReaders) {
  TSharedRuns runs;
  TWriteBuffer a, b;
  const auto list = List();
  a.AppendShared(list);
  b.AppendShared(list);
  BroadcastLines(runs, 0, 20, 2, {&a, &b});
  ASSERT_EQ(a.SharedBytes(), a.Length());
  TIoSlice sa[4], sb[4];
  ASSERT_EQ(a.Collect(sa, 4, 1 << 20, true), 2);
  ASSERT_EQ(b.Collect(sb, 4, 1 << 20, true), 2);
  EXPECT_EQ(std::string_view(static_cast<const char*>(sa[1].data), 5), "$ZOn|");
  EXPECT_EQ(sa[1].data, sb[1].data);
  EXPECT_EQ(a.Length(), static_cast<int>(sa[0].length + sa[1].length));
}


// A full socket takes nothing after the queue offered its deflated form:
// broadcasts that follow must queue behind that form, never lengthen it.
TEST(SharedRunTest, BroadcastsAfterAnOfferThatWasNotTakenStayWhole) {
  TSharedRuns runs;
  TWriteBuffer buffer;
  buffer.AppendShared(List());
  std::string expected = std::string(30000, 'n') + "|";
  for (int round = 0; round < 3; ++round) {
    expected += BroadcastLines(runs, round * 10, round * 10 + 10, 0, {&buffer});
    TIoSlice slices[8];
    ASSERT_GT(buffer.Collect(slices, 8, 1 << 20, true), 0);
    buffer.NoteStalledRound();
  }
  EXPECT_EQ(DecodeZPipe(Drain(buffer)), expected);
}

// Clients that joined a run at different points, or missed part of it,
// each get exactly their broadcasts; the frames they have in common are
// deflated once, and only the head before a client's first cut is its own.
TEST(SharedRunTest, ClientsJoiningARunAtDifferentPointsShareItsFrames) {
  TSharedRuns runs;
  TWriteBuffer early, late, gap;
  // Each has a list queued, as newcomers in a storm do.
  const auto list = List();
  const std::string listText(list->Text());
  for (TWriteBuffer* buffer : {&early, &late, &gap}) buffer->AppendShared(list);
  std::string toEarly = listText, toLate = listText, toGap = listText;
  std::set<const void*> earlyStarts, lateStarts;
  for (int i = 0; i < 400; ++i) {
    const std::string line = Line(i);
    TSharedBroadcast broadcast(runs, line);
    broadcast.To(early, 3);
    toEarly += line;
    if (i >= 37) {
      broadcast.To(late, 3);
      toLate += line;
    }
    // Misses 100..199, so its first piece ends inside frames the others
    // may already have deflated.
    if (i < 100 || i >= 200) {
      broadcast.To(gap, 3);
      toGap += line;
    }
    if (i == 250) {
      EXPECT_EQ(DecodeZPipe(Drain(early, &earlyStarts)), toEarly);
      early.AppendShared(list);
      toEarly = listText;
    }
  }
  EXPECT_EQ(DecodeZPipe(Drain(gap)), toGap);
  EXPECT_EQ(DecodeZPipe(Drain(early, &earlyStarts)), toEarly);
  EXPECT_EQ(DecodeZPipe(Drain(late, &lateStarts)), toLate);
  // The late client shares all it was sent but its head.
  int own = 0;
  for (const void* start : lateStarts) own += earlyStarts.count(start) == 0 ? 1 : 0;
  EXPECT_LE(own, 2);
  EXPECT_GT(lateStarts.size(), 3u);
}

}  // namespace
