// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/operations/silence_detect.h"

#include <gtest/gtest.h>

#include <thread>

#include "cutting/kinds/kind_registry.h"
#include "test_support.h"

namespace {

constexpr int kRate = 44100;

using test_support::PausedTones;

TEST(SilenceDetect, FindsThePausesButNotTheDipInEveryKind) {
  const test_support::TTempFolder folder;
  struct {
    const char* Name;
    // Frames: an encoder's smear of the tone's edges; the WAV's edges lie on windows' edges.
    int64_t Tolerance;
  } cases[] = {{"tones.wav", 0}, {"tones.mp3", kRate / 20}, {"tones.wma", kRate / 20}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    test_support::WriteClickFile(folder / c.Name, PausedTones());
    TOpenedSource opened = OpenSource(folder / c.Name);
    TSilenceDetector detector;
    int lastPercent = -1;
    const auto found =
        detector.Detect(*opened.Source, {}, [&](int percent) { lastPercent = percent; });
    EXPECT_EQ(lastPercent, 100);
    ASSERT_EQ(found.size(), 2u);
    const int64_t expected[][2] = {{4 * kRate, 7 * kRate}, {12 * kRate, 15 * kRate}};
    for (size_t k = 0; k < 2; ++k) {
      EXPECT_NEAR(found[k].Start, expected[k][0], c.Tolerance) << k;
      EXPECT_NEAR(found[k].End, expected[k][1], c.Tolerance) << k;
    }
  }
}

TEST(SilenceDetect, TheThresholdAndTheShortestPauseDecide) {
  const test_support::TTempFolder folder;
  test_support::WriteClickFile(folder / "tones.wav", PausedTones());
  TOpenedSource opened = OpenSource(folder / "tones.wav");
  TSilenceDetector detector;
  // The dip counts once a second is long enough; the hiss is not silence below -90 dBFS.
  EXPECT_EQ(detector.Detect(*opened.Source, {-50, 900}).size(), 3u);
  EXPECT_EQ(detector.Detect(*opened.Source, {-90, 900}).size(), 0u);
  EXPECT_EQ(detector.FramesRead(), 17 * kRate);
}

TEST(SilenceDetect, StopsWhenAskedFromAnotherThread) {
  const test_support::TTempFolder folder;
  auto sound = PausedTones();
  sound.Frames = int64_t{120} * kRate;
  test_support::WriteClickFile(folder / "long.wav", sound);
  TOpenedSource opened = OpenSource(folder / "long.wav");
  TSilenceDetector detector;
  std::atomic<bool> started{false};
  std::thread stopper([&] {
    while (!started) std::this_thread::yield();
    detector.Stop();
  });
  // The first block waits for the stop, so the pass cannot end before it.
  detector.Detect(*opened.Source, {}, [&](int) {
    started = true;
    while (!detector.Stopped()) std::this_thread::yield();
  });
  stopper.join();
  EXPECT_TRUE(detector.Stopped());
  EXPECT_LT(detector.FramesRead(), sound.Frames);
}

}  // namespace
