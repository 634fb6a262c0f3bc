// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "pipeline/thread_state.h"

class TAuOutput;

// The worker thread a sink owns: it waits until Run wakes it, then drives one run
// (PrepareOutput, WriteBlock until done or stopped, FinishOutput) and posts the done event.
class TAuThread {
 public:
  explicit TAuThread(TAuOutput& output);
  ~TAuThread();
  TAuThread(const TAuThread&) = delete;
  TAuThread& operator=(const TAuThread&) = delete;

  std::atomic<bool> DeliverDone{true};
  std::atomic<bool> RunFinished{false};
  std::atomic<bool> StopRequested{false};

  bool Idle() const;
  uint64_t IdleCount() const;
  // Wakes the thread for run `runId`: waits for it to be idle, then until it has left its
  // wait, so that a Stop right after Run always finds the run under way.
  void Wake(uint64_t runId);
  // Ends the thread and waits for it.
  void Terminate();

  const std::shared_ptr<TThreadState> State = std::make_shared<TThreadState>();

 private:
  void Execute();
  bool WaitForWake();  // false when terminated
  void DoRun();

  TAuOutput& FOutput;
  std::thread FWorker;
};
