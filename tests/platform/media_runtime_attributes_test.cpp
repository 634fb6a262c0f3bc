// SPDX-License-Identifier: GPL-3.0-or-later
// Attributes by name: duration, bit rate, VBR flag and texts, for MP3 and WMA alike.

#include <gtest/gtest.h>

#include <optional>

#include "media_test_support.h"
#include "platform/media_metadata.h"

namespace trimora::media::test {
namespace {

std::unique_ptr<TMediaSyncReader> Open(const std::string& file) {
  auto reader = std::make_unique<TMediaSyncReader>();
  if (!Succeeded(reader->OpenStream(std::make_shared<TBytesStream>(LoadMediaFixture(file)))))
    return nullptr;
  return reader;
}

std::optional<std::u16string> Text(TMediaSyncReader& reader, const char* name) {
  TMediaValue value;
  if (!Succeeded(reader.HeaderInfo()->GetAttributeByName(0, name, value))) return std::nullopt;
  return std::get<std::u16string>(value);
}

struct TRateCase {
  const char* File;
  uint32_t Bitrate;  // 0: a VBR file, compared with ffprobe's average
  bool Vbr;
};

TEST(MediaRuntimeAttributes, BitrateIsNominalForCbrAndTheAverageForVbr) {
  for (const auto& c : {TRateCase{"mp3_lame_cbr128_44k_stereo.mp3", 128000, false},
                        TRateCase{"mp3_ffmpeg_cbr96_48k_stereo.mp3", 96000, false},
                        TRateCase{"mp3_shine_cbr64_32k_stereo_notag.mp3", 64000, false},
                        TRateCase{"mp3_lame_cbr32_22k_mono.mp3", 32000, false},
                        TRateCase{"mp3_lame_cbr16_11k_mono.mp3", 16000, false},
                        TRateCase{"mp3_lame_cbr8_8k_mono_notag.mp3", 8000, false},
                        TRateCase{"mp3_lame_vbr_44k_stereo.mp3", 0, true},
                        TRateCase{"mp3_lame_vbr_notag_32k_stereo.mp3", 0, true},
                        TRateCase{"wma_v2_64k_44k_stereo.wma", 64000, false},
                        TRateCase{"wma_v1_32k_22k_mono.wma", 32000, false},
                        TRateCase{"wma_v2_24k_8k_mono_wmnames.wma", 24000, true}}) {
    SCOPED_TRACE(c.File);
    auto reader = Open(c.File);
    ASSERT_NE(reader, nullptr);
    TMediaValue value;
    ASSERT_TRUE(Succeeded(reader->GetAttributeByName(0, "Bitrate", value)));
    const uint32_t bitrate = std::get<uint32_t>(value);
    if (c.Bitrate != 0)
      EXPECT_EQ(bitrate, c.Bitrate);
    else
      EXPECT_NEAR(bitrate, Expected(c.File).ProbeBitrate, Expected(c.File).ProbeBitrate / 50);
    ASSERT_TRUE(Succeeded(reader->GetAttributeByName(0, "IsVBR", value)));
    EXPECT_EQ(std::get<bool>(value), c.Vbr);
  }
}

struct TTextCase {
  const char* File;
  const char* Name;
  std::optional<std::u16string> Value;
};

TEST(MediaRuntimeAttributes, TextsAnswerUnderTheirWindowsMediaNames) {
  const std::vector<TTextCase> cases = {
      {"mp3_lame_cbr128_44k_stereo.mp3", "Title", u"Lame Title"},
      {"mp3_lame_cbr128_44k_stereo.mp3", "Author", u"Lame Artist"},
      {"mp3_lame_cbr128_44k_stereo.mp3", "WM/AlbumTitle", u"Lame Album"},
      {"mp3_lame_cbr128_44k_stereo.mp3", "WM/Genre", u"Rock"},
      {"mp3_lame_cbr128_44k_stereo.mp3", "WM/Track", u"7"},
      {"mp3_lame_cbr128_44k_stereo.mp3", "WM/Year", u"2004"},
      {"mp3_lame_cbr128_44k_stereo.mp3", "Copyright", std::nullopt},
      {"mp3_ffmpeg_cbr96_48k_stereo.mp3", "Title", u"FF Title"},
      {"mp3_ffmpeg_cbr96_48k_stereo.mp3", "Author", u"FF Artist"},
      {"mp3_ffmpeg_cbr96_48k_stereo.mp3", "WM/AlbumTitle", u"FF Album"},
      {"mp3_ffmpeg_cbr96_48k_stereo.mp3", "WM/Genre", u"Jazz"},
      {"mp3_ffmpeg_cbr96_48k_stereo.mp3", "WM/Track", u"3"},
      {"mp3_ffmpeg_cbr96_48k_stereo.mp3", "WM/Year", u"1999"},
      {"mp3_ffmpeg_cbr96_48k_stereo.mp3", "Copyright", u"(c) FF"},
      {"wma_v2_64k_44k_stereo.wma", "Title", u"FF Title"},
      {"wma_v2_64k_44k_stereo.wma", "Author", u"FF Artist"},
      {"wma_v2_64k_44k_stereo.wma", "WM/AlbumTitle", u"FF Album"},
      {"wma_v2_64k_44k_stereo.wma", "WM/Genre", u"Jazz"},
      {"wma_v2_64k_44k_stereo.wma", "WM/Track", u"3"},
      {"wma_v2_64k_44k_stereo.wma", "WM/Year", u"1999"},
      {"wma_v2_64k_44k_stereo.wma", "Copyright", u"(c) FF"},
      {"wma_v2_64k_44k_stereo.wma", "Description", u"FF comment"},
      // A file's own zero-based WM/Track stands for the next track number.
      {"wma_v2_24k_8k_mono_wmnames.wma", "WM/Track", u"5"},
      {"wma_v2_24k_8k_mono_wmnames.wma", "WM/Year", u"1987"},
      {"wma_v2_24k_8k_mono_wmnames.wma", "Title", std::nullopt},
      {"mp3_shine_cbr64_32k_stereo_notag.mp3", "Author", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.File) + " " + c.Name);
    auto reader = Open(c.File);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(Text(*reader, c.Name), c.Value);
  }
}

TEST(MediaRuntimeAttributes, OnlyTheFileAsAWholeHasAttributes) {
  auto reader = Open("wma_v2_64k_44k_stereo.wma");
  ASSERT_NE(reader, nullptr);
  TMediaValue value;
  EXPECT_EQ(reader->GetAttributeByName(1, "Title", value), TMediaResult::NotFound);
  EXPECT_TRUE(Succeeded(reader->Close()));
  EXPECT_EQ(reader->HeaderInfo(), nullptr);
  EXPECT_EQ(reader->GetAttributeByName(0, "Title", value), TMediaResult::Fail);
}

TEST(MediaRuntimeAttributes, DatesGiveTheirYear) {
  const TMediaMetadata metadata = {{"date", "2011-04-05"}};
  EXPECT_EQ(MediaAttributeText(metadata, "WM/Year"), u"2011");
  EXPECT_EQ(MediaAttributeText({{"date", "5 May 71"}}, "WM/Year"), u"5 May 71");
}

TEST(MediaRuntimeAttributes, TextsAreConvertedFromUtf8) {
  EXPECT_EQ(Utf8ToUtf16("Caf\xC3\xA9 \xF0\x9F\x8E\xB5"), u"Caf\u00E9 \U0001F3B5");
  // Each byte that starts no valid sequence (a stray byte, a cut or overlong sequence)
  // becomes one replacement character.
  EXPECT_EQ(Utf8ToUtf16("a\xFF"
                        "b\xE2\x82"),
            u"a\uFFFDb\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");
}

TEST(MediaRuntimeProtection, EncryptedContentIsRecognisedAndNeverDecoded) {
  auto reader = Open("wma_protected.wma");
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->SetReadStreamSamples(1, false), TMediaResult::ProtectedContent);
  TMediaSample sample;
  EXPECT_EQ(reader->GetNextSample(1, sample), TMediaResult::ProtectedContent);
  EXPECT_EQ(reader->SetRange(0, 0), TMediaResult::ProtectedContent);
  // The header is still readable.
  TMediaValue value;
  EXPECT_TRUE(Succeeded(reader->GetAttributeByName(0, "Duration", value)));
}

}  // namespace
}  // namespace trimora::media::test
