// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/run_loop.h"

#include <chrono>
#include <exception>

#include "cli/interrupt.h"
#include "cli/progress_line.h"
#include "pipeline/main_thread_queue.h"

TRunResult RunToCompletion(TAuOutput& sink, TProgressLine& progress,
                           const std::function<void()>& start) {
  TRunResult result;
  bool done = false;
  // Where no percentage is shown, the worker posts none: a copy at the disk's pace would
  // otherwise wake this thread a hundred times for nothing.
  if (progress.Enabled()) sink.OnProgress = [&](TComponent*) { progress.Show(sink.Progress()); };
  sink.OnThreadException = [&](TComponent*) {
    if (result.Error.empty()) result.Error = sink.ExceptionMessage();
  };
  sink.OnDone = [&](TComponent*) { done = true; };
  try {
    if (start)
      start();
    else
      sink.Run();
  } catch (const std::exception& e) {
    result.Error = e.what();
    return result;
  }
  // The wait is short so that a signal is noticed promptly; events wake it at once.
  while (!done) {
    if (const int signal = interrupt::Received()) {
      sink.Stop();
      result.Signal = signal;
      break;
    }
    main_thread_queue::WaitAndProcess(std::chrono::milliseconds(50));
  }
  progress.Clear();
  if (done && result.Error.empty()) result.Error = sink.ExceptionMessage();
  sink.OnProgress = nullptr;
  sink.OnThreadException = nullptr;
  sink.OnDone = nullptr;
  result.Succeeded = done && result.Error.empty() && result.Signal == 0;
  return result;
}
