// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cutting/kinds/kind_registry.h"
#include "cutting/save/output_run.h"
#include "pipeline/au_output.h"

// Writing a sound file, as every command that writes one does it.

// TUsageError unless `output` has the extension of `kind` (case ignored): every command
// writes the kind it read.
void RequireOutputKind(const TKind& kind, const std::filesystem::path& output);

// Opens `run`'s safe save of `target` as the command line uses it: a second signal removes
// its temporary file, and a refusal is a TCliError that names --force where that helps. The
// leftovers of killed runs in the target's folder are swept first. Returns the path the sink
// writes to.
const std::filesystem::path& OpenOutput(TOutputRun& run, const std::filesystem::path& target,
                                        bool force,
                                        const std::vector<std::filesystem::path>& inputs);

struct TWriteJob {
  std::string Command;  // "cut", "join", "mix": the start of its error messages
  std::string Label;    // of the progress line: "Cutting"
  bool Quiet = false;
};

// Calls `start`, which starts `sink` through `run`, and serves the engine's events until the
// run has ended; `run` then reads the file back and moves it into place, and on a terminal
// the command says what it wrote. Returns the exit status: 0, or 128 + the signal when
// interrupted (nothing is written then). TCliError "<command> failed: ..." when the run
// fails, delivers no frames, or the file did not come out complete.
int RunIntoOutput(const TWriteJob& job, TAuOutput& sink, TOutputRun& run,
                  const std::function<void()>& start);

// On a terminal and unless `quiet`: what the good `run` wrote, its length and frames.
void SayWritten(const TOutputRun& run, bool quiet);

// "00:01:30.5" for `frames` at `rate`.
std::string FramesToTimeText(int64_t frames, int rate);
