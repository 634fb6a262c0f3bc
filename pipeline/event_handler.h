// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "pipeline/au_events.h"
#include "pipeline/thread_state.h"

class TAuOutput;

// One event record: progress, done or thread exception of one sink.
struct TEventRecord {
  enum TKind : uint8_t { ekProgress = 0, ekDone = 1, ekThreadException = 2 };
  TKind Kind = ekProgress;
  TAuOutput* Sender = nullptr;
  uint64_t SenderSerial = 0;  // tells a live sink from a new one at the same address
  TNotifyEvent Handler;       // progress and exception: the handler when the event was posted
  std::shared_ptr<TThreadState> Thread;  // done: the posting thread
  uint64_t IdleCount = 0;                // done: the thread's idle count when it posted
  uint64_t RunId = 0;                    // done: the run that ended
};

// The process's one event dispatcher. It takes the sinks' events first in, first out, and
// has the main thread run each handler, waiting until it returns; so handlers run on the
// main thread, one at a time, in posting order. It lives from the first sink's construction
// to the last sink's destruction.
class TEventHandler {
 public:
  // The running dispatcher; only valid while at least one sink exists.
  static TEventHandler& Instance();

  // Sink lifetime: the first registration starts the dispatcher, the last release ends it.
  static uint64_t RegisterSink(TAuOutput* sink);
  static void ReleaseSink(TAuOutput* sink);

  void PostProgress(TAuOutput* sink, TNotifyEvent handler);
  void PostThreadException(TAuOutput* sink, TNotifyEvent handler);
  // `thread` is the posting thread's state and `idleCount` its idle count at posting time:
  // the dispatcher waits on them for the thread to be idle again, even if the sink is gone.
  void PostDone(TAuOutput* sink, std::shared_ptr<TThreadState> thread, uint64_t idleCount,
                uint64_t runId);

  // Drops every queued event of `sink`.
  void PurgeEvents(TAuOutput* sink);
  // While blocked, events posted by `sink` are dropped.
  void BlockEvents(TAuOutput* sink);
  void UnblockEvents();

  TEventHandler(const TEventHandler&) = delete;
  TEventHandler& operator=(const TEventHandler&) = delete;
  ~TEventHandler();

 private:
  TEventHandler();
  void PostEvent(std::unique_ptr<TEventRecord> record);
  void Execute();
  void Deliver(TEventRecord& record);
  static bool IsLive(const TEventRecord& record);
  void DeliverDoneOnMainThread(TEventRecord& record);

  std::mutex FLock;
  std::condition_variable FWakeEvent;
  bool FSignalled = false;
  bool FTerminated = false;
  std::deque<std::unique_ptr<TEventRecord>> FEventQueue;
  TAuOutput* FBlockedSender = nullptr;
  std::thread FWorker;
};
