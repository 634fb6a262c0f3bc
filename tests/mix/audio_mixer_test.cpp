// The mixer read directly on the test's thread: its arithmetic, lengths, offsets, refusals and
// recovery from a failed start.

#include "mix/audio_mixer.h"

#include <gtest/gtest.h>

#include <memory>
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

struct TSampleCase {
  const char* Name;
  int Bits1;
  int64_t Value1;
  int Bits2;
  int64_t Value2;
  uint16_t Volume1;
  uint16_t Volume2;
  int64_t Expected;  // in the first input's width
};

// Expected values worked out by hand from the conversion rules: integers become floats by a
// power of two, the sum is halved, and floats go back by one less than that power.
const TSampleCase kSampleCases[] = {
    {"EqualValuesStay", 16, 1000, 16, 1000, 65535, 65535, 1000},
    {"SilenceHalves", 16, 1000, 16, 0, 65535, 65535, 500},
    {"ZeroGainSilencesSecond", 16, 1000, 16, 1000, 65535, 0, 500},
    {"ZeroGainsSilenceBoth", 16, 1000, 16, 1000, 0, 0, 0},
    {"GainScalesFirst", 16, 20000, 16, 0, 32767, 65535, 5000},
    {"FullScaleLosesOneStep", 16, 32767, 16, 32767, 65535, 65535, 32766},
    {"NegativeFullScaleIsSymmetric", 16, -32768, 16, -32768, 65535, 65535, -32767},
    {"EightBitSecondIntoSixteen", 16, 0, 8, 255, 65535, 65535, 16256},
    {"EightBitAverage", 8, 200, 8, 100, 65535, 65535, 150},
    {"EightBitAgainstSilence", 8, 200, 16, 0, 65535, 65535, 164},
    {"TwentyFourBitFloorsDown", 24, 1000, 24, 1000, 65535, 65535, 999},
    {"ThirtyTwoBitRoundsBack", 32, 65536000, 32, 65536000, 65535, 65535, 65536000},
};

class MixSample : public testing::TestWithParam<TSampleCase> {};

TEST_P(MixSample, GivesTheWorkedOutValue) {
  const TSampleCase& c = GetParam();
  auto in1 = Source(c.Bits1, 1, {c.Value1});
  auto in2 = Source(c.Bits2, 1, {c.Value2});
  TAudioMixer mixer;
  mixer.SetInput1(in1.get());
  mixer.SetInput2(in2.get());
  mixer.Volume1 = c.Volume1;
  mixer.Volume2 = c.Volume2;
  const auto out = ReadAll(mixer);
  EXPECT_EQ(Values(c.Bits1 / 8, out), std::vector<int64_t>{c.Expected});
}

INSTANTIATE_TEST_SUITE_P(Arithmetic, MixSample, testing::ValuesIn(kSampleCases),
                         [](const auto& info) { return std::string(info.param.Name); });

struct TJoinCase {
  int64_t Frames1;
  int64_t Frames2;
  int Channels;
  uint32_t Request;   // bytes the reader asks for each time
  uint32_t MaxBlock;  // bytes the inputs hand out at most per read
};

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
  mixer.EndRead();

  auto expected = Frames(c.Frames1, c.Channels, first);
  const auto tail = Frames(c.Frames2, c.Channels, second);
  expected.insert(expected.end(), tail.begin(), tail.end());
  ASSERT_EQ(out.size(), expected.size());
  EXPECT_EQ(out, expected);
  EXPECT_EQ(mixer.Position(), 0);  // the mixer does not count what it hands out
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, Concatenation,
    testing::Values(TJoinCase{1000, 3000, 2, 16384, 1u << 20},
                    TJoinCase{1000, 3000, 2, 1000, 333},       // odd pieces from the inputs
                    TJoinCase{4096, 4096, 1, 8192, 1u << 20},  // first ends on a block edge
                    TJoinCase{0, 500, 1, 16384, 1u << 20}, TJoinCase{700, 0, 1, 16384, 1u << 20},
                    TJoinCase{0, 0, 2, 16384, 1u << 20}, TJoinCase{1001, 999, 3, 16384, 77}));

TEST(Concatenation, SecondInputTakesTheFirstInputsWidth) {
  TAudioMixer mixer;
  mixer.Mode = amConcatenate;
  {
    auto in1 = Source(16, 1, {1000, -1000});
    auto in2 = Source(8, 1, {128, 255, 0, 192});
    mixer.SetInput1(in1.get());
    mixer.SetInput2(in2.get());
    EXPECT_EQ(mixer.BitsPerSample(), 16);
    EXPECT_EQ(Values(2, ReadAll(mixer)),
              (std::vector<int64_t>{1000, -1000, 0, 32511, -32767, 16384}));
  }
  {
    auto in1 = Source(8, 1, {200});
    auto in2 = Source(16, 1, {1000, 0, -32768});
    mixer.SetInput1(in1.get());
    mixer.SetInput2(in2.get());
    EXPECT_EQ(mixer.BitsPerSample(), 8);
    EXPECT_EQ(Values(1, ReadAll(mixer)), (std::vector<int64_t>{200, 131, 128, 0}));
  }
}

