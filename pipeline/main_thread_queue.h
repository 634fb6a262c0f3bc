// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <functional>

// The cross-thread call into the main thread. The event dispatcher pushes a call and blocks
// until the main thread has run it; the main thread drains the queue from its own loop (the
// Qt application wakes on a posted event, the command line and the tests poll), and a sink's
// Stop keeps draining while it waits so that the dispatcher can never dead-lock it.
namespace main_thread_queue {

// Runs `call` on the main thread and returns when it has run. An exception thrown by the
// call is re-thrown here, in the calling thread.
void Invoke(std::function<void()> call);

// Main thread: runs every queued call, in order. Returns whether any ran.
bool ProcessPending();

// Main thread: waits up to `timeout` for a call to arrive, then runs what is queued.
bool WaitAndProcess(std::chrono::milliseconds timeout);

// Called from the invoking thread whenever a call is queued, e.g. to post a wake-up event
// to a GUI event loop. Pass an empty function to remove it.
void SetWakeHook(std::function<void()> hook);

}  // namespace main_thread_queue
