// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding through the runtime against FFmpeg's own command-line decoding of the same files.

#include <gtest/gtest.h>

#include <cmath>

#include "media_test_support.h"

namespace trimora::media::test {
namespace {

class MediaRuntimeDecode : public ::testing::TestWithParam<TExpected> {};

TEST_P(MediaRuntimeDecode, WholeFileMatchesFfmpegSampleForSample) {
  const TExpected& e = GetParam();
  auto reader = OpenForReading(LoadMediaFixture(e.File));
  ASSERT_NE(reader, nullptr);
  TMediaType type;
  ASSERT_TRUE(Succeeded(reader->GetOutputProps(0, type)));
  EXPECT_EQ(type.Format.SamplesPerSec, static_cast<uint32_t>(e.Rate));
  EXPECT_EQ(type.Format.Channels, e.Channels);
  EXPECT_EQ(type.Format.BitsPerSample, 16);

  const auto pcm = ReadToEnd(*reader);
  EXPECT_EQ(static_cast<int64_t>(pcm.size()), e.Frames * e.Channels * 2);
  EXPECT_EQ(Md5Hex(pcm), e.Md5);
}

TEST_P(MediaRuntimeDecode, DurationIsWhatTheFileDecodesToForMp3AndTheHeaderForWma) {
  const TExpected& e = GetParam();
  TMediaSyncReader reader;
  ASSERT_TRUE(
      Succeeded(reader.OpenStream(std::make_shared<TBytesStream>(LoadMediaFixture(e.File)))));
  TMediaValue value;
  ASSERT_TRUE(Succeeded(reader.GetAttributeByName(0, "Duration", value)));
  ASSERT_TRUE(std::holds_alternative<uint64_t>(value));
  const auto duration = std::get<uint64_t>(value);
  if (IsMp3(e.File)) {
    EXPECT_EQ(duration, static_cast<uint64_t>((e.Frames * 10000000 + e.Rate / 2) / e.Rate));
  } else {
    // ffprobe prints the header's play time less preroll, in whole milliseconds.
    EXPECT_EQ(duration, static_cast<uint64_t>(std::llround(e.ProbeDuration * 1000)) * 10000);
  }
}

TEST_P(MediaRuntimeDecode, SampleTimesFollowTheDeliveredFrames) {
  const TExpected& e = GetParam();
  auto reader = OpenForReading(LoadMediaFixture(e.File));
  ASSERT_NE(reader, nullptr);
  TMediaSample sample;
  int64_t frames = 0;
  while (Succeeded(reader->GetNextSample(1, sample))) {
    ASSERT_EQ(sample.Time, (frames * 10000000 + e.Rate / 2) / e.Rate);
    frames += static_cast<int64_t>(sample.Bytes.size()) / (2 * e.Channels);
  }
  EXPECT_EQ(frames, e.Frames);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, MediaRuntimeDecode, ::testing::ValuesIn(ExpectedFixtures()),
                         [](const auto& info) {
                           std::string name = info.param.File;
                           for (char& c : name)
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

TEST(MediaRuntimeFormats, EightBitOutputFollowsTheSixteenBitOne) {
  const std::string file = "mp3_lame_cbr128_44k_stereo.mp3";
  auto wide = OpenForReading(LoadMediaFixture(file), 16);
  auto narrow = OpenForReading(LoadMediaFixture(file), 8);
  ASSERT_NE(wide, nullptr);
  ASSERT_NE(narrow, nullptr);
  const auto pcm16 = ReadToEnd(*wide);
  const auto pcm8 = ReadToEnd(*narrow);
  ASSERT_EQ(pcm8.size() * 2, pcm16.size());
  for (size_t i = 0; i < pcm8.size(); ++i) {
    const int s16 = static_cast<int16_t>(pcm16[2 * i] | (pcm16[2 * i + 1] << 8));
    ASSERT_NEAR(pcm8[i], (s16 >> 8) + 128, 1) << "sample " << i;
  }
}

TEST(MediaRuntimeFormats, OffersTheFilesRateAndChannelsAtEightAndSixteenBits) {
  for (const std::string file : {"mp3_lame_cbr32_22k_mono.mp3", "wma_v2_64k_48k_stereo.wma"}) {
    TMediaSyncReader reader;
    ASSERT_TRUE(
        Succeeded(reader.OpenStream(std::make_shared<TBytesStream>(LoadMediaFixture(file)))));
    uint32_t outputs = 0;
    ASSERT_TRUE(Succeeded(reader.GetOutputCount(outputs)));
    ASSERT_EQ(outputs, 1u);
    // Discrete output changes nothing for a file of one or two channels.
    ASSERT_TRUE(Succeeded(reader.SetOutputSetting(0, "EnableDiscreteOutput", true)));
    uint32_t count = 0;
    ASSERT_TRUE(Succeeded(reader.GetOutputFormatCount(0, count)));
    ASSERT_EQ(count, 2u) << file;
    const TExpected& e = Expected(file);
    for (uint32_t i = 0; i < count; ++i) {
      TMediaType type;
      ASSERT_TRUE(Succeeded(reader.GetOutputFormat(0, i, type)));
      EXPECT_EQ(type.MajorType, TMediaMajorType::Audio);
      EXPECT_EQ(type.FormatType, TMediaFormatType::WaveFormatEx);
      EXPECT_EQ(type.Format.Channels, e.Channels);
      EXPECT_EQ(type.Format.SamplesPerSec, static_cast<uint32_t>(e.Rate));
      EXPECT_EQ(type.Format.BitsPerSample, i == 0 ? 8 : 16);
    }
    TMediaType other{TMediaMajorType::Audio,
                     TMediaFormatType::WaveFormatEx,
                     {static_cast<uint16_t>(e.Channels), static_cast<uint32_t>(e.Rate), 24}};
    EXPECT_EQ(reader.SetOutputProps(0, other), TMediaResult::InvalidArgument);
    other.Format = {6, static_cast<uint32_t>(e.Rate), 16};
    EXPECT_EQ(reader.SetOutputProps(0, other), TMediaResult::InvalidArgument);
    EXPECT_EQ(reader.SetOutputSetting(0, "SpeakerConfig", true), TMediaResult::InvalidArgument);
    EXPECT_EQ(reader.SetReadStreamSamples(1, true), TMediaResult::Fail);
  }
}

}  // namespace
}  // namespace trimora::media::test
