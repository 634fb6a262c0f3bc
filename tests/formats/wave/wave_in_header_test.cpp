// SPDX-License-Identifier: GPL-3.0-or-later
// The header scan on files built in memory: what real files carry around the chunks the
// reader needs, and the headers it must refuse without reading past anything.

#include <gtest/gtest.h>

#include <string>

#include "formats/wave/riff_chunks.h"
#include "formats/wave/wave_header.h"
#include "formats/wave/wave_in.h"
#include "wave_test_support.h"

namespace {

using namespace wave_test;

TEST(MatchChunkId, AcceptsEachByteOrTheByteThirtyTwoAway) {
  const struct {
    const char* Bytes;
    const char* Id;
    bool Match;
  } cases[] = {
      {"RIFF", "RIFF", true},  {"riff", "RIFF", true},  {"Wave", "WAVE", true},
      {"DATA", "data", true},  {"fmt\0", "fmt ", true}, {"fmt@", "fmt ", true},
      {"fmt!", "fmt ", false}, {"RIFX", "RIFF", false}, {"dat", "data", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Bytes, 4) + " / " + c.Id);
    EXPECT_EQ(MatchChunkId(reinterpret_cast<const uint8_t*>(c.Bytes), c.Id), c.Match);
  }
}

const TBytes kFmt = Chunk("fmt ", FmtBody(1, 2, 8000, 4, 16));
const TBytes kData = Chunk("data", Pcm16Frames(2, 0, 10));

TBytes Ids(TBytes file, size_t offset, std::string_view id) {
  std::copy(id.begin(), id.end(), file.begin() + static_cast<ptrdiff_t>(offset));
  return file;
}

TBytes Fact(uint32_t frames) {
  TBytes body;
  PutU32(body, frames);
  return Chunk("fact", body);
}

