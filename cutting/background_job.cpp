// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/background_job.h"

TBackgroundJob::~TBackgroundJob() {
  Cancel();
}

void TBackgroundJob::Start(std::function<void()> work) {
  Cancel();
  FCancel = false;
  FDone = false;
  ++FRevision;
  FThread = std::thread([this, work = std::move(work)] {
    work();
    FDone = true;
  });
}

void TBackgroundJob::Cancel() {
  FCancel = true;
  if (FThread.joinable()) FThread.join();
  FDone = true;
}

void TBackgroundJob::Wait() {
  if (FThread.joinable()) FThread.join();
}
