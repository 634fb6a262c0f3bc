// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

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
