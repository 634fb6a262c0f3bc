// SPDX-License-Identifier: GPL-3.0-or-later
// Seeking through the runtime: after SetRange(t) the first frame is frame round(t x rate)
// of a straight decode, and what follows is the straight decode sample for sample.

#include <gtest/gtest.h>

#include <algorithm>

#include "media_test_support.h"
#include "test_support.h"

namespace trimora::media::test {
namespace {

int64_t FrameAt(uint64_t time, int rate) {
  return static_cast<int64_t>((time * static_cast<uint64_t>(rate) + 5000000) / 10000000);
}

uint64_t TimeOf(int64_t frame, int rate) {
  return static_cast<uint64_t>((frame * 10000000 + rate / 2) / rate);
}

class MediaRuntimeSeek : public ::testing::TestWithParam<TExpected> {
 protected:
  void SetUp() override {
    const TExpected& e = GetParam();
    auto reader = OpenForReading(LoadMediaFixture(e.File));
    ASSERT_NE(reader, nullptr);
    Straight = ReadToEnd(*reader);
    FrameBytes = static_cast<size_t>(e.Channels) * 2;
    ASSERT_EQ(Straight.size(), static_cast<size_t>(e.Frames) * FrameBytes);
  }

  // The straight decode's frames [first, end).
  std::vector<uint8_t> Slice(int64_t first, int64_t end) const {
    const int64_t frames = static_cast<int64_t>(Straight.size() / FrameBytes);
    first = std::clamp<int64_t>(first, 0, frames);
    end = std::clamp<int64_t>(end, first, frames);
    return {Straight.begin() + first * static_cast<int64_t>(FrameBytes),
            Straight.begin() + end * static_cast<int64_t>(FrameBytes)};
  }

  std::vector<uint8_t> Straight;
  size_t FrameBytes = 0;
};

TEST_P(MediaRuntimeSeek, EveryTargetStartsAtItsExactFrame) {
  const TExpected& e = GetParam();
  const int64_t n = e.Frames;
  // Frame boundaries of the codecs (384, 576, 1152; 512, 1024, 2048), their neighbours,
  // the middle and the end, and past the end.
  const std::vector<int64_t> frames = {0,     1,         47,       383,   576,  1151,
                                       1152,  1153,      2047,     2048,  4097, 5000,
                                       n / 2, n / 2 + 1, n - 2400, n - 1, n,    n + 999};
  auto reader = OpenForReading(LoadMediaFixture(e.File));
  ASSERT_NE(reader, nullptr);
  for (int64_t frame : frames) {
    if (frame < 0) continue;
    SCOPED_TRACE("frame " + std::to_string(frame));
    ASSERT_TRUE(Succeeded(reader->SetRange(TimeOf(frame, e.Rate), 0)));
    const auto pcm = ReadToEnd(*reader);
    const auto expected = Slice(frame, n);
    ASSERT_EQ(pcm.size(), expected.size());
    ASSERT_TRUE(pcm == expected);
  }
}

TEST_P(MediaRuntimeSeek, UnalignedTimesRoundToTheNearestFrame) {
  const TExpected& e = GetParam();
  auto reader = OpenForReading(LoadMediaFixture(e.File));
  ASSERT_NE(reader, nullptr);
  for (uint64_t time : {uint64_t{1234567}, uint64_t{3333333}, uint64_t{7654321}, uint64_t{49}}) {
    SCOPED_TRACE("time " + std::to_string(time));
    ASSERT_TRUE(Succeeded(reader->SetRange(time, 0)));
    TMediaSample sample;
    ASSERT_EQ(reader->GetNextSample(1, sample), TMediaResult::Ok);
    const int64_t frame = FrameAt(time, e.Rate);
    const auto expected =
        Slice(frame, frame + static_cast<int64_t>(sample.Bytes.size() / FrameBytes));
    ASSERT_TRUE(sample.Bytes == expected);
    EXPECT_EQ(sample.Time, static_cast<int64_t>(TimeOf(frame, e.Rate)));
  }
}

TEST_P(MediaRuntimeSeek, ARangeDeliversExactlyItsFrames) {
  const TExpected& e = GetParam();
  auto reader = OpenForReading(LoadMediaFixture(e.File));
  ASSERT_NE(reader, nullptr);
  const int64_t n = e.Frames;
  struct TCase {
    int64_t First;
    int64_t Count;
  };
  // Later ranges first: each seek goes backwards as well as forwards.
  for (const TCase c : {TCase{n / 2, n / 4}, TCase{3000, 1}, TCase{0, 100}, TCase{n - 500, 2000},
                        TCase{1153, 4096}}) {
    SCOPED_TRACE("first " + std::to_string(c.First) + " count " + std::to_string(c.Count));
    const uint64_t start = TimeOf(c.First, e.Rate);
    const uint64_t stop = TimeOf(c.First + c.Count, e.Rate);
    ASSERT_TRUE(Succeeded(reader->SetRange(start, static_cast<int64_t>(stop - start))));
    const auto pcm = ReadToEnd(*reader);
    ASSERT_TRUE(pcm == Slice(c.First, c.First + c.Count));
  }
}

// MP3s of 44.1 and 48 kHz joined by cat read on at the first rate, the later part converted.
// A seek before, at, into and past the converted part lands on the straight decode's frame:
// the conversion starts afresh where the straight decode started it.
TEST(MediaRuntimeSeekAcrossRates, EveryTargetStartsAtItsExactFrame) {
  const test_support::TTempFolder folder;
  const auto bytes = test_support::ShellBytes(
      "cd '" + folder.Path().string() +
      "' && ffmpeg -nostdin -v error -f lavfi -i 'sine=f=300:d=1' a.wav && "
      "lame --quiet -t -b 64 a.wav a.mp3 && lame --quiet -t -b 64 --resample 48 a.wav b.mp3 "
      "&& cat a.mp3 b.mp3 a.mp3");
  auto reader = OpenForReading(bytes);
  ASSERT_NE(reader, nullptr);
  const auto straight = ReadToEnd(*reader);
  const auto n = static_cast<int64_t>(straight.size() / 2);
  ASSERT_GT(n, 3 * 44100);       // three seconds, none of them cut off at the change
  const int64_t change = n / 3;  // about where the 48 kHz part starts
  for (const int64_t frame : {int64_t{500}, change - 2000, change, change + 700, n / 2,
                              2 * change + 1500, n - 300, int64_t{1}}) {
    SCOPED_TRACE("frame " + std::to_string(frame));
    ASSERT_TRUE(Succeeded(reader->SetRange(TimeOf(frame, 44100), 0)));
    const auto pcm = ReadToEnd(*reader);
    const int64_t first = FrameAt(TimeOf(frame, 44100), 44100);
    ASSERT_EQ(static_cast<int64_t>(pcm.size()), 2 * (n - first));
    ASSERT_TRUE(std::equal(pcm.begin(), pcm.end(), straight.begin() + 2 * first));
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, MediaRuntimeSeek, ::testing::ValuesIn(ExpectedFixtures()),
                         [](const auto& info) {
                           std::string name = info.param.File;
                           for (char& c : name)
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
}  // namespace trimora::media::test
