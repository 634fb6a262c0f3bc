// SPDX-License-Identifier: GPL-3.0-or-later
// Damaged and hostile input: cut files, sizes that lie, random bytes, table indexes out of
// range in ADPCM headers, and offsets past 2 GiB. None may crash, hang or read outside a
// buffer (the asan build checks the last); a source delivers what the file holds or nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include "formats/wave/wave_in.h"
#include "pipeline/au_exception.h"
#include "wave_test_support.h"

namespace {

using namespace wave_test;

TBytes FullRead(const TBytes& file) {
  TMemoryWave w(file);
  return ReadAll(w.In);
}

// Every cut of a file: the PCM kinds deliver exactly the whole frames before the cut; the
// decoded kinds deliver no more than the whole file does.
TEST(BrokenWave, CutFilesDeliverWhatIsLeft) {
  const struct {
    const char* File;
    bool Prefix;
  } cases[] = {{"pcm_s16_stereo.wav", true},  {"float64_mono.wav", true},
               {"ext_s24_6ch.wav", true},     {"ima_stereo_ffmpeg.wav", false},
               {"ms_mono_ffmpeg.wav", false}, {"mp3_stereo.wav", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    const TBytes file = ReadFileBytes(DataPath(c.File));
    const TBytes full = FullRead(file);
    TMemoryWave whole(file);
    const int frame = whole.In.Channels() * whole.In.BitsPerSample() / 8;
    const size_t step = std::string(c.File).starts_with("mp3") ? 7 : 1;
    for (size_t cut = 0; cut < file.size(); cut += step) {
      TMemoryWave w(TBytes(file.begin(), file.begin() + static_cast<ptrdiff_t>(cut)));
      const TBytes got = ReadAll(w.In);
      ASSERT_LE(got.size(), full.size()) << "cut at " << cut;
      if (c.Prefix && !got.empty()) {
        ASSERT_TRUE(std::equal(got.begin(), got.end(), full.begin())) << "cut at " << cut;
        EXPECT_EQ(w.In.TotalSamples(), static_cast<int64_t>(got.size()) / frame);
      }
    }
  }
}

TEST(BrokenWave, DataSizesPastTheFileOrUnsetGiveWhatTheFileHolds) {
  const TBytes fmt = Chunk("fmt ", FmtBody(1, 2, 8000, 4, 16));
  const TBytes frames = Pcm16Frames(2, 0, 25);
  for (const int64_t declared :
       {int64_t{0}, int64_t{101}, int64_t{0x7FFFFFFF}, int64_t{0xFFFFFFFF}}) {
    SCOPED_TRACE(declared);
    TMemoryWave w(Riff({fmt, Chunk("data", frames, declared)}));
    EXPECT_TRUE(w.In.Valid());
    EXPECT_EQ(w.In.TotalSamples(), 25);
    EXPECT_EQ(ReadAll(w.In), frames);
  }
}

// Random bytes alone, after a RIFF WAVE preamble, and as the fields and data of a header of
// each known kind: a file the reader refuses delivers nothing, and one it takes delivers no
// more than the length it announced.
TEST(BrokenWave, RandomBytesAreRefusedOrBoundedByTheAnnouncedLength) {
  std::mt19937 rng(20240607);
  const auto randomBytes = [&](size_t n) {
    TBytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(rng());
    return b;
  };
  const uint16_t tags[] = {1, 2, 3, 0x11, 0x55, 0xFFFE};
  for (int i = 0; i < 600; ++i) {
    const size_t n = rng() % 3000;
    TBytes file;
    switch (i % 3) {
      case 0:
        file = randomBytes(n);
        break;
      case 1:
        file = Concat({TBytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, randomBytes(n)});
        break;
      default: {
        TBytes fmt = randomBytes(16 + rng() % 60);
        fmt[0] = static_cast<uint8_t>(tags[rng() % 6]);
        fmt[1] = fmt[0] == 0xFE ? 0xFF : 0;
        fmt[2] = static_cast<uint8_t>(1 + rng() % 3);
        fmt[3] = 0;
        file = Riff(
            {Chunk("fmt ", fmt), Chunk("fact", randomBytes(4)), Chunk("data", randomBytes(n))});
      }
    }
    SCOPED_TRACE(i);
    TMemoryWave w(file);
    w.In.StartSample = i % 5 == 0 ? int64_t(rng() % 4000) : 0;
    const bool valid = w.In.Valid();
    const int64_t announced =
        valid ? w.In.TotalSamples() * w.In.Channels() * w.In.BitsPerSample() / 8 : 0;
    const auto out = ReadAll(w.In, 1 + rng() % 20000);
    if (!valid) {
      EXPECT_TRUE(out.empty());
    }
    EXPECT_LE(static_cast<int64_t>(out.size()), announced);
  }
}

// A Microsoft ADPCM mono file of two 64-byte blocks whose code bytes are equal and whose
// headers differ only in the predictor index, with `pairs` coefficient pairs in the header
// (the count field says `declared`).
TBytes MsFile(uint8_t firstIndex, uint8_t secondIndex, uint16_t declared, uint16_t pairs) {
  TBytes fmt = FmtBody(2, 1, 8000, 64, 4);
  PutU16(fmt, uint16_t(4 + 4 * pairs));
  PutU16(fmt, 116);
  PutU16(fmt, declared);
  for (int i = 0; i < pairs; ++i) {
    PutU16(fmt, i == 0 ? 256 : uint16_t(100 + i));
    PutU16(fmt, i == 0 ? 0 : uint16_t(-50 - i));
  }
  TBytes data;
  for (const uint8_t index : {firstIndex, secondIndex}) {
    data.push_back(index);
    PutU16(data, 40);    // delta
    PutU16(data, 1000);  // sample 1
    PutU16(data, 900);   // sample 2
    for (int k = 0; k < 57; ++k) data.push_back(static_cast<uint8_t>(0x17 * k + 3));
  }
  TBytes fact;
  PutU32(fact, 232);
  return Riff({Chunk("fmt ", fmt), Chunk("fact", fact), Chunk("data", data)});
}

// An IMA mono file of two 36-byte blocks that differ only in the step index.
TBytes ImaFile(uint8_t firstStep, uint8_t secondStep) {
  TBytes fmt = FmtBody(0x11, 1, 8000, 36, 4);
  PutU16(fmt, 2);
  PutU16(fmt, 65);
  TBytes data;
  for (const uint8_t step : {firstStep, secondStep}) {
    PutU16(data, 500);
    data.insert(data.end(), {step, 0});
    for (int k = 0; k < 32; ++k) data.push_back(static_cast<uint8_t>(0x35 * k + 1));
  }
  TBytes fact;
  PutU32(fact, 130);
  return Riff({Chunk("fmt ", fmt), Chunk("fact", fact), Chunk("data", data)});
}

// An index past a table decodes as the codecs define it (pair 0, step 88): the two blocks of
// each file must come out the same, and nothing is read outside a table.
TEST(BrokenWave, TableIndexesOutOfRangeStayInsideTheTables) {
  const struct {
    const char* Name;
    TBytes File;
  } cases[] = {
      {"PredictorPastThePairs", MsFile(0, 9, 7, 7)},
      {"CountLargerThanThePairsHeld", MsFile(0, 5, 7, 3)},
      {"CountAbove32", MsFile(0, 35, 40, 40)},
      {"StepIndexAbove88", ImaFile(88, 200)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryWave w(c.File);
    ASSERT_TRUE(w.In.Valid());
    const TBytes pcm = ReadAll(w.In);
    ASSERT_EQ(pcm.size() % 2, 0u);
    ASSERT_FALSE(pcm.empty());
    const size_t half = pcm.size() / 2;
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.begin() + half, pcm.begin() + half));
  }
}

// A stream of 16-bit stereo frames that claims to be 2.8 GB long; frame i holds i and -i.
class THugeWaveStream : public TAuStream {
 public:
  static constexpr int64_t kFrames = 700'000'000;
  THugeWaveStream() : Header(Pcm16File(2, 0)) {
    const uint32_t data = static_cast<uint32_t>(kFrames * 4);
    for (int i = 0; i < 4; ++i) Header[40 + i] = static_cast<uint8_t>(data >> (8 * i));
  }
  int64_t Read(void* buffer, int64_t count) override {
    const int64_t n = std::clamp<int64_t>(Size() - Pos, 0, count);
    auto* out = static_cast<uint8_t*>(buffer);
    for (int64_t k = 0; k < n; ++k, ++Pos) {
      if (Pos < 44) {
        out[k] = Header[static_cast<size_t>(Pos)];
      } else {
        const int64_t frame = (Pos - 44) / 4, byte = (Pos - 44) % 4;
        const auto v = static_cast<uint16_t>(byte < 2 ? frame : -frame);
        out[k] = static_cast<uint8_t>(byte % 2 ? v >> 8 : v);
      }
    }
    return n;
  }
  int64_t Write(const void*, int64_t) override { throw EAuException("read-only"); }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    Pos = (origin == soBeginning ? 0 : origin == soCurrent ? Pos : Size()) + offset;
    return Pos;
  }
  int64_t Size() override { return 44 + kFrames * 4; }
  void SetSize(int64_t) override { throw EAuException("read-only"); }

 private:
  TBytes Header;
  int64_t Pos = 0;
};

TEST(WaveIn, RangesStartAtTheirFramePast2GiB) {
  THugeWaveStream stream;
  TWaveIn in;
  in.SetStream(&stream);
  EXPECT_EQ(in.TotalSamples(), THugeWaveStream::kFrames);
  for (const int64_t start : {int64_t{600'000'000}, THugeWaveStream::kFrames - 10}) {
    in.StartSample = start;
    in.EndSample = start + 9;
    EXPECT_EQ(ReadAll(in), Pcm16Frames(2, static_cast<int>(start), 10)) << start;
  }
}

}  // namespace
