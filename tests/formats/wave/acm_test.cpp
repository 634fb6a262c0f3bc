// Our compression manager's calls as the converter makes them, and the conversion itself on
// the MP3-in-WAV fixtures against FFmpeg's decoding of them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "formats/wave/wave_converter.h"
#include "platform/acm.h"
#include "wave_test_support.h"

namespace {

using namespace wave_test;
using namespace trimora::acm;

std::vector<uint8_t> Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                            size_t size = 18) {
  std::vector<uint8_t> d(size, 0);
  TWaveFormat f;
  f.FormatTag = tag;
  f.Channels = channels;
  f.SamplesPerSec = rate;
  f.BitsPerSample = bits;
  f.BlockAlign = static_cast<uint16_t>(channels * std::max(bits / 8, 1));
  WriteWaveFormat(f, d.data());
  return d;
}

TEST(Acm, MaximumFormatSizeFitsTheConvertersBuffers) {
  uint32_t size = 0;
  ASSERT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &size), MMSYSERR_NOERROR);
  EXPECT_GE(size, kWaveFormatBaseSize);
  EXPECT_LE(size, TWaveConverter::kFormatBufferSize);
  EXPECT_EQ(acmMetrics(nullptr, 51, &size), MMSYSERR_NOTSUPPORTED);
}

