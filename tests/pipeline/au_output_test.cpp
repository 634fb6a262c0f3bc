// SPDX-License-Identifier: GPL-3.0-or-later
// Runs of a sink on its worker thread, and the events the dispatcher delivers on the main
// thread (this test's thread, which drains the queue in PumpUntil).

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "pipeline/au_output.h"
#include "pipeline_test_support.h"

using namespace pipeline_test;

namespace {

struct TRecorder {
  std::vector<std::string> Events;
  std::thread::id MainThread = std::this_thread::get_id();
  bool AllOnMainThread = true;

  void Attach(TAuOutput& sink, const std::string& name) {
    auto note = [this, name](const std::string& what) {
      if (std::this_thread::get_id() != MainThread) AllOnMainThread = false;
      Events.push_back(name + ":" + what);
    };
    sink.OnProgress = [note, &sink](TComponent*) {
      note("progress " + std::to_string(sink.Progress()));
    };
    sink.OnThreadException = [note, &sink](TComponent*) {
      note("error " + sink.ExceptionMessage());
    };
    sink.OnDone = [note](TComponent*) { note("done"); };
  }
  int Count(const std::string& event) const {
    return static_cast<int>(std::count(Events.begin(), Events.end(), event));
  }
};

// A raw file of `frames` test frames feeding a memory sink whose events are recorded as
// "s:...".
struct TFileToMemory {
  explicit TFileToMemory(int64_t frames) : File(frames) {
    Source.SetFileName(File.Path());
    Sink.SetInput(&Source);
    Recorder.Attach(Sink, "s");
  }
  TTempFile File;
  TRawFileIn Source;
  TMemoryOut Sink;
  TRecorder Recorder;
};

}  // namespace

TEST(SinkRun, EmptySourceStillPreparesWritesOnceFinishesAndReportsDone) {
  TFileToMemory run(0);
  auto& [file, source, sink, recorder] = run;

  sink.Run();
  ASSERT_TRUE(PumpUntil([&] { return recorder.Count("s:done") == 1; }));
  EXPECT_EQ(sink.Calls, (std::vector<std::string>{"prepare", "write", "finish"}));
  EXPECT_TRUE(sink.Data.empty());
  EXPECT_FALSE(sink.IsBusy());
  EXPECT_TRUE(recorder.AllOnMainThread);
}

TEST(SinkRun, WholeFileArrivesWithProgressEventsEndingInDone) {
  TFileToMemory run(50000);
  auto& [file, source, sink, recorder] = run;

  sink.Run();
  ASSERT_TRUE(PumpUntil([&] { return recorder.Count("s:done") == 1; }));
  EXPECT_EQ(sink.Data, MakeFrames(0, 50000));
  ASSERT_GE(recorder.Events.size(), 3u);
  EXPECT_EQ(recorder.Events.back(), "s:done");
  // Percentages are posted only when they change, so there are at most about a hundred.
  EXPECT_LE(recorder.Events.size(), 102u);
  EXPECT_EQ(sink.ExceptionMessage(), "");
}

TEST(SinkRun, UnknownSizeReportsMinusOneOnceAndNoMoreProgress) {
  TUnknownSizeIn source;
  source.Blocks = 20;
  TMemoryOut sink;
  sink.BlockBytes = 16;
  sink.SetInput(&source);
  TRecorder recorder;
  recorder.Attach(sink, "s");

  sink.Run();
  ASSERT_TRUE(PumpUntil([&] { return recorder.Count("s:done") == 1; }));
  EXPECT_EQ(recorder.Events, (std::vector<std::string>{"s:progress -1", "s:done"}));
}

TEST(SinkRun, RefusesASecondRunWhileBusyAndAMissingInput) {
  TMemoryOut lonely;
  try {
    lonely.Run();
    FAIL() << "Run without input must raise";
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "Input is not assigned");
  }
  EXPECT_FALSE(lonely.IsBusy());

  TFileToMemory run(20000);
  auto& [file, source, sink, recorder] = run;
  sink.CloseGate();
  sink.Run();
  try {
    sink.Run();
    FAIL() << "a second Run must raise";
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "Component is Busy");
  }
  sink.Release();
  ASSERT_TRUE(PumpUntil([&] { return recorder.Count("s:done") == 1; }));
  EXPECT_EQ(sink.Data, MakeFrames(0, 20000)) << "the first run went on undisturbed";
}

TEST(SinkRun, OnDoneMayStartTheNextRun) {
  TTempFile file(3000);
  TRawFileIn source;
  source.SetFileName(file.Path());
  TMemoryOut sink;
  sink.SetInput(&source);
  int done = 0;
  std::vector<size_t> sizes;
  sink.OnDone = [&](TComponent*) {
    sizes.push_back(sink.Data.size());
    if (++done < 3) {
      source.StartSample = 1000 * done;  // the range is reset after every read
      sink.Run();
    }
  };
  sink.Run();
  ASSERT_TRUE(PumpUntil([&] { return done == 3; }));
  // A range to the end starts at StartSample; the read stops at the end of the data.
  EXPECT_EQ(sizes, (std::vector<size_t>{12000, 8000, 4000}));
  EXPECT_EQ(sink.Data, MakeFrames(2000, 1000));
}

