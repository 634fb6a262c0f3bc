// TWaveConverter: loading the `fmt ` and `data` bodies by its byte-by-byte chunk walk,
// converting MPEG Layer-3 to PCM through the compression manager, and the PCM image.

#include <gtest/gtest.h>

#include <algorithm>

#include "formats/wave/wave_converter.h"
#include "formats/wave/wave_header.h"
#include "pipeline/au_exception.h"
#include "wave_test_support.h"

namespace {

using namespace wave_test;
using namespace trimora::acm;

TBytes Contents(TWaveConverter& c) {
  return c.Bytes();
}

TBytes Load(TWaveConverter& c, const TBytes& file) {
  TAuMemoryStream stream(file);
  c.LoadFile(stream);
  EXPECT_EQ(c.Position(), 0);
  return Contents(c);
}

const TBytes kAudio = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

TEST(WaveConverterLoad, FindsFmtAndDataWhateverComesBetween) {
  const TBytes fmt = Concat({FmtBody(0x55, 1, 8000, 1, 0), TBytes{12, 0}, TBytes(12, 0x42)});
  const TBytes file =
      Riff({Chunk("LIST", TBytes(33, 'l')), Chunk("fmt ", fmt), Chunk("fact", TBytes(4, 9)),
            Chunk("junk", TBytes(5, 0)), Chunk("data", kAudio)});
  TWaveConverter c;
  EXPECT_EQ(Load(c, file), kAudio);
  EXPECT_TRUE(std::equal(fmt.begin(), fmt.end(), c.SourceFormat.begin()));
  EXPECT_TRUE(std::all_of(c.SourceFormat.begin() + fmt.size(), c.SourceFormat.end(),
                          [](uint8_t b) { return b == 0; }));
}

TEST(WaveConverterLoad, ShortFmtReadsAsTheBaseWithNoExtension) {
  TWaveConverter c;
  Load(c, Riff({Chunk("fmt ", Concat({FmtBody(0x55, 2, 8000, 1, 0), TBytes{12, 0, 7, 7}})),
                Chunk("data", kAudio)}));
  Load(c, Riff({Chunk("fmt ", FmtBody(0x55, 1, 8000, 1, 0)), Chunk("data", kAudio)}));
  EXPECT_EQ(ReadWaveFormat(c.SourceFormat.data()).Channels, 1);
  EXPECT_EQ(ReadWaveFormat(c.SourceFormat.data()).ExtraSize, 0);
  EXPECT_EQ(c.SourceFormat[18], 0);
}

TEST(WaveConverterLoad, OversizedAndCutChunksStayInsideTheirBuffers) {
  TWaveConverter c;
  const TBytes longFmt(300, 0x5A);
  EXPECT_EQ(Load(c, Riff({Chunk("fmt ", longFmt), Chunk("data", kAudio)})), kAudio);
  EXPECT_TRUE(std::all_of(c.SourceFormat.begin(), c.SourceFormat.end(),
                          [](uint8_t b) { return b == 0x5A; }));
  // A data chunk that claims more than the file holds loads what there is.
  TWaveConverter cut;
  EXPECT_EQ(Load(cut, Riff({Chunk("fmt ", FmtBody(0x55, 1, 8000, 1, 0)),
                            Chunk("data", kAudio, 0x7FFFFFFF)})),
            kAudio);
}

TEST(WaveConverterLoad, LoadsNothingUnlessTheFileStartsWithExactlyRiffWave) {
  for (const char* start : {"riffWAVE", "RIFFwave", "RIFXWAVE"}) {
    TBytes file = Riff({Chunk("fmt ", FmtBody(0x55, 1, 8000, 1, 0)), Chunk("data", kAudio)});
    std::copy(start, start + 4, file.begin());
    std::copy(start + 4, start + 8, file.begin() + 8);
    TWaveConverter c;
    EXPECT_TRUE(Load(c, file).empty()) << start;
    EXPECT_EQ(ReadWaveFormat(c.SourceFormat.data()).FormatTag, 0) << start;
  }
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
  EXPECT_EQ(Contents(c), ReadFileBytes(DataPath("mp3_stereo.ref")));
  EXPECT_EQ(c.Position(), 0);
}

TEST(WaveConverter, FailsOnWhatTheManagerCannotConvert) {
  const TBytes mp3Fmt = Concat({FmtBody(0x55, 1, 8000, 1, 0), TBytes{12, 0}, TBytes(12, 0)});
  const struct {
    const char* Name;
    TBytes File;
  } cases[] = {
      {"Pcm", Riff({Chunk("fmt ", FmtBody(1, 1, 8000, 2, 16)), Chunk("data", kAudio)})},
      {"NotRiff", TBytes(64, 'x')},
      {"NoData", Riff({Chunk("fmt ", mp3Fmt)})},
      {"NoFrames", Riff({Chunk("fmt ", mp3Fmt), Chunk("data", TBytes(3000, 0x33))})},
      {"OddRate", Riff({Chunk("fmt ", FmtBody(0x55, 1, 9000, 1, 0)), Chunk("data", kAudio)})},
  };
  for (const auto& c : cases) {
    TWaveConverter converter;
    EXPECT_NE(ConvertFile(converter, c.File), MMSYSERR_NOERROR) << c.Name;
  }
}

TEST(WaveConverter, SavesAPcmImageTheHeaderScanReads) {
  TWaveConverter c;
  ASSERT_EQ(ConvertFile(c, ReadFileBytes(DataPath("mp3_mono.wav"))), MMSYSERR_NOERROR);
  TAuMemoryStream image;
  ASSERT_EQ(c.SaveWave(image), MMSYSERR_NOERROR);
  const TBytes pcm = ReadFileBytes(DataPath("mp3_mono.ref"));
  ASSERT_EQ(image.Size(), static_cast<int64_t>(44 + pcm.size()));
  const TBytes& bytes = image.Bytes();
  EXPECT_EQ(bytes[4] | bytes[5] << 8 | bytes[6] << 16, static_cast<int>(36 + pcm.size()));
  EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), bytes.begin() + 44));
  image.SetPosition(0);
  const TWaveHeader h = ScanWaveHeader(image);
  EXPECT_EQ(h.WavType, wtPCM);
  EXPECT_EQ(h.Channels, 1);
  EXPECT_EQ(h.BitsPerSample, 16);
  EXPECT_EQ(h.DataSize, pcm.size());
  EXPECT_EQ(h.HeaderLength, 44u);
}

TEST(WaveConverter, ReportsAFailedWrite) {
  class TFullStream : public TAuMemoryStream {
    int64_t Write(const void*, int64_t) override { throw EAuException("disk full"); }
  } full;
  TWaveConverter c;
  EXPECT_EQ(c.SaveWave(full), TWaveConverter::kSaveWaveFailed);
}

TEST(WaveConverter, ReaderHandsBackTheCallersStreamAfterTheImage) {
  TMemoryWave w(ReadFileBytes(DataPath("mp3_mono.wav")));
  const TBytes first = ReadAll(w.In);
  EXPECT_EQ(w.Stream.Position(), 0);
  EXPECT_EQ(ReadAll(w.In), first);
  EXPECT_EQ(first, ReadFileBytes(DataPath("mp3_mono.ref")));
}

}  // namespace
