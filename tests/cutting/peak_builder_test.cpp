// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/peaks/peak_builder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "cutting/peaks/peak_cache.h"
#include "cutting/peaks/peak_columns.h"
#include "peak_test_support.h"

using namespace peaktest;

namespace {

TPeakOverview Build(const std::filesystem::path& file, const std::filesystem::path& cache = {},
                    bool* fromCache = nullptr) {
  TPeakBuilder builder;
  builder.Start(file, cache);
  builder.Wait();
  EXPECT_TRUE(builder.Done());
  EXPECT_EQ(builder.Error(), "") << file;
  if (fromCache) *fromCache = builder.FromCache();
  return builder.Snapshot();
}

bool SamePeaks(const TPeakOverview& a, const TPeakOverview& b) {
  if (a.Channels != b.Channels || a.Peaks.size() != b.Peaks.size()) return false;
  for (size_t i = 0; i < a.Peaks.size(); ++i)
    if (a.Peaks[i].Min != b.Peaks[i].Min || a.Peaks[i].Max != b.Peaks[i].Max) return false;
  return true;
}

struct TWavCase {
  int Rate;
  int Channels;
};

class PeaksOfAWav : public ::testing::TestWithParam<TWavCase> {};

// The overview of a WAV is exact: the tone's second is loud, the click sits in its own
// column at full value, and every other column of the silence is zero.
TEST_P(PeaksOfAWav, ShowTheToneTheClickAndTheSilenceWhereTheyAre) {
  const auto [rate, channels] = GetParam();
  TScratch dir;
  WriteWav(dir / "probe.wav", rate, channels, ProbeSignal(rate, channels));
  const TPeakOverview peaks = Build(dir / "probe.wav");
  ASSERT_TRUE(peaks.Complete);
  ASSERT_EQ(peaks.Channels, channels);
  EXPECT_EQ(peaks.SampleRate, rate);
  EXPECT_EQ(peaks.Frames, int64_t{rate} * kSeconds);
  ASSERT_EQ(peaks.Columns(), kSeconds * 100);
  for (int c = 0; c < channels; ++c) {
    const int scale = c == 0 ? 1 : 2;
    for (int k = 0; k < 100; ++k) {
      EXPECT_GT(peaks.At(k, c).Max, kTone / scale - 1500) << "tone column " << k;
      EXPECT_LT(peaks.At(k, c).Min, -kTone / scale + 1500) << "tone column " << k;
    }
    for (int k = 100; k < peaks.Columns(); ++k) {
      const TPeak p = peaks.At(k, c);
      if (k == kClickColumn) {
        EXPECT_EQ(p.Max, kClick / scale);
        EXPECT_EQ(p.Min, -kClick / scale);
      } else {
        EXPECT_TRUE(p.Min == 0 && p.Max == 0) << "silent column " << k << " channel " << c;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, PeaksOfAWav,
                         ::testing::Values(TWavCase{44100, 2}, TWavCase{22050, 1},
                                           TWavCase{8000, 2}, TWavCase{11025, 1}));

// 24-bit, 32-bit, float and 6-channel copies of a 16-bit WAV hold the same samples, so
// they give the same peaks (the six channels folded into one envelope).
TEST(PeakBuilder, LosslessCopiesOfAWavGiveTheSamePeaks) {
  TScratch dir;
  const auto original = dir / "original.wav";
  WriteWav(original, 44100, 2, ProbeSignal(44100, 2));
  const TPeakOverview expected = Build(original);
  for (const std::string codec : {"pcm_s24le", "pcm_s32le", "pcm_f32le"}) {
    const auto copy = dir / (codec + ".wav");
    ASSERT_TRUE(Ffmpeg("-i " + Quoted(original) + " -c:a " + codec + " " + Quoted(copy)));
    EXPECT_TRUE(SamePeaks(Build(copy), expected)) << codec;
  }
  const auto wide = dir / "six.wav";
  ASSERT_TRUE(Ffmpeg("-i " + Quoted(original) +
                     " -af 'pan=5.1|c0=c0|c1=c1|c2=c0|c3=c1|c4=c0|c5=c1'"
                     " -c:a pcm_s16le " +
                     Quoted(wide)));
  const TPeakOverview folded = Build(wide);
  ASSERT_EQ(folded.Channels, 1);
  ASSERT_EQ(folded.Columns(), expected.Columns());
  for (int64_t k = 0; k < expected.Columns(); ++k) {
    const TPeak both = expected.Envelope(k, k + 1);
    EXPECT_TRUE(folded.At(k, 0).Min == both.Min && folded.At(k, 0).Max == both.Max) << k;
  }
}

// The overview of what FFmpeg decodes from `file`, as 16-bit stereo.
TPeakOverview ReferencePeaks(const std::filesystem::path& file, const TScratch& dir) {
  const auto raw = dir / "reference.raw";
  EXPECT_TRUE(Ffmpeg("-i " + Quoted(file) + " -f s16le -ac 2 " + Quoted(raw)));
  std::ifstream in(raw, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  TPeakColumns columns(2, 16, 44100);
  TPeakOverview o;
  o.Channels = 2;
  columns.Add(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), o.Peaks);
  columns.Finish(o.Peaks);
  return o;
}

int64_t LoudestColumnAfterTheTone(const TPeakOverview& peaks) {
  int64_t loudest = -1;
  int16_t level = 0;
  for (int64_t k = 120; k < peaks.Columns(); ++k) {
    if (peaks.At(k, 0).Max > level) {
      level = peaks.At(k, 0).Max;
      loudest = k;
    }
  }
  return loudest;
}

// Compressed files go through the MP3 and WMA sources. The coders move and smear the click
// (FFmpeg's WMA by whole blocks); the overview puts it where FFmpeg's own decoding does,
// and leaves the silence before it close to zero.
TEST(PeakBuilder, CompressedFilesShowTheClickWhereFfmpegDecodesIt) {
  TScratch dir;
  const auto wav = dir / "probe.wav";
  WriteWav(wav, 44100, 2, ProbeSignal(44100, 2));
  for (const std::string ext : {"mp3", "wma"}) {
    const auto file = dir / ("probe." + ext);
    const std::string codec = ext == "mp3" ? "libmp3lame" : "wmav2";
    ASSERT_TRUE(Ffmpeg("-i " + Quoted(wav) + " -c:a " + codec + " -b:a 128k " + Quoted(file)));
    const TPeakOverview peaks = Build(file);
    const TPeakOverview reference = ReferencePeaks(file, dir);
    ASSERT_TRUE(peaks.Complete) << ext;
    ASSERT_EQ(peaks.Channels, 2) << ext;
    EXPECT_NEAR(double(peaks.Columns()), double(reference.Columns()), 2) << ext;
    const int64_t click = LoudestColumnAfterTheTone(peaks);
    EXPECT_NEAR(double(click), double(LoudestColumnAfterTheTone(reference)), 1) << ext;
    EXPECT_NEAR(double(click), kClickColumn, 6) << ext;
    EXPECT_GT(peaks.At(click, 0).Max, 10000) << ext;
    const TPeak quiet = peaks.Envelope(130, click - 8);
    EXPECT_LT(std::max(-int{quiet.Min}, int{quiet.Max}), 400) << ext;
  }
}

TEST(PeakBuilder, UnreadableFilesEndWithAnErrorAndNoPeaks) {
  TScratch dir;
  std::ofstream(dir / "text.wav") << "this is not a RIFF file at all";
  std::ofstream(dir / "text.mp3") << "nor an MPEG stream";
  for (const std::string name : {"text.wav", "text.mp3", "missing.wma"}) {
    TPeakBuilder builder;
    builder.Start(dir / name);
    builder.Wait();
    EXPECT_TRUE(builder.Done()) << name;
    EXPECT_NE(builder.Error(), "") << name;
    EXPECT_EQ(builder.Snapshot().Columns(), 0) << name;
  }
}

// Cancel returns only when the thread has ended: nothing arrives after it, the overview is
// left incomplete, no cache entry claims it, and the same builder starts over cleanly.
TEST(PeakBuilder, CancelStopsTheBuildAndTheBuilderStartsAgain) {
  TScratch dir;
  const auto long_mp3 = dir / "long.mp3";
  ASSERT_TRUE(
      Ffmpeg("-f lavfi -i sine=frequency=300:sample_rate=8000:duration=900 -ac 1"
             " -c:a libmp3lame -b:a 8k " +
             Quoted(long_mp3)));
  TPeakBuilder builder;
  builder.Start(long_mp3, dir / "cache");
  while (builder.Snapshot().Columns() == 0 && !builder.Done()) std::this_thread::yield();
  builder.Cancel();
  EXPECT_TRUE(builder.Done());
  const uint64_t revision = builder.Revision();
  const TPeakOverview partial = builder.Snapshot();
  EXPECT_FALSE(partial.Complete);
  EXPECT_LT(partial.Columns(), 900 * 100);
  EXPECT_EQ(builder.Revision(), revision);
  EXPECT_FALSE(peak_cache::Load(dir / "cache", *peak_cache::KeyOf(long_mp3)));

  const auto wav = dir / "probe.wav";
  WriteWav(wav, 8000, 1, ProbeSignal(8000, 1));
  builder.Start(wav);
  builder.Wait();
  EXPECT_TRUE(builder.Snapshot().Complete);
  EXPECT_EQ(builder.Snapshot().Columns(), kSeconds * 100);
}

// A second opening of the same file takes the cached peaks; a file changed since (another
// modification time) is decoded again.
TEST(PeakBuilder, CachedPeaksAreReusedUntilTheFileChanges) {
  TScratch dir;
  const auto wav = dir / "probe.wav";
  WriteWav(wav, 22050, 2, ProbeSignal(22050, 2));
  bool fromCache = true;
  const TPeakOverview first = Build(wav, dir / "cache", &fromCache);
  EXPECT_FALSE(fromCache);
  const TPeakOverview second = Build(wav, dir / "cache", &fromCache);
  EXPECT_TRUE(fromCache);
  EXPECT_TRUE(SamePeaks(first, second));
  EXPECT_EQ(second.Frames, first.Frames);

  WriteWav(wav, 22050, 1, ProbeSignal(22050, 1));
  std::filesystem::last_write_time(wav,
                                   std::filesystem::last_write_time(wav) + std::chrono::seconds(5));
  const TPeakOverview third = Build(wav, dir / "cache", &fromCache);
  EXPECT_FALSE(fromCache);
  EXPECT_EQ(third.Channels, 1);
}

}  // namespace