TEST(Acm, SuggestsSixteenBitPcmOfTheSourcesChannelsAndRate) {
  for (const auto& [channels, rate] : {std::pair{1, 8000u}, {2, 44100u}, {2, 22050u}}) {
    std::vector<uint8_t> dst = Format(WAVE_FORMAT_PCM, 0, 0, 0, 129);
    ASSERT_EQ(acmFormatSuggest(nullptr, Format(0x55, uint16_t(channels), rate, 0).data(),
                               dst.data(), 129, ACM_FORMATSUGGESTF_WFORMATTAG),
              MMSYSERR_NOERROR);
    const TWaveFormat f = ReadWaveFormat(dst.data());
    EXPECT_EQ(f.FormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(f.Channels, channels);
    EXPECT_EQ(f.SamplesPerSec, rate);
    EXPECT_EQ(f.BitsPerSample, 16);
    EXPECT_EQ(f.BlockAlign, 2 * channels);
    EXPECT_EQ(f.AvgBytesPerSec, rate * 2 * channels);
    EXPECT_EQ(f.ExtraSize, 0);
  }
}

TEST(Acm, RefusesSuggestionsItCannotMakeWithoutWritingPastTheDestination) {
  const struct {
    const char* Name;
    std::vector<uint8_t> Source;
    uint16_t DestinationTag;
    uint32_t DestinationSize;
    uint32_t Flags;
    MMRESULT Result;
  } cases[] = {
      {"ShortDestination", Format(0x55, 1, 8000, 0), 1, 17, ACM_FORMATSUGGESTF_WFORMATTAG,
       MMSYSERR_INVALPARAM},
      {"PcmSource", Format(1, 1, 8000, 16), 1, 129, ACM_FORMATSUGGESTF_WFORMATTAG,
       ACMERR_NOTPOSSIBLE},
      {"OddRate", Format(0x55, 1, 7000, 0), 1, 129, ACM_FORMATSUGGESTF_WFORMATTAG,
       ACMERR_NOTPOSSIBLE},
      {"ThreeChannels", Format(0x55, 3, 8000, 0), 1, 129, ACM_FORMATSUGGESTF_WFORMATTAG,
       ACMERR_NOTPOSSIBLE},
      {"NonPcmTarget", Format(0x55, 1, 8000, 0), 2, 129, ACM_FORMATSUGGESTF_WFORMATTAG,
       ACMERR_NOTPOSSIBLE},
      {"OtherFlag", Format(0x55, 1, 8000, 0), 1, 129, 0x20000, MMSYSERR_INVALFLAG},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> dst(129, 0xEE);
    dst[0] = static_cast<uint8_t>(c.DestinationTag);
    dst[1] = 0;
    const std::vector<uint8_t> before = dst;
    EXPECT_EQ(acmFormatSuggest(nullptr, c.Source.data(), dst.data(), c.DestinationSize, c.Flags),
              c.Result)
        << c.Name;
    EXPECT_EQ(dst, before) << c.Name;
  }
}

TEST(Acm, OpensOnlyMp3ToMatchingSixteenBitPcm) {
  const auto mp3 = Format(0x55, 2, 8000, 0);
  HACMSTREAM s = nullptr;
  EXPECT_EQ(acmStreamOpen(&s, nullptr, mp3.data(), Format(1, 2, 8000, 8).data(), nullptr, 0, 0, 0),
            ACMERR_NOTPOSSIBLE);
  EXPECT_EQ(
      acmStreamOpen(&s, nullptr, mp3.data(), Format(1, 2, 16000, 16).data(), nullptr, 0, 0, 0),
      ACMERR_NOTPOSSIBLE);
  EXPECT_EQ(acmStreamOpen(nullptr, nullptr, mp3.data(), Format(1, 2, 8000, 16).data(), nullptr, 0,
                          0, ACM_STREAMOPENF_QUERY),
            MMSYSERR_NOERROR);
  EXPECT_EQ(s, nullptr);
  ASSERT_EQ(acmStreamOpen(&s, nullptr, mp3.data(), Format(1, 2, 8000, 16).data(), nullptr, 0, 0,
                          ACM_STREAMOPENF_NONREALTIME),
            MMSYSERR_NOERROR);
  uint32_t bound = 0;
  EXPECT_EQ(acmStreamSize(s, 0xFFFFFFFF, &bound, 0), ACMERR_NOTPOSSIBLE);
  EXPECT_EQ(acmStreamClose(s, 0), MMSYSERR_NOERROR);
}

// The raw Layer-3 frames of a fixture.
std::vector<uint8_t> Mp3Frames(const char* file) {
  TWaveConverter c;
  TAuMemoryStream stream(ReadFileBytes(DataPath(file)));
  c.LoadFile(stream);
  return c.Bytes();
}

// Opens a conversion that claims `channels` and `rate` for the fixture's frames, and converts
// them into a destination of `room` bytes (0: the size estimate). Guard bytes after the
// destination must survive.
struct TConversion {
  MMRESULT Result = MMSYSERR_ERROR;
  std::vector<uint8_t> Pcm;
  uint32_t Bound = 0;
};

TConversion Convert(const char* file, uint16_t channels, uint32_t rate, uint32_t room = 0) {
  const std::vector<uint8_t> src = Mp3Frames(file);
  TConversion out;
  HACMSTREAM s = nullptr;
  out.Result = acmStreamOpen(&s, nullptr, Format(0x55, channels, rate, 0).data(),
                             Format(1, channels, rate, 16).data(), nullptr, 0, 0, 0);
  if (out.Result != MMSYSERR_NOERROR) return out;
  EXPECT_EQ(acmStreamSize(s, static_cast<uint32_t>(src.size()), &out.Bound, 0), MMSYSERR_NOERROR);
  std::vector<uint8_t> dst((room ? room : out.Bound) + 16, 0xEE);
  ACMSTREAMHEADER h;
  h.pbSrc = src.data();
  h.cbSrcLength = static_cast<uint32_t>(src.size());
  h.pbDst = dst.data();
  h.cbDstLength = static_cast<uint32_t>(dst.size() - 16);
  EXPECT_EQ(acmStreamConvert(s, &h, 0), ACMERR_UNPREPARED);
  EXPECT_EQ(acmStreamPrepareHeader(s, &h, 0), MMSYSERR_NOERROR);
  out.Result = acmStreamConvert(s, &h, ACM_STREAMCONVERTF_BLOCKALIGN);
  EXPECT_LE(h.cbDstLengthUsed, h.cbDstLength);
  EXPECT_TRUE(std::all_of(dst.end() - 16, dst.end(), [](uint8_t b) { return b == 0xEE; }));
  out.Pcm.assign(dst.begin(), dst.begin() + h.cbDstLengthUsed);
  EXPECT_EQ(acmStreamUnprepareHeader(s, &h, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(acmStreamUnprepareHeader(s, &h, 0), ACMERR_UNPREPARED);
  EXPECT_EQ(acmStreamClose(s, 0), MMSYSERR_NOERROR);
  return out;
}

std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> s(bytes.size() / 2);
  for (size_t i = 0; i < s.size(); ++i) s[i] = int16_t(bytes[2 * i] | bytes[2 * i + 1] << 8);
  return s;
}

TEST(AcmConvert, DecodesWithinItsSizeEstimate) {
  for (const auto& [file, channels] : {std::pair{"mp3_mono", 1}, {"mp3_stereo", 2}}) {
    const TConversion c = Convert((std::string(file) + ".wav").c_str(), uint16_t(channels), 8000);
    ASSERT_EQ(c.Result, MMSYSERR_NOERROR) << file;
    EXPECT_EQ(c.Pcm, ReadFileBytes(DataPath(std::string(file) + ".ref"))) << file;
    EXPECT_LT(c.Pcm.size(), c.Bound) << file;
  }
}

TEST(AcmConvert, StopsAtAFullDestinationOnAFrameBoundary) {
  const TConversion c = Convert("mp3_stereo.wav", 2, 8000, 1001);
  ASSERT_EQ(c.Result, MMSYSERR_NOERROR);
  const auto ref = ReadFileBytes(DataPath("mp3_stereo.ref"));
  EXPECT_EQ(c.Pcm, std::vector<uint8_t>(ref.begin(), ref.begin() + 1000));
}

TEST(AcmConvert, MatchesTheChannelsTheStreamWasOpenedWith) {
  const auto mono = Samples(ReadFileBytes(DataPath("mp3_mono.ref")));
  const auto doubled = Samples(Convert("mp3_mono.wav", 2, 8000).Pcm);
  ASSERT_EQ(doubled.size(), 2 * mono.size());
  for (size_t i = 0; i < mono.size(); ++i) {
    ASSERT_EQ(doubled[2 * i], mono[i]);
    ASSERT_EQ(doubled[2 * i + 1], mono[i]);
  }
  const auto stereo = Samples(ReadFileBytes(DataPath("mp3_stereo.ref")));
  const auto mixed = Samples(Convert("mp3_stereo.wav", 1, 8000).Pcm);
  ASSERT_EQ(2 * mixed.size(), stereo.size());
  for (size_t i = 0; i < mixed.size(); ++i) {
    ASSERT_LE(std::abs(mixed[i] - (stereo[2 * i] + stereo[2 * i + 1]) / 2), 1) << i;
  }
}

TEST(AcmConvert, DropsFramesOfAnotherRate) {
  EXPECT_EQ(Convert("mp3_mono.wav", 1, 16000).Result, ACMERR_NOTPOSSIBLE);
}

}  // namespace
