// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

class TAuOutput;

// The waiting state of a worker thread. Event records hold it too, so that the dispatcher
// can wait for a thread to be idle again even if its sink is destroyed meanwhile.
struct TThreadState {
  std::mutex Lock;
  std::condition_variable Changed;
  bool Idle = false;
  bool WakePending = false;
  bool Terminated = false;
  bool Exited = false;
  uint64_t IdleCount = 0;  // times the thread went idle; tells a fresh wait from an old one
  uint64_t RunId = 0;      // the run the thread is doing or did last

  // Waits until the thread has gone idle after `idleCount`, or has ended.
  void WaitIdleAfter(uint64_t idleCount);
};

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

  TAuOutput& Output;
  std::thread Worker;
};
