// SPDX-License-Identifier: GPL-3.0-or-later
// The fields the command line's "info" prints.

#include <gtest/gtest.h>

#include "formats/media/media_info.h"
#include "media_source_support.h"
#include "pipeline/au_exception.h"

namespace trimora::media::test {
namespace {

TEST(MediaInfo, Mp3AndWmaFilesReportFormatLengthRateAndTags) {
  const auto mp3 = ReadMediaFileInfo(MediaFixturePath("mp3_ffmpeg_cbr96_48k_stereo.mp3"));
  EXPECT_EQ(mp3.Format, "MP3");
  EXPECT_TRUE(mp3.Valid);
  EXPECT_FALSE(mp3.Protected);
  EXPECT_EQ(mp3.Channels, 2);
  EXPECT_EQ(mp3.SampleRate, 48000);
  EXPECT_EQ(mp3.BitsPerSample, 16);
  EXPECT_EQ(mp3.Duration, 100u);
  EXPECT_EQ(mp3.TotalSamples, 48000 + 16000);
  EXPECT_EQ(mp3.Bitrate, 96000u);
  EXPECT_FALSE(mp3.VBR);
  EXPECT_EQ(mp3.Title, u"FF Title");
  EXPECT_EQ(mp3.Artist, u"FF Artist");
  EXPECT_EQ(mp3.Track, "3");
  EXPECT_EQ(mp3.Year, "1999");

  const auto wma = ReadMediaFileInfo(MediaFixturePath("wma_v2_24k_8k_mono_wmnames.wma"));
  EXPECT_EQ(wma.Format, "WMA");
  EXPECT_EQ(wma.Channels, 1);
  EXPECT_EQ(wma.SampleRate, 8000);
  EXPECT_TRUE(wma.VBR);
  EXPECT_EQ(wma.Track, "5");
  EXPECT_EQ(wma.Year, "1987");
}

TEST(MediaInfo, ProtectedFilesSayOnlyThat) {
  const auto info = ReadMediaFileInfo(MediaFixturePath("wma_protected.wma"));
  EXPECT_TRUE(info.Protected);
  EXPECT_FALSE(info.Valid);
  EXPECT_EQ(info.Channels, 0);
}

TEST(MediaInfo, OtherNamesAreRefused) {
  EXPECT_TRUE(IsMediaFileName("a/B.MP3"));
  EXPECT_TRUE(IsMediaFileName("x.wma"));
  EXPECT_FALSE(IsMediaFileName("x.wav"));
  EXPECT_FALSE(IsMediaFileName("mp3"));
  EXPECT_THROW(ReadMediaFileInfo(MediaFixturePath("expected.txt")), EAuException);
}

}  // namespace
}  // namespace trimora::media::test
