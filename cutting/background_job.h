// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

// One pass of work on a thread of its own (the waveform's peaks, the close view's finer
// columns, the search for pauses), started, stopped and polled by the one thread that owns
// it. The work polls Cancelled() between its blocks; Revision() counts what it published, so
// that a poller redraws only when something arrived.
class TBackgroundJob {
 public:
  TBackgroundJob() = default;
  // Cancels and joins. An owner whose work reads the owner's members cancels it in its own
  // destructor, before those members go.
  ~TBackgroundJob();
  TBackgroundJob(const TBackgroundJob&) = delete;
  TBackgroundJob& operator=(const TBackgroundJob&) = delete;

  // Cancels the work under way, then runs `work` on a thread of its own.
  void Start(std::function<void()> work);
  // Asks the work to stop and waits for its thread.
  void Cancel();
  // Waits until the work has ended by itself.
  void Wait();

  // Whether the work was asked to stop (for the work to poll).
  bool Cancelled() const { return FCancel.load(); }
  // Nothing more will come: ended, cancelled, or never started.
  bool Done() const { return FDone.load(); }
  // Whether work was started and its thread not yet joined.
  bool Started() const { return FThread.joinable(); }
  // Counts up when work starts and whenever it publishes something (Publish).
  uint64_t Revision() const { return FRevision.load(); }
  void Publish() { ++FRevision; }

 private:
  std::thread FThread;
  std::atomic<bool> FCancel{false};
  std::atomic<bool> FDone{true};
  std::atomic<uint64_t> FRevision{0};
};
