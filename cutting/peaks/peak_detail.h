// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>

#include "cutting/background_job.h"

#include "cutting/peaks/peak_overview.h"

// The shape of one stretch of a sound at a column a millisecond, for a view zoomed in closer
// than the overview's hundredth of a second. Each request decodes its stretch on a thread of
// its own with the engine's sources, cancelling the one before; the owner polls as it polls
// TPeakBuilder.
class TPeakDetail {
 public:
  static constexpr int kColumnsPerSecond = 1000;

  // A stretch's columns: column k covers the millisecond FirstMs + k. The overview's fields
  // describe the source; its Complete tells that the whole stretch is in.
  struct TStretch {
    int64_t FirstMs = 0;
    int64_t EndMs = 0;  // as asked for; the columns may end sooner at the end of the sound
    TPeakOverview Peaks;
  };

  TPeakDetail() = default;
  ~TPeakDetail();  // cancels and joins
  TPeakDetail(const TPeakDetail&) = delete;
  TPeakDetail& operator=(const TPeakDetail&) = delete;

  // Starts decoding [fromMs, toMs) of `fileName`; returns at once.
  void Request(const std::filesystem::path& fileName, int64_t fromMs, int64_t toMs);
  void Cancel();
  void Wait();
  // The stretch asked for last, and whether it covers [fromMs, toMs).
  bool Covers(const std::filesystem::path& fileName, int64_t fromMs, int64_t toMs) const;

  bool Done() const { return FJob.Done(); }
  uint64_t Revision() const { return FJob.Revision(); }
  TStretch Snapshot() const;

 private:
  void Run(std::filesystem::path fileName, int64_t fromMs, int64_t toMs);

  std::filesystem::path FFile;  // owner's thread only
  int64_t FFromMs = 0, FToMs = 0;
  mutable std::mutex FLock;  // guards FStretch
  TStretch FStretch;
  TBackgroundJob FJob;  // last, so that its thread ends before the members it uses go
};
