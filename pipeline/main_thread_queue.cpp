// SPDX-License-Identifier: GPL-3.0-or-later
#include "pipeline/main_thread_queue.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>

namespace main_thread_queue {
namespace {

struct TPendingCall {
  std::function<void()> Call;
  bool Done = false;
  std::exception_ptr Error;
};

struct TQueue {
  std::mutex Lock;
  std::condition_variable Arrived;
  std::condition_variable Finished;
  std::deque<std::shared_ptr<TPendingCall>> Calls;
  std::function<void()> WakeHook;
};

TQueue& Queue() {
  static TQueue queue;
  return queue;
}

}  // namespace

void Invoke(std::function<void()> call) {
  auto& q = Queue();
  auto pending = std::make_shared<TPendingCall>();
  pending->Call = std::move(call);
  std::function<void()> hook;
  {
    std::lock_guard lock(q.Lock);
    q.Calls.push_back(pending);
    hook = q.WakeHook;
  }
  q.Arrived.notify_all();
  if (hook) hook();
  std::unique_lock lock(q.Lock);
  q.Finished.wait(lock, [&] { return pending->Done; });
  if (pending->Error) std::rethrow_exception(pending->Error);
}

bool ProcessPending() {
  auto& q = Queue();
  bool ran = false;
  for (;;) {
    std::shared_ptr<TPendingCall> pending;
    {
      std::lock_guard lock(q.Lock);
      if (q.Calls.empty()) break;
      pending = q.Calls.front();
      q.Calls.pop_front();
    }
    try {
      pending->Call();
    } catch (...) {
      pending->Error = std::current_exception();
    }
    {
      std::lock_guard lock(q.Lock);
      pending->Done = true;
    }
    q.Finished.notify_all();
    ran = true;
  }
  return ran;
}

bool WaitAndProcess(std::chrono::milliseconds timeout) {
  auto& q = Queue();
  {
    std::unique_lock lock(q.Lock);
    q.Arrived.wait_for(lock, timeout, [&] { return !q.Calls.empty(); });
  }
  return ProcessPending();
}

void SetWakeHook(std::function<void()> hook) {
  auto& q = Queue();
  std::lock_guard lock(q.Lock);
  q.WakeHook = std::move(hook);
}

}  // namespace main_thread_queue
