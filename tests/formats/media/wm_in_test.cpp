// SPDX-License-Identifier: GPL-3.0-or-later
// The MP3 and WMA sources over real files: format, length, tags and ranges.

#include <gtest/gtest.h>

#include <cmath>

#include "media_source_support.h"
#include "pipeline/au_exception.h"
#include "pipeline/au_file_stream.h"
#include "tag_texts.h"

namespace trimora::media::test {
namespace {

// The source's length in hundredths: the exact decoded length for MP3, the header's for WMA.
uint32_t Hundredths(const TExpected& e) {
  if (IsMp3(e.File)) {
    const double duration100ns = std::nearbyint(static_cast<double>(e.Frames) * 1e7 / e.Rate);
    return static_cast<uint32_t>(std::nearbyint(duration100ns / 100000.0));
  }
  return static_cast<uint32_t>(std::nearbyint(e.ProbeDuration * 100));
}

class MediaSource : public ::testing::TestWithParam<TExpected> {};

TEST_P(MediaSource, ReportsTheFormatAndALengthFromTheDuration) {
  const TExpected& e = GetParam();
  auto source = SourceFor(e.File);
  EXPECT_TRUE(source->Valid());
  EXPECT_EQ(source->BitsPerSample(), 16);
  EXPECT_EQ(source->SampleRate(), e.Rate);
  EXPECT_EQ(source->Channels(), e.Channels);
  EXPECT_EQ(source->Duration(), Hundredths(e));
  // An MP3 source counts its frames exactly (FFmpeg's decode) and is a third of a second
  // longer than its data, as room at the end; a WMA source's length is its duration's.
  const int64_t total = IsMp3(e.File) ? e.Frames + e.Rate / 3
                                      : static_cast<int64_t>(Hundredths(e) / 100.0 * e.Rate);
  EXPECT_EQ(source->TotalSamples(), total);
  EXPECT_EQ(source->Size(), total * e.Channels * 2);
}

TEST_P(MediaSource, AWholeReadDeliversFfmpegsDecodeAndEndsWithTheData) {
  const TExpected& e = GetParam();
  auto source = SourceFor(e.File);
  const auto pcm = ReadAll(*source);
  EXPECT_EQ(static_cast<int64_t>(pcm.size()), e.Frames * e.Channels * 2);
  EXPECT_EQ(Md5Hex(pcm), e.Md5);
  // The read's range is reset and the file closed for the next run.
  EXPECT_EQ(source->StartSample, 0);
  EXPECT_EQ(source->EndSample, -1);
  EXPECT_FALSE(source->IsBusy());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, MediaSource, ::testing::ValuesIn(ExpectedFixtures()),
                         [](const auto& info) {
                           std::string name = info.param.File;
                           for (char& c : name)
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

TEST(MediaSourceLength, TenSecondsOfMp3ReportATenSecondLengthPlusAThird) {
  TMP3In source;
  source.SetFileName(MediaFixturePath("mp3_lame_10s_8k_mono.mp3"));
  EXPECT_EQ(source.Duration(), 1000u);
  EXPECT_EQ(source.TotalSamples(), 80000 + 2666);
  EXPECT_EQ(source.Size(), (80000 + 2666) * 2);
  // Opening again does not lengthen it again.
  EXPECT_EQ(source.TotalSamples(), 80000 + 2666);
}

TEST(MediaSourceSeekTime, FramesMapToHundredthsOfTheDuration) {
  EXPECT_EQ(TWMIn::SeekTime(0, 441000, 1000, 44100), 0u);
  EXPECT_EQ(TWMIn::SeekTime(440999, 441000, 1000, 44100), 1000u);  // 999.998 rounds up
  EXPECT_EQ(TWMIn::SeekTime(220500, 441000, 1000, 44100), 500u);
  EXPECT_EQ(TWMIn::SeekTime(4410, 455700, 1000, 44100), 10u);  // 9.677 rounds up
  // A file of unknown length still gets a time from its rate, not a division by zero.
  EXPECT_EQ(TWMIn::SeekTime(44100, 0, 0, 44100), 100u);
  EXPECT_EQ(TWMIn::SeekTime(44100, 0, 0, 0), 0u);
}

struct TRange {
  int64_t Start;
  int64_t End;
};

// Reads [Start, End] through the source and checks it against the straight decode from
// the frame the seek time lands on, for as many frames as the range holds or the data has.
void CheckRange(const std::string& file, TRange range) {
  SCOPED_TRACE(file + " range " + std::to_string(range.Start) + ".." + std::to_string(range.End));
  const TExpected& e = Expected(file);
  const auto straight = StraightDecode(file);
  const auto frameBytes = static_cast<int64_t>(e.Channels) * 2;
  auto source = SourceFor(file);
  const int64_t total = source->TotalSamples();
  const uint32_t duration = source->Duration();
  source->StartSample = range.Start;
  source->EndSample = range.End;
  const auto pcm = ReadAll(*source, 5000);

  // A frame's seek time is its place at the file's rate, in hundredths: an MP3 source's
  // longer reported length must not move it.
  (void)duration;
  const int64_t seekTime = TWMIn::SeekTime(range.Start, 0, 0, e.Rate);
  const int64_t first = range.Start > 0 ? (seekTime * e.Rate + 50) / 100 : 0;
  int64_t frames =
      range.End == -1 || range.End > total ? total - range.Start + 1 : range.End - range.Start + 1;
  if (frames <= 0) frames = e.Frames;  // no limit: to the end of the data
  if (range.Start <= 0 && range.End == -1) frames = total;
  frames = std::min(frames, e.Frames - first);
  ASSERT_EQ(static_cast<int64_t>(pcm.size()), frames * frameBytes);
  ASSERT_TRUE(std::equal(pcm.begin(), pcm.end(), straight.begin() + first * frameBytes));
}

TEST(MediaSourceRange, ARangeStartsAtItsSeekTimeAndHoldsItsFrames) {
  for (const std::string file : {"mp3_lame_vbr_44k_stereo.mp3", "mp3_lame_cbr32_22k_mono.mp3",
                                 "wma_v2_64k_44k_stereo.wma", "wma_v1_48k_32k_stereo.wma"}) {
    CheckRange(file, {0, -1});
    CheckRange(file, {0, 999});
    CheckRange(file, {4410, -1});       // to the end
    CheckRange(file, {3000, 20000});    // a stretch in the middle
    CheckRange(file, {1, 2});           // two frames near the start
    CheckRange(file, {5000, 1000000});  // an end beyond the length counts as none
    CheckRange(file, {6000, 100});      // an end before the start sets no limit
  }
}

TEST(MediaSourceRange, ALoopingReadRepeatsItsRangeExactly) {
  auto source = SourceFor("mp3_lame_cbr128_44k_stereo.mp3");
  source->StartSample = 2205;
  source->EndSample = 2205 + 999;
  const auto once = ReadAll(*source, 1000);
  ASSERT_EQ(once.size(), 1000u * 4);

  source->StartSample = 2205;
  source->EndSample = 2205 + 999;
  source->Loop = true;
  source->StartRead();
  std::vector<uint8_t> looped;
  while (looped.size() < once.size() * 3) {
    uint8_t* data = nullptr;
    uint32_t bytes = 1500;  // blocks that do not divide the range
    source->ReadData(data, bytes);
    ASSERT_GT(bytes, 0u);
    looped.insert(looped.end(), data, data + bytes);
  }
  source->EndRead();
  for (size_t pass = 0; pass < 3; ++pass)
    EXPECT_TRUE(std::equal(once.begin(), once.end(), looped.begin() + pass * once.size()))
        << "pass " << pass;
}

TEST(MediaSourceTags, AttributesFillTheId3v2AndCommonContainers) {
  for (const std::string file : {"mp3_ffmpeg_cbr96_48k_stereo.mp3", "wma_v2_64k_44k_stereo.wma"}) {
    SCOPED_TRACE(file);
    auto source = SourceFor(file);
    // The file's comment (an MP3 file's main comment, a WMA file's description) and its
    // copyright notice each keep their own field.
    test_support::TTagTexts texts{u"FF Title",   u"FF Artist", u"FF Album", u"Jazz",
                                  u"FF comment", "3",          "1999"};
    test_support::ExpectTexts(source->Id3v2Tags(), texts);
    EXPECT_EQ(source->Id3v2Tags().Copyright(), u"(c) FF");
    texts.Comment.reset();
    test_support::ExpectTexts(source->CommonTags(), texts);
  }
}

TEST(MediaSourceTags, EachOpenStartsFromEmptyContainers) {
  auto source = SourceFor("mp3_ffmpeg_cbr96_48k_stereo.mp3");
  ASSERT_EQ(source->Id3v2Tags().Title(), u"FF Title");
  source->SetFileName(MediaFixturePath("mp3_shine_cbr64_32k_stereo_notag.mp3"));
  EXPECT_EQ(source->Id3v2Tags().Title(), u"");
  EXPECT_EQ(source->Id3v2Tags().Comment(), u"");
  EXPECT_EQ(source->CommonTags().Artist(), u"");
}

TEST(MediaSourceQueries, BitRateAndVbrComeFromTheFile) {
  auto cbr = SourceFor("mp3_lame_cbr128_44k_stereo.mp3");
  EXPECT_EQ(cbr->Bitrate(), 128000u);
  EXPECT_FALSE(cbr->IsVBR());
  EXPECT_FALSE(cbr->IsProtected());
  auto vbr = SourceFor("mp3_lame_vbr_44k_stereo.mp3");
  EXPECT_TRUE(vbr->IsVBR());
  EXPECT_GT(vbr->Bitrate(), 100000u);
  auto wma = SourceFor("wma_v2_64k_44k_stereo.wma");
  EXPECT_EQ(wma->Bitrate(), 64000u);
  EXPECT_FALSE(wma->IsVBR());
}

TEST(MediaSourceQueries, ProtectedContentRaisesAndLetsGoOfTheFile) {
  const TTempFile file("protected.wma", LoadMediaFixture("wma_protected.wma"));
  TWMIn source;
  source.SetFileName(file.Path());
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      source.IsProtected();
      FAIL() << "no exception";
    } catch (const EAuException& e) {
      EXPECT_STREQ(e.what(), "File is protected");
    }
  }
  EXPECT_THROW(source.Bitrate(), EAuException);
  EXPECT_THROW(source.StartRead(), EAuException);
  // Nothing holds the file: it can be opened for writing.
  EXPECT_NO_THROW(TAuFileStream(file.Path(), fmOpenReadWrite));
}

TEST(MediaSourceChannels, RequestsChooseAmongTheOfferedFormats) {
  auto source = SourceFor("wma_v2_64k_48k_stereo.wma");
  source->SetOutputChannels(cnMaxAvailable);
  EXPECT_TRUE(source->HighPrecision());
  EXPECT_TRUE(source->Valid());
  EXPECT_EQ(source->Channels(), 2);
  EXPECT_EQ(source->BitsPerSample(), 16);
  // A stereo file has no six-channel format.
  source->SetOutputChannels(cn5dot1);
  EXPECT_FALSE(source->Valid());
  source->SetOutputChannels(cn7dot1);
  source->SetHighPrecision(false);  // ignored unless mono-or-stereo is asked for
  EXPECT_TRUE(source->HighPrecision());
  source->SetOutputChannels(cnMonoOrStereo);
  source->SetHighPrecision(false);
  EXPECT_FALSE(source->HighPrecision());
  EXPECT_TRUE(source->Valid());
  EXPECT_EQ(source->Channels(), 2);
}

}  // namespace
}  // namespace trimora::media::test
