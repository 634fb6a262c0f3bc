// SPDX-License-Identifier: GPL-3.0-or-later
// The core both front ends drive: the kinds table's lengths and the one range rule on real
// files of every kind, the pieces of a segment cut read in one pass, and the sweep of the
// leftovers of killed runs.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "cutting/kinds/kind_registry.h"
#include "cutting/operations/ranges_input.h"
#include "cutting/save/leftovers.h"
#include "cutting/save/output_run.h"
#include "cutting/time/cut_range.h"
#include "pipeline_test_support.h"
#include "test_support.h"

using namespace test_support;

namespace {

// A process id that no process has: a child that has already ended.
long DeadPid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  int status = 0;
  ::waitpid(child, &status, 0);
  return child;
}

using pipeline_test::ReadAll;

// Two seconds at 44100 Hz of each kind: the length the table holds is the sound the file holds
// (an MP3 source's padding left out), and a selection reads by the same rule everywhere.
TEST(CutCore, EveryKindHoldsItsTrueLengthAndTheRangeRuleAgrees) {
  TTempFolder folder;
  const struct {
    const char* Name;
    int64_t Tolerance;  // frames: the compressed sources count in hundredths of a second
  } kinds[] = {{"a.wav", 0},  {"a.mp3", 1152}, {"a.wma", 2048}, {"A.MP3", 1152},
               {"a.flac", 0}, {"a.ogg", 0},    {"a.m4a", 0}};
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.Name);
    WriteClickFile(folder / kind.Name, {44100, 2, 88200, {}});
    TOpenedSource opened = OpenSource(folder / kind.Name);
    TAuFileIn& source = *opened.Source;
    const int64_t held = opened.Kind->FramesHeld(source);
    EXPECT_NEAR(held, 88200, kind.Tolerance);
    const struct {
      int32_t StartMs, EndMs;
      bool ToEnd;
      int64_t Start, End;  // -1: to the end of the data
    } ranges[] = {{0, 0, true, 0, -1},
                  {500, 1000, false, 22050, 44100},
                  {500, 1950, false, 22050, 85995},
                  {500, 5000, false, 22050, -1}};  // an end past the sound reads to its end
    // Past a length that is only the header's estimate (WMA) the range stays as asked: the
    // read ends where the sound does.
    const bool estimate = opened.Kind->LengthIsEstimate(source);
    EXPECT_EQ(estimate, std::string(kind.Name) == "a.wma");
    for (const auto& r : ranges) {
      const TFrameRange range = RangeToRead(*opened.Kind, source, r.StartMs, r.EndMs, r.ToEnd);
      EXPECT_EQ(range.StartSample, r.Start) << r.StartMs;
      EXPECT_EQ(range.EndSample, estimate && !r.ToEnd ? r.EndMs * 441 / 10 : r.End) << r.EndMs;
    }
    // A start in the last third of a second past the sound (an MP3 source's padding) or
    // beyond has nothing to read.
    const int32_t heldMs = FramesToMs(held, 44100);
    for (const int32_t startMs : {heldMs + 1, heldMs + 300, 60000}) {
      if (estimate)
        EXPECT_EQ(RangeToRead(*opened.Kind, source, startMs, 0, true).EndSample, -1);
      else
        EXPECT_THROW(RangeToRead(*opened.Kind, source, startMs, 0, true), ERangePastEnd) << startMs;
    }
  }
  EXPECT_FALSE(FindKind(folder / "a.aiff"));
  EXPECT_THROW(KindOfFile(folder / "a.aiff"), ECutError);
}

// Stretches of a WAV file read one after another come out sample for sample, each starting
// and ending on the frame asked for, the last to the end of the data.
TEST(CutCore, RangesAreReadOneAfterAnotherExactly) {
  TTempFolder folder;
  TClickSound sound{8000, 1, 1000, {10, 120, 500, 990}};
  WriteClickWave(folder / "in.wav", sound);
  TOpenedSource opened = OpenSource(folder / "in.wav");
  const std::vector<int16_t> whole = DecodeS16(folder / "in.wav");
  TRangesInput ranges;
  ranges.SetSource(opened.Source.get());
  ranges.SetRanges({{5, 120}, {499, 499}, {900, -1}}, 1000);
  EXPECT_EQ(ranges.TotalSamples(), 116 + 1 + 100);
  std::vector<int16_t> expected(whole.begin() + 5, whole.begin() + 121);
  expected.push_back(whole[499]);
  expected.insert(expected.end(), whole.begin() + 900, whole.end());
  for (int pass = 0; pass < 2; ++pass) {  // a second read starts over
    EXPECT_EQ(ReadAll(ranges), expected);
    EXPECT_EQ(ranges.FramesRead(), static_cast<int64_t>(expected.size()));
  }
  EXPECT_FALSE(opened.Source->IsBusy());
}