TEST(SinkRun, StopAndDestructionDuringARunDeliverNoDone) {
  TTempFile file(200000);
  TRawFileIn source;
  source.SetFileName(file.Path());
  TRecorder recorder;
  {
    TMemoryOut sink;
    sink.SetInput(&source);
    sink.CloseGate();
    recorder.Attach(sink, "s");
    sink.Run();
    ASSERT_TRUE(PumpUntil([&] { return sink.BlocksWritten > 2; }));
    sink.Stop();
    EXPECT_FALSE(sink.IsBusy());
    EXPECT_EQ(sink.Calls.back(), "finish") << "a stopped run still finishes its output";

    // The sink can run again after a stop.
    sink.Release();
    sink.Gate = false;
    sink.Run();
    ASSERT_TRUE(PumpUntil([&] { return recorder.Count("s:done") == 1; }));
    EXPECT_EQ(sink.Data.size(), 800000u);

    sink.CloseGate();
    sink.Run();
    ASSERT_TRUE(PumpUntil([&] { return sink.BlocksWritten > 210; }));
  }  // destroyed while running
  for (int i = 0; i < 20; ++i) main_thread_queue::WaitAndProcess(std::chrono::milliseconds(5));
  EXPECT_EQ(recorder.Count("s:done"), 1);
  EXPECT_FALSE(source.IsBusy()) << "the source's read was ended";
}

TEST(SinkRun, NewInputWhileBusyRestartsOnTheNewSource) {
  TTempFile first(200000, "first.raw");
  TTempFile second(1000, "second.raw");
  TRawFileIn a, b;
  a.SetFileName(first.Path());
  b.SetFileName(second.Path());
  TMemoryOut sink;
  sink.SetInput(&a);
  sink.CloseGate();
  TRecorder recorder;
  recorder.Attach(sink, "s");
  sink.Run();
  ASSERT_TRUE(PumpUntil([&] { return sink.BlocksWritten > 1; }));
  sink.Gate = false;
  sink.SetInput(&b);
  ASSERT_TRUE(PumpUntil([&] { return recorder.Count("s:done") == 1; }));
  EXPECT_EQ(sink.Data, MakeFrames(0, 1000));
  EXPECT_EQ(recorder.Count("s:done"), 1) << "the stopped run delivers no done";
}

TEST(SinkRun, DestroyingTheInputDetachesItFromTheSink) {
  TMemoryOut sink;
  {
    TTempFile file(10);
    TRawFileIn source;
    source.SetFileName(file.Path());
    sink.SetInput(&source);
    EXPECT_EQ(sink.Input(), &source);
  }
  EXPECT_EQ(sink.Input(), nullptr);
}

TEST(SinkRun, ErrorsReachOnThreadExceptionThenOnDoneAndTheSinkIsReusable) {
  TFileToMemory run(5000);
  auto& [file, source, sink, recorder] = run;

  sink.FailInPrepare = "cannot prepare";
  sink.Run();
  ASSERT_TRUE(PumpUntil([&] { return recorder.Count("s:done") == 1; }));
  EXPECT_EQ(recorder.Events, (std::vector<std::string>{"s:error cannot prepare", "s:done"}));
  EXPECT_EQ(sink.Calls, (std::vector<std::string>{"prepare", "finish"}));

  sink.FailInPrepare.clear();
  sink.FailInWrite = "disk full";
  sink.Calls.clear();
  sink.Run();
  ASSERT_TRUE(PumpUntil([&] { return recorder.Count("s:done") == 2; }));
  EXPECT_EQ(recorder.Events.at(recorder.Events.size() - 2), "s:error disk full");
  EXPECT_EQ(sink.ExceptionMessage(), "disk full");

  // A failure while finishing is reported too, and the sink is not left busy.
  sink.FailInWrite.clear();
  sink.FailInFinish = "header patch failed";
  sink.Run();
  ASSERT_TRUE(PumpUntil([&] { return recorder.Count("s:done") == 3; }));
  EXPECT_EQ(recorder.Events.at(recorder.Events.size() - 2), "s:error header patch failed");
  EXPECT_FALSE(sink.IsBusy());

  sink.FailInFinish.clear();
  sink.Run();
  ASSERT_TRUE(PumpUntil([&] { return recorder.Count("s:done") == 4; }));
  EXPECT_EQ(sink.ExceptionMessage(), "") << "Run clears the last message";
  EXPECT_EQ(sink.Data, MakeFrames(0, 5000));
}

TEST(SinkRun, FailedStartReadIsReportedWithTheSourcesMessage) {
  TRawFileIn source;  // no file name
  TMemoryOut sink;
  sink.SetInput(&source);
  TRecorder recorder;
  recorder.Attach(sink, "s");
  sink.Run();
  ASSERT_TRUE(PumpUntil([&] { return recorder.Count("s:done") == 1; }));
  EXPECT_EQ(recorder.Events.front(), "s:error The file name is not assigned");
  EXPECT_TRUE(source.IsEndOfStream());
}

TEST(SinkRun, EventsOfTwoSinksArriveInPostingOrderOneAtATime) {
  TTempFile file(30000);
  TRawFileIn a, b;
  a.SetFileName(file.Path());
  TTempFile file2(30000, "b.raw");
  b.SetFileName(file2.Path());
  TMemoryOut one, two;
  one.SetInput(&a);
  two.SetInput(&b);
  std::vector<std::string> order;
  std::atomic<int> inHandler{0};
  bool overlapped = false;
  auto handler = [&](const std::string& name) {
    return [&, name](TComponent*) {
      if (++inHandler > 1) overlapped = true;
      order.push_back(name);
      --inHandler;
    };
  };
  one.OnProgress = handler("one");
  two.OnProgress = handler("two");
  int done = 0;
  one.OnDone = [&](TComponent*) { ++done; };
  two.OnDone = [&](TComponent*) { ++done; };
  one.Run();
  two.Run();
  ASSERT_TRUE(PumpUntil([&] { return done == 2; }));
  EXPECT_FALSE(overlapped);
  EXPECT_EQ(std::count(order.begin(), order.end(), "one"),
            std::count(order.begin(), order.end(), "two"))
      << "both sinks post the same percentages";
  EXPECT_GT(order.size(), 20u);
}
