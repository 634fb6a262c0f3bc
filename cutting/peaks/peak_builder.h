// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>

#include "cutting/background_job.h"

#include "cutting/peaks/peak_overview.h"

// Builds the peak overview of one sound file on a thread of its own, with the engine's own
// sources (.wav: TWaveIn, .mp3: TMP3In, anything else: TWMIn), so that a window can show the
// sound's shape while it stays responsive. The window polls: Revision() changes whenever more
// columns have arrived, Snapshot() copies what is there, Done() tells that nothing more will
// come. Everything here is safe to call from one owning thread while the build runs.
//
//   TPeakBuilder Peaks;
//   Peaks.Start(path, cacheFolder);          // returns at once
//   ... on a timer: if (Peaks.Revision() != shown) bar.SetWaveform(Peaks.Snapshot(), 0.5);
//   Peaks.Cancel();                          // another file, or the window closes
class TPeakBuilder {
 public:
  TPeakBuilder() = default;
  ~TPeakBuilder();  // cancels and joins
  TPeakBuilder(const TPeakBuilder&) = delete;
  TPeakBuilder& operator=(const TPeakBuilder&) = delete;

  // Cancels any build still running, then starts one for `fileName`. With a cache folder,
  // peaks cached there for the same path, size and modification time are taken instead of
  // decoding, and a complete build is saved there; an unusable cache is only a slower start.
  void Start(const std::filesystem::path& fileName, const std::filesystem::path& cacheFolder = {});
  // Asks the build to stop and waits for its thread, which ends after the block it is
  // decoding. What arrived stays readable; the overview is then not Complete.
  void Cancel();
  // Blocks until the build has ended by itself (for the command line and tests).
  void Wait();

  // Nothing more will arrive: complete, failed, cancelled, or never started.
  bool Done() const { return FJob.Done(); }
  // Counts up every time columns arrive (and when a build starts); 0 before the first Start.
  uint64_t Revision() const { return FJob.Revision(); }
  // The columns so far; Complete once every frame is in.
  TPeakOverview Snapshot() const;
  // Why the build failed (the source's message), empty while it is running or succeeded.
  std::string Error() const;
  // Whether the last build's peaks came from the cache folder.
  bool FromCache() const { return FFromCache.load(); }

 private:
  void Run(std::filesystem::path fileName, std::filesystem::path cacheFolder);
  void Decode(const std::filesystem::path& fileName);
  // Appends finished columns (or replaces the whole overview) under the lock.
  void Publish(const TPeak* peaks, size_t count, int64_t frames, bool complete);
  void Fail(const std::string& message);

  std::atomic<bool> FFromCache{false};
  mutable std::mutex FLock;  // guards FPeaks and FError
  TPeakOverview FPeaks;
  std::string FError;
  TBackgroundJob FJob;  // last, so that its thread ends before the members it uses go
};
