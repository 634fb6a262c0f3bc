// SPDX-License-Identifier: GPL-3.0-or-later
#include "pipeline/au_thread.h"

#include <exception>

#include "pipeline/au_output.h"
#include "pipeline/event_handler.h"

TAuThread::TAuThread(TAuOutput& output) : FOutput(output) {
  FWorker = std::thread([this] { Execute(); });
  std::unique_lock lock(State->Lock);
  State->Changed.wait(lock, [&] { return State->Idle; });
}

TAuThread::~TAuThread() {
  Terminate();
}

bool TAuThread::Idle() const {
  std::lock_guard lock(State->Lock);
  return State->Idle;
}

uint64_t TAuThread::IdleCount() const {
  std::lock_guard lock(State->Lock);
  return State->IdleCount;
}

void TAuThread::Wake(uint64_t runId) {
  std::unique_lock lock(State->Lock);
  // Between the end of a run and its next wait the thread is briefly not idle; a wake-up
  // given then would be lost, so wait for the wait.
  State->Changed.wait(lock, [&] { return State->Idle || State->Exited; });
  if (State->Exited) return;
  StopRequested = false;
  State->RunId = runId;
  State->WakePending = true;
  const uint64_t idleCount = State->IdleCount;
  State->Changed.notify_all();
  // A short run may already be over and the thread idle again when this wakes up.
  State->Changed.wait(
      lock, [&] { return !State->Idle || State->IdleCount != idleCount || State->Exited; });
}

void TAuThread::Terminate() {
  {
    std::lock_guard lock(State->Lock);
    State->Terminated = true;
  }
  State->Changed.notify_all();
  if (FWorker.joinable()) FWorker.join();
}

bool TAuThread::WaitForWake() {
  std::unique_lock lock(State->Lock);
  State->WakePending = false;  // a signal given before this wait is not for it
  State->Idle = true;
  ++State->IdleCount;
  State->Changed.notify_all();
  State->Changed.wait(lock, [&] { return State->WakePending || State->Terminated; });
  State->WakePending = false;
  // Cleared while still holding the lock, before Run can see the thread busy, so that a
  // Stop issued right after Run is never forgotten.
  if (!State->Terminated) StopRequested = false;
  State->Idle = false;
  State->Changed.notify_all();
  return !State->Terminated;
}

void TAuThread::Execute() {
  while (WaitForWake()) {
    RunFinished = false;
    DoRun();
    RunFinished = true;
  }
  std::lock_guard lock(State->Lock);
  State->Exited = true;
  State->Idle = false;
  State->Changed.notify_all();
}

void TAuThread::DoRun() {
  uint64_t runId = 0;
  {
    std::lock_guard lock(State->Lock);
    runId = State->RunId;
  }
  TEventHandler& events = TEventHandler::Instance();
  FOutput.FRunFailed = false;
  try {
    FOutput.PrepareOutput();
    FOutput.Active = true;
    bool more = true;
    while (more && !StopRequested) {
      if (FOutput.Progress() != FOutput.FLastProgress) {
        FOutput.FLastProgress = FOutput.Progress();
        if (auto handler = FOutput.OnProgress.Get()) events.PostProgress(&FOutput, handler);
      }
      more = FOutput.WriteBlock(StopRequested);
    }
  } catch (const std::exception& e) {
    FOutput.FRunFailed = true;
    FOutput.SetExceptionMessage(e.what());
    if (auto handler = FOutput.OnThreadException.Get())
      events.PostThreadException(&FOutput, handler);
  } catch (...) {
    FOutput.FRunFailed = true;
    FOutput.SetExceptionMessage("Unknown error");
    if (auto handler = FOutput.OnThreadException.Get())
      events.PostThreadException(&FOutput, handler);
  }
  StopRequested = false;
  // A failure while finishing (the last write, a header patch) is a failed run like any
  // other: it is reported, never taken for success.
  try {
    FOutput.FinishRun();
  } catch (const std::exception& e) {
    FOutput.Busy = false;
    FOutput.SetExceptionMessage(e.what());
    if (auto handler = FOutput.OnThreadException.Get())
      events.PostThreadException(&FOutput, handler);
  } catch (...) {
    FOutput.Busy = false;
  }
  events.PostDone(&FOutput, State, IdleCount(), runId);
}
