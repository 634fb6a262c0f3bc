// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/operations/segment_plan.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cutting/time/time_text.h"

namespace {

using TRows = std::vector<TSegmentRow>;
using TPoints = std::vector<std::string>;

// "0-4900 10100-end": the kept pieces in a form a table can hold.
std::string PiecesText(const std::vector<TKeptPiece>& pieces) {
  std::ostringstream text;
  for (const auto& piece : pieces) {
    if (text.tellp() > 0) text << ' ';
    text << piece.StartMs << '-';
    if (piece.ToEnd)
      text << "end";
    else
      text << piece.EndMs;
  }
  return text.str();
}

TEST(SegmentPlan, KeepsTheStretchesBetweenWidenedSegments) {
  struct {
    const char* Name;
    TRows Rows;
    int32_t LengthMs;
    int32_t MarginMs;
    TPoints CutPoints;
    int Counted;  // CountPieces, as the captions would count before empty pieces are dropped
    const char* Pieces;
  } cases[] = {
      {"one in the middle",
       {{"00:00:05.0", "00:00:10.0"}},
       60000,
       100,
       {"00:00:00.0", "00:00:04.9", "00:00:10.1", "00:01:00.0"},
       2,
       "0-4900 10100-end"},
      {"from the start",
       {{"00:00:00.0", "00:00:10.0"}},
       60000,
       100,
       {"00:00:10.1", "00:01:00.0"},
       1,
       "10100-end"},
      {"to the end, same whole second",
       {{"00:00:05.0", "00:01:00.0"}},
       60040,
       100,
       {"00:00:00.0", "00:00:04.9", "00:01:00.1"},
       1,
       "0-4900"},
      {"within the last second counts as the end",
       {{"00:00:05.0", "00:00:59.2"}},
       59900,
       100,
       {"00:00:00.0", "00:00:04.9", "00:00:59.3"},
       1,
       "0-4900"},
      {"three inside",
       {{"00:00:05.0", "00:00:10.0"}, {"00:00:20.0", "00:00:25.0"}, {"00:00:40.0", "00:00:41.0"}},
       60000,
       100,
       {"00:00:00.0", "00:00:04.9", "00:00:10.1", "00:00:19.9", "00:00:25.1", "00:00:39.9",
        "00:00:41.1", "00:01:00.0"},
       4,
       "0-4900 10100-19900 25100-39900 41100-end"},
      {"touching rows drop the piece between",
       {{"00:00:10.0", "00:00:20.0"}, {"00:00:20.0", "00:00:30.0"}},
       60000,
       100,
       {"00:00:00.0", "00:00:09.9", "00:00:20.1", "00:00:19.9", "00:00:30.1", "00:01:00.0"},
       3,
       "0-9900 30100-end"},
      {"rows a margin apart leave an empty piece",
       {{"00:00:10.0", "00:00:20.0"}, {"00:00:20.2", "00:00:30.0"}},
       60000,
       100,
       {"00:00:00.0", "00:00:09.9", "00:00:20.1", "00:00:20.1", "00:00:30.1", "00:01:00.0"},
       3,
       "0-9900 30100-end"},
      {"everything removed", {{"00:00:00.0", "00:01:00.0"}}, 60000, 100, {"00:01:00.1"}, 0, ""},
      {"exact, no widening",
       {{"00:00:05.0", "00:00:10.0"}},
       60000,
       0,
       {"00:00:00.0", "00:00:05.0", "00:00:10.0", "00:01:00.0"},
       2,
       "0-5000 10000-end"},
      {"a tail past the file's true end",
       {{"00:00:05.0", "00:00:59.9"}},
       60000,
       100,
       {"00:00:00.0", "00:00:04.9", "00:01:00.0", "00:01:00.0"},
       2,
       "0-4900"},
      {"no rows", {}, 60000, 100, {}, 0, ""},
  };
  for (const auto& c : cases) {
    const TSegmentPlan plan = PlanSegmentCut(c.Rows, c.LengthMs, c.MarginMs);
    EXPECT_EQ(plan.CutPoints, c.CutPoints) << c.Name;
    EXPECT_EQ(PiecesText(plan.Pieces), c.Pieces) << c.Name;
    if (c.MarginMs == kSegmentMarginMs) {
      // The window's count is the cut points in pairs, before empty pieces are dropped.
      EXPECT_EQ(CountPieces(c.Rows, MsToTimeText(c.LengthMs)), c.Counted) << c.Name;
    }
  }
}

TEST(SegmentPlan, RowsAreInSequenceUnlessOneStartsBeforeAnEarlierEnd) {
  struct {
    TRows Rows;
    bool InSequence;
  } cases[] = {
      {{{"00:00:10.0", "00:00:20.0"}, {"00:00:15.0", "00:00:30.0"}}, false},
      {{{"00:00:10.0", "00:00:20.0"}, {"00:00:20.0", "00:00:30.0"}}, true},
      {{{"00:00:30.0", "00:00:40.0"}, {"00:00:10.0", "00:00:20.0"}}, false},
      {{{"00:00:01.0", "00:00:50.0"}, {"00:00:55.0", "00:00:56.0"}, {"00:00:20.0", "00:00:21.0"}},
       false},
      {{{"00:00:01.0", "00:00:02.0"}}, true},
  };
  for (const auto& c : cases) EXPECT_EQ(RowsInSequence(c.Rows), c.InSequence);
}

}  // namespace
