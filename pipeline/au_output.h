// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "pipeline/au_events.h"
#include "pipeline/au_input.h"
#include "pipeline/component.h"

class TAuThread;

// Base of every sink. A sink pulls PCM from its Input on its own worker thread: Run returns
// at once, and the caller hears of the run only through OnProgress, OnThreadException and
// OnDone, each called on the main thread by the process's event dispatcher.
//
// A concrete sink must call Shutdown() first thing in its destructor, so that the worker
// thread has stopped before the sink's own members go away.
class TAuOutput : public TComponent {
 public:
  TAuOutput();
  ~TAuOutput() override;

  // Starts a run; raises "Component is Busy" or "Input is not assigned".
  void Run();
  // Stops a run and waits for it; no OnDone is delivered for a stopped run.
  void Stop();
  // Percentage done: -1 when the input's size is unknown. A sink that does not pull its
  // data through the input counts its own.
  virtual int Progress() const;

  TAuInput* Input() const { return FInput; }
  virtual void SetInput(TAuInput* input);

  bool IsBusy() const { return Busy.load(); }
  bool IsActive() const { return Active.load(); }
  std::string ExceptionMessage() const;

  TEventSlot<TOutputDoneEvent> OnDone;
  TEventSlot<TOutputProgressEvent> OnProgress;
  TEventSlot<TThreadExceptionEvent> OnThreadException;

 protected:
  // One step of work: read from Input, encode, write. True while there is more to do.
  virtual bool WriteBlock(bool Abort) = 0;
  // Called once after the last WriteBlock, also after an error: flush, close, end the read.
  virtual void FinishOutput() = 0;
  // Called at the start of every run on the worker thread: open, StartRead, set up.
  virtual void PrepareOutput() = 0;

  void Notification(TComponent* destroyed) override;

  // Whether PrepareOutput or a WriteBlock of the current run raised, so that FinishOutput
  // never makes what was written look complete. Worker thread only.
  bool RunFailed() const { return FRunFailed; }

  // Stops any run, ends the worker thread and leaves the dispatcher. Idempotent.
  void Shutdown();

  std::atomic<bool> Stopped{false};
  std::atomic<bool> Active{false};
  std::atomic<bool> Busy{false};

 private:
  friend class TAuThread;
  friend class TEventHandler;

  void FinishRun();
  // Whether the worker thread is to hand out the done event of its run; false from a Stop
  // until the stopped run has ended. Lets the dispatcher ask without knowing the thread.
  bool DeliversDone() const;
  void SetExceptionMessage(std::string message);

  int32_t FLastProgress = 0;  // worker thread only; deliberately not reset between runs
  bool FRunFailed = false;   // worker thread only
  std::unique_ptr<TAuThread> FThread;
  TAuInput* FInput = nullptr;
  std::mutex FLock;
  mutable std::mutex FMessageLock;
  std::string FExceptionMessage;
  // Runs are numbered so that a done event of a stopped run is never delivered, even when
  // the dispatcher had already taken it off the queue when Stop came.
  std::atomic<uint64_t> FRunCount{0};
  std::atomic<uint64_t> FStoppedRun{0};
  uint64_t FSerial = 0;
  bool FShutDown = false;
};