TEST(Concatenation, GainsApplyToTheirOwnInput) {
  auto in1 = Source(16, 1, {1000, 1000});
  auto in2 = Source(16, 1, {1000, 1000});
  TAudioMixer mixer;
  mixer.Mode = amConcatenate;
  mixer.Volume1 = 0;
  mixer.SetInput1(in1.get());
  mixer.SetInput2(in2.get());
  EXPECT_EQ(Values(2, ReadAll(mixer)), (std::vector<int64_t>{0, 0, 1000, 1000}));
}

struct TLengthCase {
  int Seconds1;
  int Seconds2;
  uint32_t Request;
};

class MixLength : public testing::TestWithParam<TLengthCase> {};

// 8000 Hz mono: the longer input holds 2000 throughout, the shorter 1000. Together they give
// 1500; the longer one alone comes out at half amplitude, 1000.
TEST_P(MixLength, LastsAsLongAsTheLongerWithItsRestAtHalfAmplitude) {
  const TLengthCase& c = GetParam();
  const int rate = 8000;
  auto constant = [](int64_t value) { return [value](int64_t, int) { return value; }; };
  const int64_t value1 = c.Seconds1 >= c.Seconds2 ? 2000 : 1000;
  const int64_t value2 = c.Seconds1 >= c.Seconds2 ? 1000 : 2000;
  auto in1 = Source(16, 1, Frames(int64_t{c.Seconds1} * rate, 1, constant(value1)));
  auto in2 = Source(16, 1, Frames(int64_t{c.Seconds2} * rate, 1, constant(value2)));
  TAudioMixer mixer;
  mixer.SetInput1(in1.get());
  mixer.SetInput2(in2.get());

  mixer.StartRead();
  const int64_t longer = int64_t{std::max(c.Seconds1, c.Seconds2)} * rate;
  const int64_t shorter = int64_t{std::min(c.Seconds1, c.Seconds2)} * rate;
  EXPECT_EQ(mixer.Size(), longer * 2);
  const auto out = Values(2, ReadToEnd(mixer, c.Request));
  mixer.EndRead();

  ASSERT_EQ(static_cast<int64_t>(out.size()), longer);
  for (int64_t i = 0; i < longer; ++i) {
    ASSERT_EQ(out[i], i < shorter ? 1500 : 1000) << "at sample " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(TenAndFourSeconds, MixLength,
                         testing::Values(TLengthCase{10, 4, 16384}, TLengthCase{4, 10, 16384},
                                         TLengthCase{10, 4, 1000}));

TEST(MixLength, EightBitTailIsCentredOnSilence) {
  auto in1 = Source(8, 1, {200, 200, 200, 200});
  auto in2 = Source(8, 1, {100, 100});
  TAudioMixer mixer;
  mixer.SetInput1(in1.get());
  mixer.SetInput2(in2.get());
  // The missing second input counts as silence (128), not as full negative amplitude.
  EXPECT_EQ(Values(1, ReadAll(mixer)), (std::vector<int64_t>{150, 150, 164, 164}));
}

// Stereo at 16384-byte requests: blocks of 4096 samples, 2048 frames.
TEST(MixOffset, SecondInputStartsWithTheBlockThatReachesTheOffset) {
  auto in1 = Source(16, 2, Frames(10000, 2, [](int64_t, int) { return 2000; }));
  auto in2 = Source(16, 2, Frames(1000, 2, [](int64_t, int) { return 1000; }));
  TAudioMixer mixer;
  mixer.Input2StartSample = 5000;
  mixer.SetInput1(in1.get());
  mixer.SetInput2(in2.get());
  mixer.StartRead();
  EXPECT_EQ(mixer.Size(), 10000 * 4);
  const auto out = Values(2, ReadToEnd(mixer, 16384));
  mixer.EndRead();
  ASSERT_EQ(out.size(), 20000u);
  // The third block (frames 4096 to 6143) is the one in which the offset is reached.
  for (std::size_t i = 0; i < out.size(); ++i) {
    const std::size_t frame = i / 2;
    ASSERT_EQ(out[i], frame >= 4096 && frame < 5096 ? 1500 : 1000) << "at frame " << frame;
  }
}

TEST(MixOffset, SecondInputBeyondTheFirstsEndFollowsSilenceAtItsExactStart) {
  auto in1 = Source(16, 2, Frames(1000, 2, [](int64_t, int) { return 2000; }));
  auto in2 = Source(16, 2, Frames(500, 2, [](int64_t, int) { return 4000; }));
  TAudioMixer mixer;
  mixer.Input2StartSample = 3000;
  mixer.SetInput1(in1.get());
  mixer.SetInput2(in2.get());
  mixer.StartRead();
  EXPECT_EQ(mixer.Size(), 3500 * 4);
  const auto out = Values(2, ReadToEnd(mixer, 16384));
  mixer.EndRead();
  ASSERT_EQ(out.size(), 7000u);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const std::size_t frame = i / 2;
    ASSERT_EQ(out[i], frame < 1000 ? 1000 : frame < 3000 ? 0 : 2000) << "at frame " << frame;
  }
}

// 4096 samples are not a whole number of 3-channel frames; the second input must still land
// on the first channel.
TEST(MixOffset, SecondInputKeepsItsChannelsWithThreeChannels) {
  auto in1 = Source(16, 3, Frames(5000, 3, [](int64_t, int c) { return (c + 1) * 100; }));
  auto in2 = Source(16, 3, Frames(2000, 3, [](int64_t, int c) { return (c + 1) * 1000; }));
  TAudioMixer mixer;
  mixer.Input2StartSample = 3000;
  mixer.SetInput1(in1.get());
  mixer.SetInput2(in2.get());
  const auto out = Values(2, ReadAll(mixer, 16384));
  ASSERT_EQ(out.size(), 15000u);
  int mixedFrames = 0;
  for (std::size_t f = 0; f < 5000; ++f) {
    const int64_t unit = out[f * 3];
    ASSERT_TRUE(unit == 50 || unit == 550) << "frame " << f << " starts with " << unit;
    ASSERT_EQ(out[f * 3 + 1], 2 * unit) << "frame " << f;
    ASSERT_EQ(out[f * 3 + 2], 3 * unit) << "frame " << f;
    mixedFrames += unit == 550;
  }
  EXPECT_EQ(mixedFrames, 2000);
}

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

TEST(MixerRefusals, FormatQueriesNeedTheFirstInput) {
  TAudioMixer mixer;
  auto in2 = Source(16, 2, {});
  mixer.SetInput2(in2.get());
  ExpectAuError([&] { mixer.BitsPerSample(); }, "Input not assigned");
  ExpectAuError([&] { mixer.Channels(); }, "Input not assigned");
  ExpectAuError([&] { mixer.SampleRate(); }, "Input not assigned");
  auto in1 = std::make_unique<TMemoryIn>(24, 6, std::vector<uint8_t>{}, 48000);
  mixer.SetInput1(in1.get());
  EXPECT_EQ(mixer.BitsPerSample(), 24);
  EXPECT_EQ(mixer.Channels(), 6);
  EXPECT_EQ(mixer.SampleRate(), 48000);
}

TEST(MixerRefusals, InputsCannotChangeDuringARead) {
  auto in1 = Source(16, 1, {1, 2, 3});
  auto in2 = Source(16, 1, {4, 5, 6});
  auto other = Source(16, 1, {7});
  TAudioMixer mixer;
  mixer.Mode = amConcatenate;
  mixer.SetInput1(in1.get());
  mixer.SetInput2(in2.get());
  mixer.StartRead();
  EXPECT_TRUE(mixer.IsBusy());
  ExpectAuError([&] { mixer.SetInput1(other.get()); }, "The component is busy.");
  ExpectAuError([&] { mixer.SetInput2(nullptr); }, "The component is busy.");
  ExpectAuError([&] { mixer.StartRead(); }, "The component is busy.");
  EXPECT_EQ(mixer.Input1(), in1.get());
  EXPECT_EQ(mixer.Input2(), in2.get());
  // The refused start left the running read alone.
  EXPECT_EQ(Values(2, ReadToEnd(mixer, 4)), (std::vector<int64_t>{1, 2, 3, 4, 5, 6}));
  mixer.EndRead();
  EXPECT_FALSE(mixer.IsBusy());
  EXPECT_FALSE(in1->IsBusy());
  mixer.SetInput1(other.get());
  EXPECT_EQ(mixer.Input1(), other.get());
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
  uint8_t* data = nullptr;
  uint32_t bytes = 100;
  mixer.ReadData(data, bytes);
  EXPECT_EQ(bytes, 0u);
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

TEST(MixerInputs, DestroyedInputIsDroppedEvenDuringARead) {
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

  in1.reset();
  EXPECT_EQ(mixer.Input1(), nullptr);
  ExpectAuError([&] { mixer.BitsPerSample(); }, "Input not assigned");
}

TEST(MixerInputs, OneSourceMayFeedBothSides) {
  auto in = Source(16, 1, {1000});
  auto other = Source(16, 1, {0});
  TAudioMixer mixer;
  mixer.SetInput1(in.get());
  mixer.SetInput2(in.get());
  mixer.SetInput1(other.get());
  in.reset();  // still the second input: the mixer must hear of it
  EXPECT_EQ(mixer.Input2(), nullptr);
  EXPECT_EQ(mixer.Input1(), other.get());
}

}  // namespace
