// SPDX-License-Identifier: GPL-3.0-or-later
// The mixer read directly on the test's thread: its arithmetic, lengths, offsets, refusals and
// recovery from a failed start.

#include "mix/audio_mixer.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "mix_test_support.h"

using namespace mix_test;

namespace {

// Expects `call` to raise EAuException with exactly `message`.
template <typename F>
void ExpectAuError(F call, const std::string& message) {
  try {
    call();
    ADD_FAILURE() << "no exception, expected \"" << message << "\"";
  } catch (const EAuException& e) {
    EXPECT_EQ(e.what(), message);
  }
}

std::unique_ptr<TMemoryIn> Source(int bits, int channels, const std::vector<int64_t>& values) {
  return std::make_unique<TMemoryIn>(bits, channels, Pcm(bits / 8, values));
}

struct TBlockCase {
  const char* Name;
  TAudioMixerMode Mode;
  int Bits1;
  std::vector<int64_t> Values1;
  int Bits2;
  std::vector<int64_t> Values2;
  uint16_t Volume1;
  uint16_t Volume2;
  std::vector<int64_t> Expected;  // in the first input's width
};

// Expected values worked out by hand from the conversion rules: integers become floats by a
// power of two, a mix halves the sum, and floats go back by one less than that power.
const TBlockCase kBlockCases[] = {
    {"EqualValuesStay", amMix, 16, {1000}, 16, {1000}, 65535, 65535, {1000}},
    {"SilenceHalves", amMix, 16, {1000}, 16, {0}, 65535, 65535, {500}},
    {"ZeroGainSilencesSecond", amMix, 16, {1000}, 16, {1000}, 65535, 0, {500}},
    {"ZeroGainsSilenceBoth", amMix, 16, {1000}, 16, {1000}, 0, 0, {0}},
    {"GainScalesFirst", amMix, 16, {20000}, 16, {0}, 32767, 65535, {5000}},
    {"FullScaleLosesOneStep", amMix, 16, {32767}, 16, {32767}, 65535, 65535, {32766}},
    {"NegativeFullScale", amMix, 16, {-32768}, 16, {-32768}, 65535, 65535, {-32767}},
    {"EightBitSecondIntoSixteen", amMix, 16, {0}, 8, {255}, 65535, 65535, {16256}},
    {"TwentyFourBitFloorsDown", amMix, 24, {1000}, 24, {1000}, 65535, 65535, {999}},
    {"ThirtyTwoBitRoundsBack", amMix, 32, {65536000}, 32, {65536000}, 65535, 65535, {65536000}},
    // A missing 8-bit sample counts as silence (128), not as full negative amplitude.
    {"EightBitTailCentredOnSilence",
     amMix,
     8,
     {200, 200, 200},
     8,
     {100},
     65535,
     65535,
     {150, 164, 164}},
    {"JoinEightBitIntoSixteen",
     amConcatenate,
     16,
     {1000, -1000},
     8,
     {128, 255, 0, 192},
     65535,
     65535,
     {1000, -1000, 0, 32511, -32767, 16384}},
    {"JoinSixteenBitIntoEight",
     amConcatenate,
     8,
     {200},
     16,
     {1000, 0, -32768},
     65535,
     65535,
     {200, 131, 128, 0}},
    {"JoinGainsApplyToTheirOwnInput", amConcatenate, 16, {1000}, 16, {1000}, 0, 65535, {0, 1000}},
};

void PrintTo(const TBlockCase& c, std::ostream* os) {
  *os << c.Name;
}

class MixerBlock : public testing::TestWithParam<TBlockCase> {};

TEST_P(MixerBlock, GivesTheWorkedOutValues) {
  const TBlockCase& c = GetParam();
  auto in1 = Source(c.Bits1, 1, c.Values1);
  auto in2 = Source(c.Bits2, 1, c.Values2);
  TAudioMixer mixer;
  mixer.Mode = c.Mode;
  mixer.SetInput1(in1.get());
  mixer.SetInput2(in2.get());
  mixer.Volume1 = c.Volume1;
  mixer.Volume2 = c.Volume2;
  EXPECT_EQ(mixer.BitsPerSample(), c.Bits1);
  EXPECT_EQ(Values(c.Bits1 / 8, ReadAll(mixer)), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Arithmetic, MixerBlock, testing::ValuesIn(kBlockCases),
                         [](const auto& info) { return std::string(info.param.Name); });

struct TJoinCase {
  int64_t Frames1;
  int64_t Frames2;
  int Channels;
  uint32_t Request;   // bytes the reader asks for each time
  uint32_t MaxBlock;  // bytes the inputs hand out at most per read
};

void PrintTo(const TJoinCase& c, std::ostream* os) {
  *os << c.Frames1 << "+" << c.Frames2 << " frames of " << c.Channels << " channels";
}

class Concatenation : public testing::TestWithParam<TJoinCase> {};

// Values stay below 16368 in magnitude, where a 16-bit round trip through float is exact, so
// the output must be the two inputs back to back, sample for sample.
TEST_P(Concatenation, JoinsBothInputsWithoutGapOrOverlap) {
  const TJoinCase& c = GetParam();
  auto first = [](int64_t f, int ch) { return (f % 1000) * 8 + ch; };
  auto second = [](int64_t f, int ch) { return -((f % 1000) * 8 + ch) - 1; };
  auto in1 = Source(16, c.Channels, Frames(c.Frames1, c.Channels, first));
  auto in2 = Source(16, c.Channels, Frames(c.Frames2, c.Channels, second));
  in1->MaxBlock = in2->MaxBlock = c.MaxBlock;
  TAudioMixer mixer;
  mixer.Mode = amConcatenate;
  mixer.SetInput1(in1.get());
  mixer.SetInput2(in2.get());

  mixer.StartRead();
  EXPECT_EQ(mixer.Size(), (c.Frames1 + c.Frames2) * c.Channels * 2);
  const auto out = Values(2, ReadToEnd(mixer, c.Request));
  EXPECT_EQ(mixer.Position(), mixer.Size());  // a sink's progress ends at 100%
  mixer.EndRead();

  auto expected = Frames(c.Frames1, c.Channels, first);
  const auto tail = Frames(c.Frames2, c.Channels, second);
  expected.insert(expected.end(), tail.begin(), tail.end());
  ASSERT_EQ(out.size(), expected.size());
  EXPECT_EQ(out, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, Concatenation,
    testing::Values(TJoinCase{1000, 3000, 2, 16384, 1u << 20},
                    TJoinCase{1000, 3000, 2, 1000, 333},       // odd pieces from the inputs
                    TJoinCase{4096, 4096, 1, 8192, 1u << 20},  // first ends on a block edge
                    TJoinCase{0, 500, 1, 16384, 1u << 20}, TJoinCase{700, 0, 1, 16384, 1u << 20},
                    TJoinCase{0, 0, 2, 16384, 1u << 20}, TJoinCase{1001, 999, 3, 16384, 77}));

// 8000 Hz mono: the longer input holds 2000 throughout, the shorter 1000. Together they give
// 1500; the longer one alone comes out at half amplitude, 1000.
TEST(MixLength, TenAndFourSecondsLastTenWithTheLastSixAtHalfAmplitude) {
  for (const bool longFirst : {true, false}) {
    SCOPED_TRACE(longFirst ? "long first" : "short first");
    auto longer = Source(16, 1, Frames(80000, 1, [](int64_t, int) { return 2000; }));
    auto shorter = Source(16, 1, Frames(32000, 1, [](int64_t, int) { return 1000; }));
    TAudioMixer mixer;
    mixer.SetInput1(longFirst ? longer.get() : shorter.get());
    mixer.SetInput2(longFirst ? shorter.get() : longer.get());
    mixer.StartRead();
    EXPECT_EQ(mixer.Size(), 80000 * 2);
    const auto out = Values(2, ReadToEnd(mixer, longFirst ? 16384 : 1000));
    EXPECT_EQ(mixer.Position(), mixer.Size());
    mixer.EndRead();
    ASSERT_EQ(out.size(), 80000u);
    for (std::size_t i = 0; i < out.size(); ++i)
      ASSERT_EQ(out[i], i < 32000 ? 1500 : 1000) << "at sample " << i;
  }
}

struct TOffsetCase {
  const char* Name;
  int Channels;
  int64_t Frames1;
  int64_t Frames2;
  int64_t Offset;  // Input2StartSample
  int64_t Start2;  // frame where the second input really starts
  int64_t Length;  // frames in all
};

// Read in 16384-byte requests, blocks of 4096 samples.
const TOffsetCase kOffsetCases[] = {
    // Offset frame 5000 lies in the stereo block of frames 4096 to 6143.
    {"StartsWithTheBlockThatReachesTheOffset", 2, 10000, 1000, 5000, 4096, 10000},
    // Nothing of the first input is left to share a block with: silence up to the exact start.
    {"BeyondTheFirstsEndFollowsSilence", 2, 1000, 500, 3000, 3000, 3500},
    // 4096 samples are not whole 3-channel frames; the second input must still land on the
    // first channel.
    {"KeepsItsChannelsWithThreeChannels", 3, 5000, 2000, 3000, 2730, 5000},
};

void PrintTo(const TOffsetCase& c, std::ostream* os) {
  *os << c.Name;
}

class MixOffset : public testing::TestWithParam<TOffsetCase> {};

// Channel c holds (c + 1) * 100 in the first input and (c + 1) * 1000 in the second.
TEST_P(MixOffset, SecondInputComesInWhereExpected) {
  const TOffsetCase& c = GetParam();
  auto in1 = Source(16, c.Channels,
                    Frames(c.Frames1, c.Channels, [](int64_t, int ch) { return (ch + 1) * 100; }));
  auto in2 = Source(16, c.Channels,
                    Frames(c.Frames2, c.Channels, [](int64_t, int ch) { return (ch + 1) * 1000; }));
  TAudioMixer mixer;
  mixer.Input2StartSample = c.Offset;
  mixer.SetInput1(in1.get());
  mixer.SetInput2(in2.get());
  const auto out = Values(2, ReadAll(mixer));
  ASSERT_EQ(static_cast<int64_t>(out.size()), c.Length * c.Channels);
  for (int64_t f = 0; f < c.Length; ++f) {
    const bool one = f < c.Frames1, two = f >= c.Start2 && f < c.Start2 + c.Frames2;
    for (int ch = 0; ch < c.Channels; ++ch) {
      const int64_t unit = one && two ? 550 : one ? 50 : two ? 500 : 0;
      ASSERT_EQ(out[f * c.Channels + ch], (ch + 1) * unit) << "frame " << f << " channel " << ch;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Offsets, MixOffset, testing::ValuesIn(kOffsetCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(MixSize, UnknownInputSizeGivesUnknownSize) {
  auto in1 = Source(16, 1, {1, 2, 3});
  auto in2 = Source(16, 1, {1, 2});
  in2->UnknownSize = true;
  TAudioMixer mixer;
  mixer.SetInput1(in1.get());
  mixer.SetInput2(in2.get());
  for (const auto mode : {amMix, amConcatenate}) {
    mixer.Mode = mode;
    mixer.StartRead();
    EXPECT_EQ(mixer.Size(), -1);
    EXPECT_EQ(ReadToEnd(mixer, 16384).size(), mode == amMix ? 6u : 10u);
    mixer.EndRead();
  }
}

TEST(MixerRefusals, QueriesNeedTheFirstInputAndInputsStayDuringARead) {
  auto in1 = Source(16, 1, {1, 2, 3});
  auto in2 = Source(16, 1, {4, 5, 6});
  TAudioMixer mixer;
  mixer.Mode = amConcatenate;
  mixer.SetInput2(in2.get());
  ExpectAuError([&] { mixer.BitsPerSample(); }, "Input not assigned");
  ExpectAuError([&] { mixer.Channels(); }, "Input not assigned");
  ExpectAuError([&] { mixer.SampleRate(); }, "Input not assigned");

  mixer.SetInput1(in1.get());
  mixer.StartRead();
  EXPECT_TRUE(mixer.IsBusy());
  ExpectAuError([&] { mixer.SetInput1(in2.get()); }, "The component is busy.");
  ExpectAuError([&] { mixer.SetInput2(nullptr); }, "The component is busy.");
  ExpectAuError([&] { mixer.StartRead(); }, "The component is busy.");
  EXPECT_EQ(mixer.Input1(), in1.get());
  EXPECT_EQ(mixer.Input2(), in2.get());
  // The refused start left the running read alone.
  EXPECT_EQ(Values(2, ReadToEnd(mixer, 4)), (std::vector<int64_t>{1, 2, 3, 4, 5, 6}));
  mixer.EndRead();
  EXPECT_FALSE(mixer.IsBusy());
  mixer.SetInput1(nullptr);
  EXPECT_EQ(mixer.Input1(), nullptr);
}

struct TFailedStartCase {
  const char* Name;
  bool HasInput1;
  bool HasInput2;
  const char* Fail1;  // what the first input's StartRead raises, if anything
  const char* Fail2;
  int Bits2;
  const char* Message;
  int Starts1;  // starts of the first input the failed attempt made (and ended again)
};

const TFailedStartCase kFailedStarts[] = {
    {"NoFirstInput", false, true, "", "", 16, "Input1 is not assigned", 0},
    {"NoSecondInput", true, false, "", "", 16, "Input2 is not assigned", 0},
    {"FirstCannotStart", true, true, "Cannot open file", "", 16, "Cannot open file", 0},
    {"SecondCannotStart", true, true, "", "Cannot open file", 16, "Cannot open file", 1},
    {"SecondTooNarrow", true, true, "", "", 4, "Unsupported bits per sample", 1},
    {"SecondTooWide", true, true, "", "", 40, "Unsupported bits per sample", 1},
};

void PrintTo(const TFailedStartCase& c, std::ostream* os) {
  *os << c.Name;
}

class FailedStart : public testing::TestWithParam<TFailedStartCase> {};

// A sink ends the read even after a failed start; neither that nor the next run may be upset
// by what the failure left behind.
TEST_P(FailedStart, LeavesTheMixerIdleAndTheNextReadWorks) {
  const TFailedStartCase& c = GetParam();
  auto in1 = Source(16, 1, {100, 200});
  auto in2 = std::make_unique<TMemoryIn>(c.Bits2, 1, Pcm(2, {300}));
  in1->FailStart = c.Fail1;
  in2->FailStart = c.Fail2;
  TAudioMixer mixer;
  mixer.Mode = amConcatenate;
  if (c.HasInput1) mixer.SetInput1(in1.get());
  if (c.HasInput2) mixer.SetInput2(in2.get());

  ExpectAuError([&] { mixer.StartRead(); }, c.Message);
  EXPECT_FALSE(mixer.IsBusy());
  EXPECT_TRUE(mixer.IsEndOfStream());
  EXPECT_EQ(in1->Starts, c.Starts1);
  EXPECT_EQ(in1->Ends, c.Starts1);
  EXPECT_FALSE(in1->IsBusy());
  EXPECT_FALSE(in2->IsBusy());
  mixer.EndRead();
  EXPECT_EQ(in1->Ends, c.Starts1);

  in1->FailStart.clear();
  in2->FailStart.clear();
  in2->Bits = 16;
  mixer.SetInput1(in1.get());
  mixer.SetInput2(in2.get());
  EXPECT_EQ(Values(2, ReadAll(mixer)), (std::vector<int64_t>{100, 200, 300}));
  EXPECT_FALSE(in1->IsBusy());
  EXPECT_FALSE(in2->IsBusy());
}

INSTANTIATE_TEST_SUITE_P(Recovery, FailedStart, testing::ValuesIn(kFailedStarts),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(MixerInputs, DestroyedInputIsDropped) {
  auto in1 = Source(16, 1, Frames(10000, 1, [](int64_t, int) { return 2000; }));
  auto in2 = Source(16, 1, Frames(10000, 1, [](int64_t, int) { return 2000; }));
  TAudioMixer mixer;
  mixer.SetInput1(in1.get());
  mixer.SetInput2(in2.get());
  mixer.StartRead();
  std::vector<uint8_t> block(2000);
  ASSERT_EQ(mixer.ReadInto(block.data(), 2000), 2000u);
  EXPECT_EQ(Values(2, block)[0], 2000);

  in2.reset();
  EXPECT_EQ(mixer.Input2(), nullptr);
  // The rest comes from the first input alone, at half amplitude.
  const auto rest = Values(2, ReadToEnd(mixer, 2000));
  mixer.EndRead();
  ASSERT_EQ(rest.size(), 9000u);
  EXPECT_EQ(rest.front(), 1000);
  EXPECT_EQ(rest.back(), 1000);
  EXPECT_FALSE(in1->IsBusy());

  // One source may feed both sides: replacing one side must not stop the mixer hearing of it.
  auto other = Source(16, 1, {0});
  mixer.SetInput2(in1.get());
  mixer.SetInput1(other.get());
  in1.reset();
  EXPECT_EQ(mixer.Input2(), nullptr);
  EXPECT_EQ(mixer.Input1(), other.get());
}

}  // namespace
