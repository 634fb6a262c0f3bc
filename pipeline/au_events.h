// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <mutex>
#include <utility>

class TComponent;

// Event handlers take the sending component. They are assigned on the main thread and read
// by the worker thread when it posts an event, so each handler slot is guarded.
using TNotifyEvent = std::function<void(TComponent* Sender)>;
using TOutputProgressEvent = TNotifyEvent;
using TOutputDoneEvent = TNotifyEvent;
using TThreadExceptionEvent = TNotifyEvent;

template <class F>
class TEventSlot {
 public:
  TEventSlot& operator=(F handler) {
    std::lock_guard lock(FLock);
    FHandler = std::move(handler);
    return *this;
  }
  TEventSlot& operator=(std::nullptr_t) { return *this = F(); }
  F Get() const {
    std::lock_guard lock(FLock);
    return FHandler;
  }
  explicit operator bool() const {
    std::lock_guard lock(FLock);
    return static_cast<bool>(FHandler);
  }

 private:
  mutable std::mutex FLock;
  F FHandler;
};
