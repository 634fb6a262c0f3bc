// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

#include "pipeline/au_output.h"

class TProgressLine;

struct [[nodiscard]] TRunResult {
  bool Succeeded = false;
  std::string Error;  // the engine's message when it raised one
  int Signal = 0;     // the signal that interrupted the run, 0 when none
};

// Starts `sink` through `start` (its Run when none is given) and serves its events on this,
// the main, thread until it is done: progress goes to `progress`, an engine error is kept for
// the result. A signal (see interrupt) stops the run. A run succeeded only when it ended
// without an error and without being stopped.
TRunResult RunToCompletion(TAuOutput& sink, TProgressLine& progress,
                           const std::function<void()>& start = {});
