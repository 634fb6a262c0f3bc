// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "cutting/operations/split_plan.h"
#include "pipeline/file_input.h"

// Finds the pauses in a recording in one pass over its sound, read by the engine's own
// sources: a split at silences puts its boundaries in them.
struct TSilenceSettings {
  // Quieter than this is silence: the RMS level of every channel together over a window.
  double ThresholdDb = -50.0;
  // A quiet stretch shorter than this is a dip in the sound, not a pause.
  int32_t MinSilenceMs = 2000;
};

class TSilenceDetector {
 public:
  // The length of the windows the level is measured over.
  static constexpr int kWindowsPerSecond = 100;

  // Reads the whole sound of `source` (its file name set) and returns its silences in order,
  // each a whole number of windows; one that runs to the end of the sound ends at the last
  // frame read. `progress` gets the percentage read after each block, on this thread.
  // Returns what was found so far when stopped. EAuException or ECutError when the file
  // cannot be read.
  std::vector<TSilence> Detect(TAuFileIn& source, const TSilenceSettings& settings,
                               const std::function<void(int percent)>& progress = {});

  // Asks a running Detect to return after the block it is reading; from any thread. A
  // stopped detector stays stopped, so a stop just before Detect begins is not lost.
  void Stop() { FStop = true; }
  bool Stopped() const { return FStop.load(); }
  // The frames the last Detect read.
  int64_t FramesRead() const { return FFrames.load(); }

 private:
  std::atomic<bool> FStop{false};
  std::atomic<int64_t> FFrames{0};
};
