// SPDX-License-Identifier: GPL-3.0-or-later
// TWaveIn on files written by sox and FFmpeg (tests/data/wave/make_fixtures.sh), one per kind
// of WAV data, against an independent decoder's output for the same file: whole reads with
// several block sizes, and ranges that start inside the data.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "formats/wave/wave_in.h"
#include "pipeline/sample_convert.h"
#include "wave_test_support.h"

namespace {

using namespace wave_test;

enum class TRef { Int, F32, F64 };

struct TFixture {
  const char* Name;
  TWavType Kind;
  int Channels;
  int Bits;  // delivered
  int64_t Frames;
  TRef Ref = TRef::Int;
};

void PrintTo(const TFixture& f, std::ostream* os) {
  *os << f.Name;
}

// The PCM the reader must deliver: the reference decoding, floats turned into 32-bit integers
// by the conversion rule the reader uses.
TBytes Expected(const TFixture& f) {
  TBytes ref = ReadFileBytes(DataPath(std::string(f.Name) + ".ref"));
  if (f.Ref == TRef::F32) SingleToInt32InPlace(ref.data(), ref.size());
  if (f.Ref == TRef::F64) {
    DoubleToInt32InPlace(ref.data(), ref.size());
    ref.resize(ref.size() / 2);
  }
  return ref;
}

void ExpectSamples(const TBytes& got, const TBytes& want) {
  ASSERT_EQ(got.size(), want.size());
  const auto diff = std::mismatch(got.begin(), got.end(), want.begin());
  EXPECT_TRUE(diff.first == got.end()) << "first difference at byte " << diff.first - got.begin();
}

class WaveFixture : public ::testing::TestWithParam<TFixture> {};

TEST_P(WaveFixture, ReportsFormatAndDeliversWhatTheReferenceDecoderDelivers) {
  const TFixture& f = GetParam();
  TWaveIn in;
  in.SetFileName(DataPath(std::string(f.Name) + ".wav"));
  EXPECT_TRUE(in.Valid());
  EXPECT_EQ(in.WavType(), f.Kind);
  EXPECT_EQ(in.Channels(), f.Channels);
  EXPECT_EQ(in.SampleRate(), 8000);
  EXPECT_EQ(in.BitsPerSample(), f.Bits);
  EXPECT_EQ(in.TotalSamples(), f.Frames);
  const size_t frame = static_cast<size_t>(f.Channels * f.Bits / 8);
  TBytes want = Expected(f);
  // The reference decoders run ADPCM blocks to their end; the `fact` count ends our data.
  ASSERT_GE(want.size(), f.Frames * frame);
  want.resize(f.Frames * frame);
  for (const uint32_t request : {16384u, 1000u, 3u * 7 * 6 * 4}) {
    SCOPED_TRACE(request);
    ExpectSamples(ReadAll(in, request), want);
  }
}

TEST_P(WaveFixture, RangeStartsAtTheFrameAskedForWhereverItLies) {
  const TFixture& f = GetParam();
  const size_t frame = static_cast<size_t>(f.Channels * f.Bits / 8);
  const TBytes all = Expected(f);
  TWaveIn in;
  in.SetFileName(DataPath(std::string(f.Name) + ".wav"));
  // The FFmpeg ADPCM fixtures have blocks of 121 (IMA) and 116 (Microsoft) frames: starts
  // inside the first block, at the start of the second and inside later ones.
  for (const int64_t start : {int64_t{1}, int64_t{116}, int64_t{121}, int64_t{250}, f.Frames - 3}) {
    if (start >= f.Frames - 1) continue;
    SCOPED_TRACE(start);
    const int64_t end = std::min<int64_t>(start + 40, f.Frames - 1);
    in.StartSample = start;
    in.EndSample = end;
    const TBytes got = ReadAll(in);
    const TBytes want(all.begin() + start * frame, all.begin() + (end + 1) * frame);
    ExpectSamples(got, want);
  }
}

INSTANTIATE_TEST_SUITE_P(
    AllKinds, WaveFixture,
    ::testing::Values(
        TFixture{"pcm_u8_mono", wtPCM, 1, 8, 400}, TFixture{"pcm_s16_stereo", wtPCM, 2, 16, 400},
        TFixture{"pcm_s24_stereo", wtPCM, 2, 24, 400}, TFixture{"pcm_s32_mono", wtPCM, 1, 32, 400},
        TFixture{"float32_stereo", wtIEEEFloat, 2, 32, 400, TRef::F32},
        TFixture{"float64_mono", wtIEEEFloat, 1, 32, 400, TRef::F64},
        TFixture{"ext_s24_6ch", wtExtPCM, 6, 24, 200},
        TFixture{"ext_f32_6ch", wtExtIEEEFloat, 6, 32, 200, TRef::F32},
        TFixture{"ima_mono_sox", wtDVIADPCM, 1, 16, 400},
        TFixture{"ima_stereo_sox", wtDVIADPCM, 2, 16, 400},
        TFixture{"ima_mono_ffmpeg", wtDVIADPCM, 1, 16, 484},
        TFixture{"ima_stereo_ffmpeg", wtDVIADPCM, 2, 16, 484},
        TFixture{"ms_mono_sox", wtMSADPCM, 1, 16, 400},
        TFixture{"ms_stereo_sox", wtMSADPCM, 2, 16, 400},
        TFixture{"ms_mono_ffmpeg", wtMSADPCM, 1, 16, 464},
        TFixture{"ms_stereo_ffmpeg", wtMSADPCM, 2, 16, 464},
        // The same FFmpeg decoder, rounded to 16 bits the same way.
        TFixture{"mp3_mono", wtACM, 1, 16, 1728}, TFixture{"mp3_stereo", wtACM, 2, 16, 1728}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
