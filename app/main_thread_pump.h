// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QSocketNotifier;

// While one exists, the engine's calls into the main thread (progress, errors, the end of a
// run) run from the Qt event loop. The dispatcher's wake-up only writes to an event counter
// (an eventfd) that the loop watches: no Qt object is touched from another thread.
class TMainThreadPump {
 public:
  TMainThreadPump();
  ~TMainThreadPump();
  TMainThreadPump(const TMainThreadPump&) = delete;
  TMainThreadPump& operator=(const TMainThreadPump&) = delete;

 private:
  int FEvent = -1;
  QSocketNotifier* FNotifier = nullptr;
};
