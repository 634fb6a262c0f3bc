// SPDX-License-Identifier: GPL-3.0-or-later
#include "pipeline/event_handler.h"

#include <chrono>

#include "pipeline/au_output.h"
#include "pipeline/main_thread_queue.h"

namespace {

// The sinks alive now, with their serials, and the dispatcher they share.
struct TSinkRegistry {
  std::mutex Lock;
  std::unordered_map<TAuOutput*, uint64_t> Live;
  uint64_t NextSerial = 1;
  std::unique_ptr<TEventHandler> Dispatcher;
};

TSinkRegistry& Registry() {
  static TSinkRegistry registry;
  return registry;
}

}  // namespace

TEventHandler& TEventHandler::Instance() {
  auto& r = Registry();
  std::lock_guard lock(r.Lock);
  return *r.Dispatcher;
}

uint64_t TEventHandler::RegisterSink(TAuOutput* sink) {
  auto& r = Registry();
  std::lock_guard lock(r.Lock);
  if (r.Live.empty()) r.Dispatcher.reset(new TEventHandler());
  const uint64_t serial = r.NextSerial++;
  r.Live[sink] = serial;
  return serial;
}

void TEventHandler::ReleaseSink(TAuOutput* sink) {
  auto& r = Registry();
  std::unique_ptr<TEventHandler> last;
  {
    std::lock_guard lock(r.Lock);
    r.Live.erase(sink);
    if (r.Live.empty()) last = std::move(r.Dispatcher);
  }
  last.reset();  // outside the registry lock: the dispatcher may need it while it ends
}

bool TEventHandler::IsLive(const TEventRecord& record) {
  auto& r = Registry();
  std::lock_guard lock(r.Lock);
  auto it = r.Live.find(record.Sender);
  return it != r.Live.end() && it->second == record.SenderSerial;
}

TEventHandler::TEventHandler() {
  FWorker = std::thread([this] { Execute(); });
}

TEventHandler::~TEventHandler() {
  {
    std::lock_guard lock(FLock);
    FTerminated = true;
    FSignalled = true;
  }
  FWakeEvent.notify_all();
  // The dispatcher may be waiting for the main thread (this one) to run a handler: keep
  // running such calls until it has ended.
  auto ended = std::make_shared<std::atomic<bool>>(false);
  std::thread joiner([this, ended] {
    FWorker.join();
    *ended = true;
  });
  while (!*ended) main_thread_queue::WaitAndProcess(std::chrono::milliseconds(2));
  joiner.join();
}

void TEventHandler::PostEvent(std::unique_ptr<TEventRecord> record) {
  {
    std::lock_guard lock(FLock);
    if (record->Sender != FBlockedSender) FEventQueue.push_back(std::move(record));
    FSignalled = true;
  }
  FWakeEvent.notify_all();
}

static std::unique_ptr<TEventRecord> MakeRecord(TEventRecord::TKind kind, TAuOutput* sink) {
  auto record = std::make_unique<TEventRecord>();
  record->Kind = kind;
  record->Sender = sink;
  auto& r = Registry();
  std::lock_guard lock(r.Lock);
  auto it = r.Live.find(sink);
  record->SenderSerial = it == r.Live.end() ? 0 : it->second;
  return record;
}

void TEventHandler::PostProgress(TAuOutput* sink, TNotifyEvent handler) {
  auto record = MakeRecord(TEventRecord::ekProgress, sink);
  record->Handler = std::move(handler);
  PostEvent(std::move(record));
}

void TEventHandler::PostThreadException(TAuOutput* sink, TNotifyEvent handler) {
  auto record = MakeRecord(TEventRecord::ekThreadException, sink);
  record->Handler = std::move(handler);
  PostEvent(std::move(record));
}

void TEventHandler::PostDone(TAuOutput* sink, std::shared_ptr<TThreadState> thread,
                             uint64_t idleCount, uint64_t runId) {
  auto record = MakeRecord(TEventRecord::ekDone, sink);
  record->Thread = std::move(thread);
  record->IdleCount = idleCount;
  record->RunId = runId;
  PostEvent(std::move(record));
}

void TEventHandler::PurgeEvents(TAuOutput* sink) {
  std::lock_guard lock(FLock);
  std::erase_if(FEventQueue, [&](const auto& record) { return record->Sender == sink; });
}

void TEventHandler::BlockEvents(TAuOutput* sink) {
  std::lock_guard lock(FLock);
  FBlockedSender = sink;
}

void TEventHandler::UnblockEvents() {
  std::lock_guard lock(FLock);
  FBlockedSender = nullptr;
}

void TEventHandler::Execute() {
  for (;;) {
    for (;;) {
      std::unique_ptr<TEventRecord> record;
      {
        std::lock_guard lock(FLock);
        if (FTerminated || FEventQueue.empty()) break;
        record = std::move(FEventQueue.front());
        FEventQueue.pop_front();
      }
      try {
        Deliver(*record);
      } catch (...) {
        // A handler's own failure must not end the dispatcher of every sink.
      }
    }
    std::unique_lock lock(FLock);
    if (FTerminated) return;
    FWakeEvent.wait_for(lock, std::chrono::milliseconds(100), [&] { return FSignalled; });
    FSignalled = false;
    if (FTerminated) return;
  }
}

void TEventHandler::Deliver(TEventRecord& record) {
  if (record.Kind == TEventRecord::ekDone) {
    // A handler that calls Run again must find the thread waiting.
    record.Thread->WaitIdleAfter(record.IdleCount);
    main_thread_queue::Invoke([this, &record] { DeliverDoneOnMainThread(record); });
    return;
  }
  main_thread_queue::Invoke([&record] {
    if (IsLive(record)) record.Handler(record.Sender);
  });
}

void TEventHandler::DeliverDoneOnMainThread(TEventRecord& record) {
  // Sinks are destroyed on the main thread only, so a sink found alive here stays alive
  // until its handler returns.
  if (!IsLive(record)) return;
  TAuOutput* sink = record.Sender;
  if (record.RunId == sink->FRunCount) sink->Busy = false;  // unless a new run has begun
  PurgeEvents(sink);
  auto handler = sink->OnDone.Get();
  if (!handler || !sink->DeliversDone() || record.RunId <= sink->FStoppedRun) return;
  record.Handler = handler;
  handler(sink);
}