TBytes ExtensibleFmt(uint16_t bits, uint8_t subformat) {
  TBytes body = FmtBody(0xFFFE, 2, 8000, uint16_t(2 * bits / 8), bits);
  PutU16(body, 22);
  PutU16(body, bits);
  PutU32(body, 3);
  const TBytes guid = {subformat, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  body.insert(body.end(), guid.begin(), guid.end());
  return Chunk("fmt ", body);
}

struct TLayout {
  const char* Name;
  TBytes File;
  const char* Reason = nullptr;  // the refusal people are shown, where one is worth checking
};
void PrintTo(const TLayout& l, std::ostream* os) {
  *os << l.Name;
}

class Tolerated : public ::testing::TestWithParam<TLayout> {};

TEST_P(Tolerated, ReadsTheTenFramesOfTheDataChunk) {
  TMemoryWave w(GetParam().File);
  EXPECT_TRUE(w.In.Valid());
  EXPECT_EQ(w.In.Channels(), 2);
  EXPECT_EQ(w.In.BitsPerSample(), 16);
  EXPECT_EQ(w.In.TotalSamples(), 10);
  EXPECT_EQ(ReadAll(w.In), Pcm16Frames(2, 0, 10));
  // A caller's stream is handed back rewound.
  EXPECT_EQ(w.Stream.Position(), 0);
}

const TBytes kPlain = Riff({kFmt, kData});

INSTANTIATE_TEST_SUITE_P(
    RealFiles, Tolerated,
    ::testing::Values(
        TLayout{"Plain", kPlain},
        TLayout{"LowerCaseIds", Ids(Ids(Ids(kPlain, 0, "riff"), 8, "wave"), 12, "FMT ")},
        TLayout{"BytesBeforeRiff", Concat({TBytes(100, 'R'), kPlain})},
        TLayout{"ChunksBetweenFmtAndData",
                Riff({kFmt, Chunk("LIST", TBytes(30, 'i')), Chunk("bext", TBytes(602, 0)),
                      Chunk("junk", TBytes(28, 0)), kData})},
        TLayout{"ChunkBeforeFmt", Riff({Chunk("JUNK", TBytes(28, 0)), kFmt, kData})},
        TLayout{"FactInPcm", Riff({kFmt, Fact(10), kData})},
        TLayout{"OddChunkWithPad", Riff({kFmt, Chunk("LIST", TBytes(7, 'x')), {0}, kData})},
        TLayout{"OddChunkWithoutPad", Riff({kFmt, Chunk("LIST", TBytes(7, 'x')), kData})},
        TLayout{"ChunkAfterData", Riff({kFmt, kData, Chunk("LIST", TBytes(40, 'x'))})},
        TLayout{"ChunkPastTheHeaderLimit", Riff({kFmt, Chunk("LIST", TBytes(70000, 0)), kData})},
        TLayout{"JunkOf1MiBBeforeFmt", Riff({Chunk("JUNK", TBytes(1 << 20, 0)), kFmt, kData})},
        TLayout{"JunkOf1MiBBeforeData", Riff({kFmt, Chunk("JUNK", TBytes(1 << 20, 0)), kData})},
        TLayout{"FmtWithExtensionSize",
                Riff({Chunk("fmt ", Concat({FmtBody(1, 2, 8000, 4, 16), TBytes{0, 0}})), kData})},
        TLayout{"ExtensiblePcm", Riff({ExtensibleFmt(16, 1), kData})},
        TLayout{"LowestRate", Riff({Chunk("fmt ", FmtBody(1, 2, 1, 4, 16)), kData})},
        TLayout{"HighestRate", Riff({Chunk("fmt ", FmtBody(1, 2, 768000, 4, 16)), kData})}),
    [](const auto& info) { return std::string(info.param.Name); });

class Refused : public ::testing::TestWithParam<TLayout> {};

TEST_P(Refused, IsNotValidAndDeliversNothing) {
  TMemoryWave w(GetParam().File);
  EXPECT_FALSE(w.In.Valid());
  EXPECT_EQ(w.In.TotalSamples(), -1);
  EXPECT_TRUE(ReadAll(w.In).empty());
  if (GetParam().Reason != nullptr) {
    EXPECT_EQ(w.In.RefusalReason(), GetParam().Reason);
  }
}

TBytes AdpcmWithoutFact(uint16_t tag) {
  TBytes body = FmtBody(tag, 1, 8000, 256, 4);
  PutU16(body, 2);
  PutU16(body, 505);
  return Riff({Chunk("fmt ", body), Chunk("data", TBytes(512, 0x11))});
}

// The start of a Wave64 file: the "riff" GUID, a 64-bit size and the "wave" GUID; its chunks
// have GUIDs and 64-bit sizes too, which a RIFF walk would misread.
TBytes Wave64() {
  TBytes file = {'r', 'i', 'f', 'f', 0x2E, 0x91, 0xCF, 0x11, 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0, 0};
  PutU32(file, 200);
  PutU32(file, 0);
  const TBytes wave = {'w', 'a', 'v', 'e', 0xF3, 0xAC, 0xD3, 0x11,
                       0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};
  return Concat({file, wave, kFmt, kData});
}

TBytes EmptyChunks(int count) {
  TBytes chunks;
  for (int i = 0; i < count; ++i) chunks = Concat({chunks, Chunk("JUNK", {})});
  return chunks;
}

INSTANTIATE_TEST_SUITE_P(
    Headers, Refused,
    ::testing::Values(
        TLayout{"Empty", {}, ""},
        TLayout{"UnknownFormatTag", Riff({Chunk("fmt ", FmtBody(0x50, 2, 8000, 4, 16)), kData}),
                "WAV data of format 80 (MPEG Layer-1 or -2) is not supported"},
        TLayout{"ALaw", Riff({Chunk("fmt ", FmtBody(6, 1, 8000, 1, 8)), kData}),
                "WAV data of format 6 (A-law) is not supported"},
        TLayout{"UnnamedTag", Riff({Chunk("fmt ", FmtBody(0x4242, 1, 8000, 1, 8)), kData}),
                "WAV data of format 16962 is not supported"},
        TLayout{"ExtensibleOfOtherSubformat", Riff({ExtensibleFmt(8, 7), kData}),
                "WAV data of format 7 (mu-law) is not supported"},
        TLayout{"Rf64", Ids(kPlain, 0, "RF64"),
                "RF64 WAV files (the form for over 4 GB) are not supported"},
        TLayout{"ImaWithoutFact", AdpcmWithoutFact(0x11),
                "the WAV file's IMA ADPCM data has no fact chunk"},
        TLayout{"MsAdpcmWithoutFact", AdpcmWithoutFact(2)},
        TLayout{"Mp3WithoutFact", AdpcmWithoutFact(0x55)},
        TLayout{"NoDataChunk", Riff({kFmt, Chunk("LIST", TBytes(30, 0))}),
                "the WAV header is cut short: the file ends before its data"},
        TLayout{"DataBeforeFmt", Riff({kData, kFmt})},
        TLayout{"Wave64", Wave64(), "W64 is not supported"},
        TLayout{"ThousandsOfTinyChunks",
                Riff({kFmt, EmptyChunks(5000), kData}),
                "the WAV file has more than 4096 chunks before its data"},
        TLayout{"HugeDeclaredChunk", Riff({kFmt, Chunk("LIST", TBytes(8, 0), 0xFFFFFFF0), kData})},
        TLayout{"RiffPastTheHeaderLimit", Concat({TBytes(70000, 0), kPlain})},
        TLayout{"PcmOf12Bits", Riff({Chunk("fmt ", FmtBody(1, 2, 8000, 4, 12)), kData})},
        TLayout{"NoChannels", Riff({Chunk("fmt ", FmtBody(1, 0, 8000, 4, 16)), kData}),
                "the WAV header states no channels"},
        TLayout{"NoSampleRate", Riff({Chunk("fmt ", FmtBody(1, 2, 0, 4, 16)), kData}),
                "the WAV header's sample rate of 0 Hz lies outside 1 Hz to 768 kHz"},
        TLayout{"RateOfAllOnes", Riff({Chunk("fmt ", FmtBody(1, 2, 0xFFFFFFFF, 4, 16)), kData}),
                "the WAV header's sample rate of 4294967295 Hz lies outside 1 Hz to 768 kHz"},
        TLayout{"RateJustPast768kHz", Riff({Chunk("fmt ", FmtBody(1, 2, 768001, 4, 16)), kData})},
        TLayout{"RateOf4MHz", Riff({Chunk("fmt ", FmtBody(3, 2, 4000000, 8, 32)), kData})},
        TLayout{"RateOf2GHz", Riff({Chunk("fmt ", FmtBody(1, 1, 2000000000, 2, 16)), kData})},
        TLayout{"BlockSizeOfZero", Riff({Chunk("fmt ", FmtBody(1, 2, 8000, 0, 16)), kData}),
                "the WAV header's block size of 0 bytes does not fit 2 channels of 16 bits"},
        TLayout{"BlockSizeOfAllOnes",
                Riff({Chunk("fmt ", FmtBody(1, 2, 8000, 0xFFFF, 16)), kData})},
        TLayout{"ImaBlockSmallerThanItsHeaders",
                Riff({Chunk("fmt ", Concat({FmtBody(0x11, 2, 8000, 8, 4), TBytes{2, 0, 1, 0}})),
                      Fact(10), kData}),
                "the WAV header's block size of 8 bytes does not fit 2 channels of IMA ADPCM"},
        TLayout{"FrameWiderThanABlock",
                Riff({Chunk("fmt ", FmtBody(1, 4097, 8000, 16388, 32)), kData})},
        TLayout{"FloatOf16Bits", Riff({Chunk("fmt ", FmtBody(3, 2, 8000, 4, 16)), kData})},
        TLayout{"ShortFmt", Riff({Chunk("fmt ", TBytes{1, 0, 2, 0, 0x40}), kData})},
        TLayout{
            "ImaOf3Bits",
            Riff({Chunk("fmt ", Concat({FmtBody(0x11, 1, 8000, 256, 3), TBytes{2, 0, 0xF9, 1}})),
                  Fact(505), Chunk("data", TBytes(256, 0))})}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(WaveIn, HandsOutNothingForARequestSmallerThanAFrame) {
  TMemoryWave w(Riff({Chunk("fmt ", FmtBody(1, 2, 8000, 6, 24)), Chunk("data", TBytes(60, 1))}));
  w.In.StartRead();
  uint8_t* p = nullptr;
  uint32_t n = 5;
  w.In.ReadData(p, n);
  EXPECT_EQ(n, 0u);
  w.In.EndRead();
}

TEST(WaveIn, NamesTheKindOfDataForPeople) {
  const struct {
    const char* File;
    const char* Name;
  } cases[] = {{"pcm_s16_stereo.wav", "PCM"},
               {"float64_mono.wav", "IEEE float"},
               {"ext_f32_6ch.wav", "IEEE float (extensible)"},
               {"ima_mono_sox.wav", "IMA ADPCM"},
               {"ms_stereo_sox.wav", "MS ADPCM"},
               {"mp3_stereo.wav", "MP3 (converted)"}};
  for (const auto& c : cases) {
    TWaveIn in;
    in.SetFileName(DataPath(c.File));
    EXPECT_EQ(in.WavTypeName(), c.Name) << c.File;
  }
  TMemoryWave refused(TBytes(100, 7));
  EXPECT_EQ(refused.In.WavTypeName(), "unsupported");
}

}  // namespace
