// SPDX-License-Identifier: GPL-3.0-or-later
// TWaveConverter's chunk walk and conversion, and the compression manager under it: what the
// converter loads, what it converts (against FFmpeg's decoding of the fixtures), and inputs
// that must fail or be cut short without writing past a buffer.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "formats/wave/wave_converter.h"
#include "wave_test_support.h"

namespace {

using namespace wave_test;
using namespace trimora::acm;

TBytes Load(TWaveConverter& c, const TBytes& file) {
  TAuMemoryStream stream(file);
  c.LoadFile(stream);
  EXPECT_EQ(c.Position(), 0);
  return c.Bytes();
}

const TBytes kAudio = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
const TBytes kMp3Fmt = Concat({FmtBody(0x55, 1, 8000, 1, 0), TBytes{12, 0}, TBytes(12, 0x42)});

TEST(WaveConverterLoad, FindsFmtAndDataWhateverComesBetween) {
  TWaveConverter c;
  EXPECT_EQ(Load(c, Riff({Chunk("LIST", TBytes(33, 'l')), Chunk("fmt ", kMp3Fmt),
                          Chunk("fact", TBytes(4, 9)), Chunk("junk", TBytes(5, 0)),
                          Chunk("data", kAudio)})),
            kAudio);
  EXPECT_TRUE(std::equal(kMp3Fmt.begin(), kMp3Fmt.end(), c.SourceFormat.begin()));
  // A later, shorter `fmt ` reads as the 18-byte base with no extension.
  Load(c, Riff({Chunk("fmt ", FmtBody(0x55, 2, 8000, 1, 0)), Chunk("data", kAudio)}));
  EXPECT_EQ(ReadWaveFormat(c.SourceFormat.data()).Channels, 2);
  EXPECT_TRUE(std::all_of(c.SourceFormat.begin() + 16, c.SourceFormat.end(),
                          [](uint8_t b) { return b == 0; }));
}

TEST(WaveConverterLoad, OversizedAndCutChunksStayInsideTheirBuffers) {
  TWaveConverter c;
  EXPECT_EQ(Load(c, Riff({Chunk("fmt ", TBytes(300, 0x5A)), Chunk("data", kAudio)})), kAudio);
  EXPECT_TRUE(std::all_of(c.SourceFormat.begin(), c.SourceFormat.end(),
                          [](uint8_t b) { return b == 0x5A; }));
  TWaveConverter cut;
  EXPECT_EQ(Load(cut, Riff({Chunk("fmt ", kMp3Fmt), Chunk("data", kAudio, 0x7FFFFFFF)})), kAudio);
}

// Everything the reader does with a converter, as it does it.
MMRESULT ConvertFile(TWaveConverter& c, const TBytes& file) {
  Load(c, file);
  c.TargetFormat[0] = WAVE_FORMAT_PCM;
  const MMRESULT r =
      acmFormatSuggest(nullptr, c.SourceFormat.data(), c.TargetFormat.data(),
                       TWaveConverter::kFormatBufferSize, ACM_FORMATSUGGESTF_WFORMATTAG);
  return r != MMSYSERR_NOERROR ? r : c.Convert();
}

TEST(WaveConverter, ConvertsToExactlyTheDecodedPcm) {
  TWaveConverter c;
  ASSERT_EQ(ConvertFile(c, ReadFileBytes(DataPath("mp3_stereo.wav"))), MMSYSERR_NOERROR);
  const TWaveFormat f = ReadWaveFormat(c.SourceFormat.data());
  EXPECT_EQ(f.FormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(f.Channels, 2);
  EXPECT_EQ(f.SamplesPerSec, 8000u);
  EXPECT_EQ(f.BitsPerSample, 16);
  EXPECT_EQ(f.BlockAlign, 4);
  // Only the used part of the size estimate: no silence after the decoded data.
  EXPECT_EQ(c.Bytes(), ReadFileBytes(DataPath("mp3_stereo.ref")));
}

TEST(WaveConverter, FailsOnWhatTheManagerCannotConvert) {
  TBytes otherRate = ReadFileBytes(DataPath("mp3_mono.wav"));
  otherRate[24] = 0x80;  // 16000 Hz declared for 8000 Hz frames: every frame is dropped
  otherRate[25] = 0x3E;
  const struct {
    const char* Name;
    TBytes File;
  } cases[] = {
      {"Pcm", Riff({Chunk("fmt ", FmtBody(1, 1, 8000, 2, 16)), Chunk("data", kAudio)})},
      {"LowerCaseRiff", Concat({TBytes{'r', 'i', 'f', 'f'}, TBytes(60, 0)})},
      {"NoData", Riff({Chunk("fmt ", kMp3Fmt)})},
      {"NoFrames", Riff({Chunk("fmt ", kMp3Fmt), Chunk("data", TBytes(3000, 0x33))})},
      {"NoMp3Rate", Riff({Chunk("fmt ", FmtBody(0x55, 1, 9000, 1, 0)), Chunk("data", kAudio)})},
      {"FramesOfAnotherRate", otherRate},
  };
  for (const auto& c : cases) {
    TWaveConverter converter;
    EXPECT_NE(ConvertFile(converter, c.File), MMSYSERR_NOERROR) << c.Name;
  }
}

TEST(WaveConverter, ReaderHandsBackTheCallersStreamAfterTheImage) {
  TMemoryWave w(ReadFileBytes(DataPath("mp3_mono.wav")));
  const TBytes first = ReadAll(w.In);
  EXPECT_EQ(w.Stream.Position(), 0);
  EXPECT_EQ(ReadAll(w.In), first);
}

TEST(Acm, RefusesSuggestionsWithoutWritingToTheDestination) {
  const TBytes mp3 = FmtBody(0x55, 1, 8000, 1, 0), pcm = FmtBody(1, 1, 8000, 2, 16);
  const struct {
    const TBytes* Source;
    uint8_t TargetTag;
    uint32_t TargetSize;
    MMRESULT Result;
  } cases[] = {{&mp3, 1, 17, MMSYSERR_INVALPARAM},
               {&pcm, 1, 129, ACMERR_NOTPOSSIBLE},
               {&mp3, 2, 129, ACMERR_NOTPOSSIBLE}};
  for (const auto& c : cases) {
    TBytes target(129, 0xEE), source = *c.Source;
    source.resize(18);
    target[0] = c.TargetTag;
    target[1] = 0;
    const TBytes before = target;
    EXPECT_EQ(acmFormatSuggest(nullptr, source.data(), target.data(), c.TargetSize,
                               ACM_FORMATSUGGESTF_WFORMATTAG),
              c.Result);
    EXPECT_EQ(target, before);
  }
}

// The fixture's frames through a stream that claims `channels`, into `room` bytes (0: the
// size estimate) followed by guard bytes that must survive.
TBytes Convert(const char* file, uint16_t channels, uint32_t room = 0) {
  TWaveConverter loaded;
  const TBytes src = Load(loaded, ReadFileBytes(DataPath(file)));
  TBytes source = FmtBody(0x55, channels, 8000, 1, 0),
         target = FmtBody(1, channels, 8000, uint16_t(2 * channels), 16);
  source.resize(18);
  target.resize(18);
  HACMSTREAM s = nullptr;
  EXPECT_EQ(acmStreamOpen(&s, nullptr, source.data(), target.data(), nullptr, 0, 0, 0),
            MMSYSERR_NOERROR);
  uint32_t bound = 0;
  EXPECT_EQ(acmStreamSize(s, static_cast<uint32_t>(src.size()), &bound, 0), MMSYSERR_NOERROR);
  TBytes dst((room ? room : bound) + 16, 0xEE);
  ACMSTREAMHEADER h;
  h.pbSrc = src.data();
  h.cbSrcLength = static_cast<uint32_t>(src.size());
  h.pbDst = dst.data();
  h.cbDstLength = static_cast<uint32_t>(dst.size() - 16);
  EXPECT_EQ(acmStreamPrepareHeader(s, &h, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(acmStreamConvert(s, &h, ACM_STREAMCONVERTF_BLOCKALIGN), MMSYSERR_NOERROR);
  EXPECT_TRUE(std::all_of(dst.end() - 16, dst.end(), [](uint8_t b) { return b == 0xEE; }));
  EXPECT_EQ(acmStreamUnprepareHeader(s, &h, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(acmStreamClose(s, 0), MMSYSERR_NOERROR);
  return TBytes(dst.begin(), dst.begin() + h.cbDstLengthUsed);
}

int16_t SampleAt(const TBytes& b, size_t i) {
  return int16_t(b[2 * i] | b[2 * i + 1] << 8);
}

TEST(Acm, StopsAtAFullDestinationOnAFrameBoundary) {
  const TBytes ref = ReadFileBytes(DataPath("mp3_stereo.ref"));
  EXPECT_EQ(Convert("mp3_stereo.wav", 2, 1001), TBytes(ref.begin(), ref.begin() + 1000));
}

TEST(Acm, DoublesMonoAndAveragesStereoToTheStreamsChannels) {
  const TBytes mono = ReadFileBytes(DataPath("mp3_mono.ref"));
  const TBytes doubled = Convert("mp3_mono.wav", 2);
  ASSERT_EQ(doubled.size(), 2 * mono.size());
  for (size_t i = 0; i < mono.size() / 2; ++i) {
    ASSERT_EQ(SampleAt(doubled, 2 * i), SampleAt(mono, i));
    ASSERT_EQ(SampleAt(doubled, 2 * i + 1), SampleAt(mono, i));
  }
  const TBytes stereo = ReadFileBytes(DataPath("mp3_stereo.ref"));
  const TBytes mixed = Convert("mp3_stereo.wav", 1);
  ASSERT_EQ(2 * mixed.size(), stereo.size());
  for (size_t i = 0; i < mixed.size() / 2; ++i) {
    const int mean = (SampleAt(stereo, 2 * i) + SampleAt(stereo, 2 * i + 1)) / 2;
    ASSERT_LE(std::abs(SampleAt(mixed, i) - mean), 1) << i;
  }
}

}  // namespace
