// SPDX-License-Identifier: GPL-3.0-or-later
// The sources on files that are not what their names say, damaged, empty or missing.

#include <gtest/gtest.h>

#include <algorithm>

#include "media_source_support.h"
#include "pipeline/au_exception.h"

namespace trimora::media::test {
namespace {

TEST(MediaSourceInput, FilesWithoutDecodableAudioAreNotValidAndReadNothing) {
  const std::string text(5000, 't');
  auto wma = LoadMediaFixture("wma_v2_64k_44k_stereo.wma");
  for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::vector<uint8_t>>>{
           {"empty.mp3", {}},
           {"empty.wma", {}},
           {"text.mp3", std::vector<uint8_t>(text.begin(), text.end())},
           {"header_only.wma", std::vector<uint8_t>(wma.begin(), wma.begin() + 200)}}) {
    SCOPED_TRACE(name);
    const TTempFile file(name, bytes);
    std::unique_ptr<TWMIn> source =
        name.ends_with(".mp3") ? std::make_unique<TMP3In>() : std::make_unique<TWMIn>();
    source->SetFileName(file.Path());
    EXPECT_FALSE(source->Valid());
    EXPECT_EQ(source->Bitrate(), 0u);
    EXPECT_FALSE(source->IsVBR());
    EXPECT_EQ(source->Id3v2Tags().Title(), u"");
    // The read falls back to a format of its own and ends at once.
    EXPECT_TRUE(ReadAll(*source).empty());
    EXPECT_EQ(source->SampleRate(), 8000);
    EXPECT_EQ(source->BitsPerSample(), 8);
    EXPECT_EQ(source->Channels(), 1);
  }
}

// A header whose play duration claims 15 hours for a file of seconds: the bytes present bound
// the length, and a read gives what the file holds.
TEST(MediaSourceInput, AWmaHeaderClaimingHoursIsBoundByItsBytes) {
  auto wma = LoadMediaFixture("wma_v2_64k_44k_stereo.wma");
  // The file properties object; its play duration (100 ns) lies 64 bytes into it.
  const uint8_t guid[] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                          0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
  const auto at = std::search(wma.begin(), wma.end(), std::begin(guid), std::end(guid));
  ASSERT_NE(at, wma.end());
  uint64_t hours = 15ull * 3600 * 10000000;
  for (int i = 0; i < 8; ++i, hours >>= 8) at[64 + i] = static_cast<uint8_t>(hours);
  const TTempFile file("long.wma", wma);
  TWMIn source;
  source.SetFileName(file.Path());
  ASSERT_TRUE(source.Valid());
  const int64_t held = static_cast<int64_t>(ReadAll(source).size()) / 4;
  EXPECT_GT(held, 0);
  EXPECT_LT(source.TotalSamples(), held * 2 + 44100 * 2);
}

// A file that does not open after one that did: nothing of the first survives, and asking
// again changes nothing.
TEST(MediaSourceInput, AFailedOpenForgetsTheFileBefore) {
  const std::string text(5000, 't');
  for (const std::string fixture :
       {"mp3_ffmpeg_cbr96_48k_stereo.mp3", "wma_v2_64k_44k_stereo.wma"}) {
    SCOPED_TRACE(fixture);
    const TTempFile broken("text" + fixture.substr(fixture.size() - 4),
                           std::vector<uint8_t>(text.begin(), text.end()));
    auto source = SourceFor(fixture);
    ASSERT_GT(source->TotalSamples(), 0);
    ASSERT_EQ(source->Id3v2Tags().Title(), u"FF Title");
    source->SetFileName(broken.Path());
    for (int query = 0; query < 3; ++query) EXPECT_EQ(source->TotalSamples(), -1);
    EXPECT_EQ(source->Size(), 0);
    EXPECT_EQ(source->Duration(), 0u);
    EXPECT_EQ(source->SampleRate(), 8000);
    EXPECT_EQ(source->BitsPerSample(), 8);
    EXPECT_EQ(source->Channels(), 1);
    EXPECT_EQ(source->Id3v2Tags().Title(), u"");
    EXPECT_EQ(source->CommonTags().Artist(), u"");
  }
}

// A truncated download keeps the header of the whole file: an MP3 tag's frame count, an ASF
// header's play duration. The length is what the file can deliver, within a packet.
TEST(MediaSourceInput, ATruncatedFileIsAsLongAsWhatItHolds) {
  const auto mp3 = LoadMediaFixture("mp3_lame_10s_8k_mono.mp3");
  const auto wma = LoadMediaFixture("wma_v2_64k_44k_stereo.wma");
  // The ASF data packets start 50 bytes into the data object, which follows the header.
  const size_t packets = (size_t{wma[16]} | size_t{wma[17]} << 8) + 50;
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    double toleranceSeconds;
  } cases[] = {
      {"quarter.mp3", {mp3.begin(), mp3.begin() + static_cast<long>(mp3.size() / 4)}, 0.01},
      {"first_frames.mp3", {mp3.begin(), mp3.begin() + 2000}, 0.01},
      {"no_packets.wma", {wma.begin(), wma.begin() + static_cast<long>(packets)}, 0},
      {"one_packet.wma", {wma.begin(), wma.begin() + static_cast<long>(packets + 3200)}, 0.4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TTempFile file(c.name, c.bytes);
    std::unique_ptr<TWMIn> source = std::string(c.name).ends_with(".mp3")
                                        ? std::make_unique<TMP3In>()
                                        : std::make_unique<TWMIn>();
    source->SetFileName(file.Path());
    const double claimed = source->Duration() / 100.0;
    const int rate = source->SampleRate(), channels = source->Channels();
    const double delivered = static_cast<double>(ReadAll(*source).size()) / (2.0 * channels * rate);
    EXPECT_NEAR(claimed, delivered, c.toleranceSeconds + 0.005) << "delivered " << delivered;
  }
}

TEST(MediaSourceInput, TheContentDecidesNotTheExtension) {
  // A WMA file named .mp3 and an MP3 file named .wma decode as what they are.
  for (const auto& [fixture, name] : std::vector<std::pair<std::string, std::string>>{
           {"wma_v2_64k_44k_stereo.wma", "renamed.mp3"},
           {"mp3_lame_cbr128_44k_stereo.mp3", "renamed.wma"}}) {
    SCOPED_TRACE(name);
    const TTempFile file(name, LoadMediaFixture(fixture));
    std::unique_ptr<TWMIn> source =
        name.ends_with(".mp3") ? std::make_unique<TMP3In>() : std::make_unique<TWMIn>();
    source->SetFileName(file.Path());
    EXPECT_TRUE(source->Valid());
    EXPECT_EQ(Md5Hex(ReadAll(*source)), Expected(fixture).Md5);
  }
}

TEST(MediaSourceInput, MissingNamesAndFilesRaise) {
  TWMIn unnamed;
  try {
    unnamed.IsProtected();
    FAIL() << "no exception";
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "File name is not assigned");
  }
  TMP3In missing;
  missing.SetFileName("/nonexistent/folder/song.mp3");
  EXPECT_THROW(missing.Valid(), EAuException);
}

TEST(MediaSourceInput, ACallersStreamIsReadAndRewound) {
  TAuMemoryStream stream(LoadMediaFixture("mp3_lame_cbr32_22k_mono.mp3"));
  TMP3In source;
  source.SetStream(&stream);
  EXPECT_TRUE(source.Valid());
  EXPECT_EQ(Md5Hex(ReadAll(source)), Expected("mp3_lame_cbr32_22k_mono.mp3").Md5);
  EXPECT_EQ(stream.Position(), 0);
}

}  // namespace
}  // namespace trimora::media::test
