// SPDX-License-Identifier: GPL-3.0-or-later
// WAV, MP3 and WMA sources while a sink reads them on its worker thread: the window that owns
// them may destroy them or give them another file at any moment.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "formats/wave/wave_in.h"
#include "media_source_support.h"
#include "pipeline/au_exception.h"
#include "pipeline_test_support.h"

namespace trimora::media::test {
namespace {

using pipeline_test::PumpUntil;
using pipeline_test::TMemoryOut;

struct TKind {
  const char* Name;
  std::function<std::unique_ptr<TAuFileIn>()> Make;
};

std::string WavePath() {
  return std::string(TRIMORA_TEST_DATA) + "/wave/ima_stereo_sox.wav";
}

const TKind kKinds[] = {
    {"wav",
     [] {
       auto source = std::make_unique<TWaveIn>();
       source->SetFileName(WavePath());
       return source;
     }},
    {"mp3", [] { return std::unique_ptr<TAuFileIn>(SourceFor("mp3_lame_cbr128_44k_stereo.mp3")); }},
    {"wma", [] { return std::unique_ptr<TAuFileIn>(SourceFor("wma_v2_64k_44k_stereo.wma")); }},
};

// A sink that reads a few bytes a step and waits at each step until released.
void StartSlowRun(TMemoryOut& sink, TAuInput& source, bool& done) {
  sink.BlockBytes = 64;
  sink.SetInput(&source);
  sink.CloseGate();
  sink.OnDone = [&done](TComponent*) { done = true; };
  sink.Run();
  ASSERT_TRUE(PumpUntil([&] { return sink.BlocksWritten > 2; }));
}

TEST(SourceDuringARun, DestroyingTheSourceStopsTheRunFirst) {
  for (const TKind& kind : kKinds) {
    SCOPED_TRACE(kind.Name);
    auto source = kind.Make();
    TMemoryOut sink;
    bool done = false;
    StartSlowRun(sink, *source, done);
    source.reset();
    EXPECT_EQ(sink.Input(), nullptr);
    EXPECT_FALSE(sink.IsBusy());
    for (int i = 0; i < 10; ++i) main_thread_queue::WaitAndProcess(std::chrono::milliseconds(2));
    EXPECT_FALSE(done) << "a stopped run delivers no done";
  }
}

TEST(SourceDuringARun, ANewFileOrStreamIsRefusedUntilTheReadEnds) {
  for (const TKind& kind : kKinds) {
    SCOPED_TRACE(kind.Name);
    auto source = kind.Make();
    const std::filesystem::path name = source->FileName();
    const std::vector<uint8_t> whole = ReadAll(*source);
    TMemoryOut sink;
    bool done = false;
    StartSlowRun(sink, *source, done);
    TAuMemoryStream other;
    EXPECT_THROW(source->SetFileName(WavePath() + ".other"), EAuException);
    EXPECT_THROW(source->SetStream(&other), EAuException);
    sink.Gate = false;
    sink.Release();
    ASSERT_TRUE(PumpUntil([&] { return done; }));
    EXPECT_EQ(sink.ExceptionMessage(), "");
    EXPECT_EQ(sink.Data, whole) << "the run read on undisturbed";
    EXPECT_EQ(source->FileName(), name);
    EXPECT_NO_THROW(source->SetFileName(name));  // and once it is over, it is accepted
  }
}

}  // namespace
}  // namespace trimora::media::test