// A cut runs on what was opened: an input deleted after it was opened is cut whole, and one
// cut short after it was opened fails the run ("The file ended early"), the older file of the
// target's name kept.
TEST(CutCore, ACutReadsTheFileItOpenedAndFailsWhenItEndsEarly) {
  TTempFolder folder;
  for (const char* name : {"in.wav", "in.mp3", "in.wma", "in.flac", "in.m4a"}) {
    for (const bool shrink : {false, true}) {
      SCOPED_TRACE(std::string(name) + (shrink ? " shrunk" : " deleted"));
      const auto input = folder / name;
      const auto target = folder / ("out" + std::filesystem::path(name).extension().string());
      // A tone, so that a quarter of the compressed file is more than a read ahead holds.
      WriteClickFile(input, {44100, 2, 44100 * 8, {}, {{0, 44100 * 8, 440, 8000}}});
      WriteBytes(target, {'o', 'l', 'd'});
      TOpenedSource opened = OpenSource(input);
      TAuFileIn& source = *opened.Source;
      ApplyRange(source, RangeToRead(*opened.Kind, source, 1000, 0, true));
      TOutputRun run;
      auto sink = opened.Kind->MakeSink();
      sink->SetFileName(run.OpenTarget(target, true, {input}));
      if (shrink)
        std::filesystem::resize_file(input, std::filesystem::file_size(input) / 4);
      else
        std::filesystem::remove(input);
      sink->SetInput(&source);
      opened.Kind->PrepareCut(source, *sink);
      bool done = false;
      sink->OnDone = [&done](TComponent*) { done = true; };
      run.Start(*sink, *opened.Kind, FramesDelivered(source), FramesToRead(*opened.Kind, source));
      ASSERT_TRUE(pipeline_test::PumpUntil([&] { return done; }));
      const std::string error = run.Finish();
      if (shrink) {
        EXPECT_NE(error.find("The file ended early: '" + input.string() + "' gave 00:00:0"),
                  std::string::npos)
            << error;
        EXPECT_EQ(ReadText(target), "old");
      } else {
        EXPECT_EQ(error, "");
        EXPECT_NEAR(run.FramesWritten(), 44100 * 7, opened.Kind->LengthSlack(44100));
      }
    }
  }
}

// Only leftovers of this user's processes that have ended go; a running process's, other
// names and a folder's contents otherwise stay.
TEST(CutCore, TheSweepRemovesOnlyTheLeftoversOfEndedRuns) {
  TTempFolder folder;
  const std::string dead = std::to_string(DeadPid()), alive = std::to_string(::getpid());
  const std::string gone[] = {".song.trimora-" + dead + "-Ab3dE9.mp3",
                              ".noext.trimora-" + dead + "-Ab3dE9"};
  const std::string kept[] = {".song.trimora-" + alive + "-Ab3dE9.mp3",
                              "song.trimora-" + dead + "-Ab3dE9.mp3",  // not hidden: the user's
                              ".song.trimora-" + dead + "-Ab3.mp3",
                              ".song.trimora-x" + dead + "-Ab3dE9.mp3", "song.mp3"};
  for (const auto& name : gone) WriteBytes(folder / name, {1});
  for (const auto& name : kept) WriteBytes(folder / name, {1});
  std::filesystem::create_directories(folder / ("segcut-" + dead + "-Qw3rTy") / "x");
  WriteBytes(folder / ("segcut-" + dead + "-Qw3rTy") / "x" / "cut1.wav", {1});
  std::filesystem::create_directories(folder / ("segcut-" + alive + "-Qw3rTy"));
  EXPECT_EQ(SweepLeftovers({folder.Path(), folder / "missing"}), 3);
  std::vector<std::string> expected(std::begin(kept), std::end(kept));
  expected.push_back("segcut-" + alive + "-Qw3rTy");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(folder.Names(), expected);
}

}  // namespace
