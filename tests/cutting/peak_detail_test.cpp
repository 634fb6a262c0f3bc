// SPDX-License-Identifier: GPL-3.0-or-later
// The close view's finer columns and the coarse level beside the overview: both must give
// what the overview gives where they overlap, or a zoom would move the sound on screen.
#include "cutting/peaks/peak_detail.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "cutting/peaks/peak_builder.h"
#include "cutting/peaks/peak_levels.h"
#include "peak_test_support.h"

using namespace peaktest;

namespace {

bool Same(TPeak a, TPeak b) {
  return a.Min == b.Min && a.Max == b.Max;
}

TPeakDetail::TStretch Detail(const std::filesystem::path& file, int64_t fromMs, int64_t toMs) {
  TPeakDetail detail;
  detail.Request(file, fromMs, toMs);
  detail.Wait();
  EXPECT_TRUE(detail.Covers(file, fromMs, toMs));
  return detail.Snapshot();
}

// Every stretch, long or short, at either end or past it, has the overview's own envelope.
TEST(PeakLevels, EnvelopesEqualTheOverviewsOverEveryStretch) {
  TPeakOverview overview{2, 44100, 0, {}, true};
  std::srand(7);
  for (int k = 0; k < 1000 * 2; ++k) {
    const auto a = static_cast<int16_t>(std::rand() % 60000 - 30000);
    const auto b = static_cast<int16_t>(std::rand() % 60000 - 30000);
    overview.Peaks.push_back({std::min(a, b), std::max(a, b)});
  }
  TPeakLevels levels;
  levels.Set(overview);
  for (int64_t first = -3; first < 1010; first += 7)
    for (int64_t last = first; last < 1040; last += 13)
      ASSERT_TRUE(Same(levels.Envelope(first, last), overview.Envelope(first, last)))
          << first << ".." << last;
}

// Ten finer columns of a WAV are exactly the overview's column they make up; the click of an
// MP3 lands on its millisecond. A stretch past the end stops at the end of the sound.
TEST(PeakDetail, FinerColumnsMatchTheOverviewAndFindTheClick) {
  TScratch dir;
  const auto wav = dir / "probe.wav";
  WriteWav(wav, 44100, 2, ProbeSignal(44100, 2));
  const auto mp3 = dir / "probe.mp3";
  ASSERT_TRUE(Ffmpeg("-i " + Quoted(wav) + " -c:a libmp3lame -b:a 192k " + Quoted(mp3)));
  TPeakBuilder builder;
  builder.Start(wav);
  builder.Wait();
  const TPeakOverview overview = builder.Snapshot();

  const TPeakDetail::TStretch stretch = Detail(wav, 800, 2400);
  ASSERT_TRUE(stretch.Peaks.Complete);
  ASSERT_EQ(stretch.Peaks.Columns(), 1600);
  for (int64_t m = 0; m < 160; ++m)
    ASSERT_TRUE(Same(stretch.Peaks.Envelope(10 * m, 10 * m + 10), overview.Envelope(80 + m, 81 + m)))
        << "overview column " << 80 + m;

  const int64_t clickMs = ClickFrame(44100) * 1000 / 44100;
  for (const auto& file : {wav, mp3}) {
    const TPeakDetail::TStretch near = Detail(file, 2000, 2500);
    int64_t loudest = 0;
    for (int64_t j = 0; j < near.Peaks.Columns(); ++j)
      if (near.Peaks.At(j, 0).Max > near.Peaks.At(loudest, 0).Max) loudest = j;
    EXPECT_NEAR(double(2000 + loudest), double(clickMs), 1) << file;
  }
  const TPeakDetail::TStretch end = Detail(wav, 2900, 4000);
  EXPECT_TRUE(end.Peaks.Complete);
  EXPECT_EQ(end.Peaks.Columns(), 100);
}

// A new request cancels the one before; what is kept is the last one asked for.
TEST(PeakDetail, TheLastRequestWins) {
  TScratch dir;
  const auto wav = dir / "probe.wav";
  WriteWav(wav, 8000, 1, ProbeSignal(8000, 1));
  TPeakDetail detail;
  detail.Request(wav, 0, 3000);
  detail.Request(wav, 100, 200);
  detail.Wait();
  EXPECT_FALSE(detail.Covers(wav, 0, 3000));
  const TPeakDetail::TStretch stretch = detail.Snapshot();
  EXPECT_EQ(stretch.FirstMs, 100);
  EXPECT_EQ(stretch.Peaks.Columns(), 100);
  detail.Request(dir / "missing.wav", 0, 100);
  detail.Wait();
  EXPECT_FALSE(detail.Snapshot().Peaks.Complete) << "an unreadable file leaves no columns";
}

}  // namespace
