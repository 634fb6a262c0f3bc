// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "cutting/kinds/kind_registry.h"
#include "cutting/save/safe_output.h"

class TAuFileOut;

// The run of a sink into a new file, as every window and command writes one: the file goes
// through the safe save, the engine's first error is kept, and when the run has ended well
// the file is read back (it must open as its kind, with the shape and the length that went
// in) before it is moved into place. A run that ended quietly but left a file of the wrong
// length or format, as an error while the file was being closed would, never passes for a
// success. Used on the main thread, where the engine's events arrive.
class TOutputRun {
 public:
  TOutputRun();
  ~TOutputRun();
  TOutputRun(const TOutputRun&) = delete;
  TOutputRun& operator=(const TOutputRun&) = delete;

  // Keeps the first error each of `sinks` reports during a run (their OnThreadException).
  void Watch(std::initializer_list<TAuFileOut*> sinks);

  // Opens the safe save of `target` for the run that writes it (refusals raise
  // ESafeOutputError): the path the sink must write to.
  const std::filesystem::path& OpenTarget(const std::filesystem::path& target, bool replace,
                                          const std::vector<std::filesystem::path>& inputs,
                                          TTempPathHook hook = nullptr);
  // Starts `sink`, set up by the caller to write a file of `kind` into TempPath() from its
  // input. `framesFed` tells, once the run has ended, how many frames went in. A run fed
  // clearly fewer than `framesAsked` (0: not known) from its `stretches` stretches of the
  // first input, when that file has shrunk since the target was opened, fails: the file
  // ended early.
  void Start(TAuFileOut& sink, const TKind& kind, std::function<int64_t()> framesFed,
             int64_t framesAsked = 0, int stretches = 1);
  bool Running() const { return FRunning != nullptr; }

  // At the sink's OnDone: the run's error, empty when the file was written, read back and
  // moved into place. After any error the temporary file is gone and the older file of the
  // target's name untouched.
  std::string Finish();
  // Stops the running sink (no OnDone follows) and drops the temporary file.
  void Stop();

  // An engine's `error` of this run naming the target (it names none, or the temporary file).
  std::string NamingTarget(std::string error) const;

  // Whether the last run failed as its input gave no sound at all.
  bool GaveNoSound() const { return FNoSound; }
  // The frames the last good run wrote; its target; the rate of its input.
  int64_t FramesWritten() const { return FFramesWritten; }
  const std::filesystem::path& Target() const { return FTarget; }
  int InputRate() const { return FInputShape.Rate; }

 private:
  // Why the written file does not hold what went in, or empty.
  std::string CheckWritten(int64_t frames) const;
  // Why `frames` fed fall short of what was asked for, or empty.
  std::string CheckFed(int64_t frames) const;

  TAuFileOut* FRunning = nullptr;
  std::unique_ptr<TSafeOutput> FOutput;
  std::filesystem::path FTarget;
  std::string FError;
  const TKind* FKind = nullptr;
  TPcmShape FInputShape;
  TPcmShape FWrittenShape;
  std::function<int64_t()> FFramesFed;
  int64_t FFramesAsked = 0;
  int FStretches = 1;
  std::filesystem::path FInput;
  int64_t FInputSize = -1;  // bytes of FInput when the target was opened; -1: unknown
  int64_t FFramesWritten = 0;
  bool FNoSound = false;
};
