// SPDX-License-Identifier: GPL-3.0-or-later
// The mixer read by a real sink on the sink's worker thread, with the events delivered on this
// (the main) thread.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mix/audio_mixer.h"
#include "mix/converting_input.h"
#include "mix_test_support.h"
#include "pipeline_test_support.h"

using namespace mix_test;
using pipeline_test::PumpUntil;
using pipeline_test::TMemoryOut;

namespace {

// A memory sink reading the mixer, with the ends and errors of its runs.
struct TLoggedSink {
  int Done = 0;
  std::vector<std::string> Errors;
  TMemoryOut Sink;  // last, so that it stops before what its events write goes

  explicit TLoggedSink(TAudioMixer& mixer) {
    Sink.SetInput(&mixer);
    Sink.OnThreadException = [this](TComponent*) { Errors.push_back(Sink.ExceptionMessage()); };
    Sink.OnDone = [this](TComponent*) { ++Done; };
  }
  // Runs once more; false when the run did not end.
  bool Run() {
    const int before = Done;
    Sink.Run();
    return PumpUntil([&] { return Done == before + 1; });
  }
};

std::unique_ptr<TMemoryIn> Constant16(int64_t frames, int channels, int64_t value) {
  return std::make_unique<TMemoryIn>(
      16, channels, Pcm(2, Frames(frames, channels, [value](int64_t, int) { return value; })));
}

TEST(MixerRun, RunAfterAFailedStartWorks) {
  auto in1 = Constant16(8000 * 10, 1, 2000);
  auto in2 = Constant16(8000 * 4, 1, 1000);
  TAudioMixer mixer;
  mixer.SetInput1(in1.get());
  TLoggedSink log(mixer);

  ASSERT_TRUE(log.Run());
  EXPECT_EQ(log.Errors, std::vector<std::string>{"Input2 is not assigned"});
  EXPECT_TRUE(log.Sink.Data.empty());
  EXPECT_FALSE(mixer.IsBusy());
  EXPECT_FALSE(in1->IsBusy());

  mixer.SetInput2(in2.get());
  ASSERT_TRUE(log.Run());
  EXPECT_EQ(log.Errors.size(), 1u);
  const auto out = Values(2, log.Sink.Data);
  ASSERT_EQ(out.size(), 80000u);
  EXPECT_EQ(out[31999], 1500);
  EXPECT_EQ(out[32000], 1000);
  EXPECT_EQ(out.back(), 1000);
}

TEST(MixerRun, InputsCannotChangeWhileASinkReads) {
  auto in1 = Constant16(50000, 2, 100);
  auto in2 = Constant16(50000, 2, 100);
  auto other = Constant16(10, 2, 0);
  TAudioMixer mixer;
  mixer.SetInput1(in1.get());
  mixer.SetInput2(in2.get());
  TLoggedSink log(mixer);
  log.Sink.CloseGate();  // each block waits until released

  log.Sink.Run();
  ASSERT_TRUE(PumpUntil([&] { return mixer.IsBusy(); }));
  try {
    mixer.SetInput2(other.get());
    ADD_FAILURE() << "input changed during a read";
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "The component is busy.");
  }
  log.Sink.Release();
  ASSERT_TRUE(PumpUntil([&] { return log.Done == 1; }));
  EXPECT_TRUE(log.Errors.empty());
  EXPECT_EQ(log.Sink.Data.size(), 200000u);
  EXPECT_EQ(mixer.Input2(), in2.get());
  mixer.SetInput2(other.get());
  EXPECT_EQ(mixer.Input2(), other.get());
}

// A mono 8 kHz second input behind the converting source, concatenated after a stereo
// 16 kHz first one on the sink's thread: it arrives as stereo 16 kHz, twice its frames, its
// value on both sides.
TEST(MixerRun, ConvertedSecondInputJoinsInTheFirstOnesFormat) {
  auto in1 = std::make_unique<TMemoryIn>(
      16, 2, Pcm(2, Frames(16000, 2, [](int64_t, int) { return 2000; })), 16000);
  auto in2 = std::make_unique<TMemoryIn>(
      8, 1, Pcm(1, Frames(8000, 1, [](int64_t, int) { return 128 + 64; })), 8000);
  TConvertingInput converted;
  converted.SetInput(in2.get());
  converted.SetOutputFormatOf(*in1);
  TAudioMixer mixer;
  mixer.Mode = amConcatenate;
  mixer.SetInput1(in1.get());
  mixer.SetInput2(&converted);
  TLoggedSink log(mixer);

  ASSERT_TRUE(log.Run());
  EXPECT_TRUE(log.Errors.empty());
  const auto out = Values(2, log.Sink.Data);
  ASSERT_EQ(out.size(), 2u * (16000 + 16000));
  EXPECT_EQ(out[2 * 16000 + 8000], 64 * 256) << "8-bit 64 above silence, as 16 bits";
  EXPECT_EQ(out[2 * 16000 + 8001], 64 * 256);
  EXPECT_FALSE(converted.IsBusy());
  EXPECT_EQ(in2->Ends, 1);
}

}  // namespace
