// The main-chat history ring and its rendering.

#include <gtest/gtest.h>

#include <string>

#include "core/history_manager.h"
#include "settings/language.h"
#include "utils/text_format.h"

namespace {

class HistoryManagerTest : public testing::Test {
 protected:
  static TDateTime At(int hour, int minute, int second) {
    TDateTime t;
    TryEncodeDateTime({2024, 1, 2, hour, minute, second}, t);
    return t;
  }

  std::string Header(int count) const {
    return FormatText(language_.Text(TLanguageKey::HistoryShowingLines), count) + "\r\n";
  }
  // Lines first..last as added by AddLines, each with CR LF.
  static std::string Lines(int first, int last) {
    std::string out;
    for (int i = first; i <= last; ++i) out += "[01:02:03] <u> line " + std::to_string(i) + "\r\n";
    return out;
  }
  void AddLines(int count) {
    for (int i = 1; i <= count; ++i) history_.Add("<u> line " + std::to_string(i));
  }

  TLanguage language_;
  TDateTime now_ = At(1, 2, 3);
  THistoryManager history_{language_, [this] { return now_; }};
};

TEST_F(HistoryManagerTest, RendersTheLastLinesOldestFirst) {
  AddLines(150);
  struct TCase {
    int asked;
    int shown, first;
  };
  for (const TCase& c : {TCase{0, 20, 131}, TCase{500, 100, 51}, TCase{3, 3, 148},
                         TCase{100, 100, 51}, TCase{-4, 0, 151}}) {
    SCOPED_TRACE(c.asked);
    EXPECT_EQ(history_.BuildHistory(c.asked), Header(c.shown) + Lines(c.first, 150));
  }
}

TEST_F(HistoryManagerTest, EmptyHistorySaysSo) {
  const std::string none = language_.Text(TLanguageKey::HistoryNoMainchatEntries);
  EXPECT_EQ(history_.BuildHistory(5), none);
  history_.Resize(0, 20);
  history_.Add("<u> lost");
  EXPECT_EQ(history_.Count(), 0);
  EXPECT_EQ(history_.BuildHistory(0), none);
}

TEST_F(HistoryManagerTest, ResizeDropsLinesAndBoundsTheDefault) {
  AddLines(5);
  history_.Resize(3, 10);
  EXPECT_EQ(history_.Count(), 0);
  EXPECT_EQ(history_.DefaultCount(), 3);
  AddLines(4);
  EXPECT_EQ(history_.BuildHistory(0), Header(3) + Lines(2, 4));
}

TEST_F(HistoryManagerTest, StampsWithTheTimeOfAdding) {
  now_ = At(23, 59, 7);
  history_.Add("<a> late");
  now_ = At(0, 0, 1);
  history_.Add("<a> early");
  EXPECT_EQ(history_.BuildHistory(0),
            Header(2) + "[23:59:07] <a> late\r\n[00:00:01] <a> early\r\n");
}

}  // namespace
