// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/time/sample_frames.h"

#include <gtest/gtest.h>

namespace {

TEST(SampleFrames, MillisecondsRoundToTheNearestFrameWithHalvesToEven) {
  struct {
    int64_t Ms, Rate, Frame;
  } cases[] = {
      {0, 44100, 0},        {5000, 44100, 220500},
      {1500, 44100, 66150}, {100, 11025, 1102},  // 1102.5 rounds to even
      {300, 11025, 3308},                        // 3307.5 rounds to even
      {1, 44100, 44},                            // 44.1
      {1, 22050, 22},                            // 22.05
      {7, 8000, 56},        {359999900, 48000, 17279995200},
  };
  for (const auto& c : cases) EXPECT_EQ(MsToSampleFrame(c.Ms, c.Rate), c.Frame) << c.Ms;
}

TEST(SampleFrames, FramesToMillisecondsRoundsDown) {
  EXPECT_EQ(SampleFramesToMs(44099, 44100), 999);
  EXPECT_EQ(SampleFramesToMs(52920000, 44100), 1200000);
  EXPECT_EQ(SampleFramesToMs(10, 0), 0);
}

}  // namespace
