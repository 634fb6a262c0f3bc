// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "cutting/background_job.h"
#include "cutting/operations/silence_detect.h"

// The split window's search for pauses: one pass over the file on a thread of its own, with
// a source of its own, so that the window stays responsive and shares nothing with the
// search but what is guarded here. The window polls it.
class TSilenceSearch {
 public:
  TSilenceSearch() = default;
  ~TSilenceSearch();
  TSilenceSearch(const TSilenceSearch&) = delete;
  TSilenceSearch& operator=(const TSilenceSearch&) = delete;

  // Starts a search of `file`; a search under way is stopped first.
  void Start(const QString& file, const TSilenceSettings& settings);
  // Asks the search to end soon; its result is dropped.
  void Stop();
  bool Running() const { return FJob.Started() && !FJob.Done(); }
  // Whether a search has ended since Start (and was not stopped): its result may be taken.
  bool Finished() const { return FJob.Started() && FJob.Done() && !FStopAsked; }
  int Percent() const { return FPercent.load(); }

  // Once Finished: the silences found, or the reason none could be (non-empty error).
  struct TResult {
    std::vector<TSilence> Silences;
    std::string Error;
  };
  TResult Take();

 private:
  TSilenceDetector* FDetector = nullptr;  // owned by the work, guarded by FMutex
  std::mutex FMutex;
  TResult FResult;
  std::atomic<int> FPercent{0};
  bool FStopAsked = false;  // guarded by FMutex while the work runs
  TBackgroundJob FJob;      // last, so that its thread ends before the members it uses go
};
