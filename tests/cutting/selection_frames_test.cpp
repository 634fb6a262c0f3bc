// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/time/selection_frames.h"

#include <gtest/gtest.h>

namespace {

TEST(SelectionToFrames, EachEndIsTheFrameAtItsShownTime) {
  struct {
    int32_t StartMs, EndMs;
    bool ToEnd;
    int Rate;
    int64_t Start, End;
  } cases[] = {
      // The start thumb at 10 of a 10.3 s file shows 00:00:05.0: the cut starts at 5.0 s,
      // not at 10/20 of the file's length.
      {5000, 10000, true, 44100, 220500, -1},
      {5000, 7500, false, 44100, 220500, 330750},
      {1300, 2700, false, 48000, 62400, 129600},
      {100, 300, false, 11025, 1102, 3308},  // halves round to even
      {0, 0, true, 22050, 0, -1},            // a file too short for the bar: all of it
      {4000, 4000, false, 8000, 32000, 32000},
      {4000, 3000, false, 8000, 32000, 32000},  // an end before the start is the start
      {-500, 1000, false, 8000, 0, 8000},
  };
  for (const auto& c : cases) {
    const TFrameRange range = SelectionToFrames(c.StartMs, c.EndMs, c.ToEnd, c.Rate);
    EXPECT_EQ(range.StartSample, c.Start) << c.StartMs << ".." << c.EndMs;
    EXPECT_EQ(range.EndSample, c.End) << c.StartMs << ".." << c.EndMs;
  }
}

}  // namespace
