// SPDX-License-Identifier: GPL-3.0-or-later
// The encoder settings an MP3 cut derives from its source.
#include <gtest/gtest.h>

#include "cutting/kinds/mp3_cut_settings.h"

namespace {

TEST(BitRateToMP3BitRate, OnlyExactRatesMatch) {
  const std::pair<uint32_t, TMP3BitRate> rows[] = {
      {0, mbrAuto},     {31999, mbrAuto}, {32000, mbr32},   {40000, mbr40},   {48000, mbr48},
      {56000, mbr56},   {64000, mbr64},   {80000, mbr80},   {96000, mbr96},   {112000, mbr112},
      {128000, mbr128}, {144000, mbr144}, {160000, mbr160}, {192000, mbr192}, {224000, mbr224},
      {256000, mbr256}, {320000, mbr320}, {32001, mbr128},  {159999, mbr128}, {UINT32_MAX, mbr128},
  };
  for (const auto& [bps, setting] : rows) EXPECT_EQ(BitRateToMP3BitRate(bps), setting) << bps;
}

TEST(ApplyMP3SourceSettings, ModeFollowsOneOrTwoChannelsAndStaysOtherwise) {
  TMP3Settings settings;
  settings.Mode = mmMono;
  ApplyMP3SourceSettings(settings, {160000, 2, true, true, {}});
  EXPECT_EQ(settings.Mode, mmStereo);
  EXPECT_EQ(settings.BitRate, mbrAuto) << "VBR sets no floor";
  EXPECT_EQ(settings.VBRQuality, mp3ql4);
  EXPECT_TRUE(settings.EnableVBR);
  EXPECT_TRUE(settings.Copyright);
  ApplyMP3SourceSettings(settings, {128000, 6, false, false, {}});
  EXPECT_EQ(settings.Mode, mmStereo) << "the earlier cut's mode is kept";
  EXPECT_FALSE(settings.EnableVBR);
  EXPECT_FALSE(settings.Copyright);
  ApplyMP3SourceSettings(settings, {8000, 1, false, false, {}});
  EXPECT_EQ(settings.Mode, mmMono);
  EXPECT_EQ(settings.BitRate, mbrAuto);
}

TEST(NearestVBRQuality, TheAverageRatePicksTheQuality) {
  const struct {
    uint32_t Bps;
    int Channels;
    TMP3Quality Quality;
  } rows[] = {{320000, 2, mp3ql0}, {245000, 2, mp3ql0}, {151000, 2, mp3ql4}, {130000, 2, mp3ql5},
              {34000, 2, mp3ql9},  {0, 2, mp3ql9},      {100000, 1, mp3ql2}, {34000, 1, mp3ql9}};
  for (const auto& r : rows)
    EXPECT_EQ(NearestVBRQuality(r.Bps, r.Channels), r.Quality) << r.Bps << " " << r.Channels;
}

// Stands in for the MP3 source: the routine reads only these members.
struct TFakeSource {
  uint32_t Bitrate() const { return 96000; }
  int Channels() const { return 1; }
  bool IsVBR() const { return true; }
  bool IsProtected() const { return false; }
  TId3v2Tags& Id3v2Tags() { return Tags; }
  TId3v2Tags Tags;
};

TEST(SetUpMP3Cut, CarriesTagsAndSettingsIntoTheSink) {
  TFakeSource source;
  source.Tags.SetTitle(u"Title");
  source.Tags.SetYear("2015");
  TMP3Out sink;
  sink.Mode = mmStereo;
  SetUpMP3Cut(source, {}, sink);
  EXPECT_EQ(sink.BitRate, mbrAuto);
  EXPECT_EQ(sink.VBRQuality, mp3ql2) << "96 kbps mono is about 190 kbps stereo";
  EXPECT_EQ(sink.Mode, mmMono);
  EXPECT_TRUE(sink.EnableVBR);
  EXPECT_EQ(sink.Id3v2Tags().Title(), u"Title");
  EXPECT_EQ(sink.Id3v1Tags().Title(), "Title");
  EXPECT_EQ(sink.Id3v1Tags().Year(), 2015);
}

}  // namespace
