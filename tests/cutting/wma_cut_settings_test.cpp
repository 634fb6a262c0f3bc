// SPDX-License-Identifier: GPL-3.0-or-later
// The WMA format a cut chooses from its source, and what it carries into the sink.
#include <gtest/gtest.h>

#include "cutting/kinds/wma_cut_settings.h"
#include "formats/media/wm_in.h"

namespace {

TEST(SourceFormatLabel, SnapsBitRatesIntoTheirBandsAndSpellsRateAndChannels) {
  const struct {
    uint32_t Bitrate, Rate;
    int Channels;
    const char* Label;
  } rows[] = {
      {128000, 44100, 2, "128 kbps, 44 kHz, stereo"},
      {127993, 44100, 2, "128 kbps, 44 kHz, stereo"},
      {95000, 8000, 1, "96 kbps,  8 kHz, mono"},
      {90999, 48000, 6, "90 kbps, 48 kHz, stereo"},
      {91000, 48000, 1, "96 kbps, 48 kHz, mono"},
      {99999, 22050, 2, "96 kbps, 22 kHz, stereo"},
      {100000, 22050, 2, "100 kbps, 22 kHz, stereo"},
      {120999, 44100, 2, "120 kbps, 44 kHz, stereo"},
      {134999, 44100, 2, "128 kbps, 44 kHz, stereo"},
      {146000, 44100, 2, "160 kbps, 44 kHz, stereo"},
      {179999, 44100, 2, "160 kbps, 44 kHz, stereo"},
      {185000, 44100, 2, "185 kbps, 44 kHz, stereo"},
      {199000, 44100, 2, "192 kbps, 44 kHz, stereo"},
      {251000, 48000, 2, "256 kbps, 48 kHz, stereo"},
      {329000, 48000, 2, "320 kbps, 48 kHz, stereo"},
      {330000, 48000, 2, "330 kbps, 48 kHz, stereo"},
      {0, 9999, 0, "0 kbps,  9 kHz, mono"},
      {32000, 10000, 1, "32 kbps, 10 kHz, mono"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(SourceFormatLabel(row.Bitrate, row.Rate, row.Channels), row.Label) << row.Bitrate;
}

TEST(MatchFormatLabel, FirstContainingDescriptionCaseIgnoredElse29) {
  const std::vector<std::string> list = {
      "96 kbps,  8 kHz, mono CBR", "128 KBPS, 44 KHZ, STEREO CBR", "128 kbps, 44 kHz, stereo CBR"};
  EXPECT_EQ(MatchFormatLabel("96 kbps,  8 kHz, mono", list), 0);
  EXPECT_EQ(MatchFormatLabel("128 kbps, 44 kHz, stereo", list), 1);
  EXPECT_EQ(MatchFormatLabel("96 kbps, 8 kHz, mono", list), 29);
  EXPECT_EQ(MatchFormatLabel("64 kbps, 44 kHz, stereo", list), 29);
  EXPECT_EQ(MatchFormatLabel("x", {}), 29);
}

// Stands in for the sink where a list shorter than 29 is wanted.
struct TShortListSink {
  std::vector<std::string> FormatList(int) const { return {"1 kbps"}; }
};
struct TFakeSource {
  uint32_t Bitrate() const { return 64000; }
  int SampleRate() const { return 44100; }
  int Channels() const { return 2; }
};

TEST(SourceFormatIndex, FindsTheWritersFormatForRealFiles) {
  TFakeSource fake;
  TShortListSink shortList;
  EXPECT_EQ(SourceFormatIndex(fake, shortList), 29);

  const struct {
    const char* File;
    const char* Description;
  } rows[] = {
      {"wma_v2_64k_44k_stereo.wma", "64 kbps, 44 kHz, stereo CBR"},
      {"wma_v1_48k_32k_stereo.wma", "48 kbps, 32 kHz, stereo CBR"},
      {"wma_v2_24k_8k_mono_wmnames.wma", "24 kbps,  8 kHz, mono CBR"},
      {"mp3_lame_cbr128_44k_stereo.mp3", "128 kbps, 44 kHz, stereo CBR"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.File);
    TWMIn source;
    source.SetFileName(std::string(TRIMORA_TEST_DATA) + "/media/" + row.File);
    TWMAOut sink;
    const int index = SourceFormatIndex(source, sink);
    ASSERT_GE(index, 0);
    ASSERT_LT(index, sink.FormatCount(0));
    EXPECT_EQ(sink.FormatList(0)[static_cast<size_t>(index)], row.Description);
  }
}

TEST(SetUpWMACut, ChoosesCodecZeroTheMatchingFormatAndCopiesTheTexts) {
  TWMIn source;
  source.SetFileName(std::string(TRIMORA_TEST_DATA) + "/media/wma_v2_64k_44k_stereo.wma");
  TWMAOut sink;
  sink.CodecIndex = -1;
  sink.Id3v2Tags().SetLink(u"left from before");
  SetUpWMACut(source, sink);
  EXPECT_EQ(sink.CodecIndex, 0);
  EXPECT_EQ(sink.FormatList(0)[static_cast<size_t>(sink.FormatIndex)],
            "64 kbps, 44 kHz, stereo CBR");
  const TId3v2Tags& from = source.Id3v2Tags();
  const TId3v2Tags& to = sink.Id3v2Tags();
  EXPECT_FALSE(from.Artist().empty());
  EXPECT_EQ(to.Artist(), from.Artist());
  EXPECT_EQ(to.Title(), from.Title());
  EXPECT_EQ(to.Album(), from.Album());
  EXPECT_EQ(to.Year(), from.Year());
  EXPECT_EQ(to.Track(), from.Track());
  EXPECT_EQ(to.Comment(), from.Comment());
  EXPECT_EQ(to.Link(), u"") << "every text is copied, empty ones too";
}

}  // namespace
