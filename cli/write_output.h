#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/file_kinds.h"
#include "cutting/safe_output.h"
#include "pipeline/file_output.h"

// Writing a sound file, as every command that writes one does it.

// TUsageError unless `output` has the extension of `kind` (case ignored): every command
// writes the kind it read.
void RequireOutputKind(TFileKind kind, const std::filesystem::path& output);

// The safe save of `target` as the command line uses it: a second signal removes its
// temporary file, and a refusal is a TCliError that names --force where that helps.
TSafeOutput OpenOutput(const std::filesystem::path& target, bool force,
                       const std::vector<std::filesystem::path>& inputs);

struct TWriteJob {
  std::string Command;  // "cut", "join", "mix": the start of its error messages
  std::string Label;    // of the progress line: "Cutting"
  bool Quiet = false;
  TFileKind Kind = TFileKind::Wave;
  TPcmShape Input;  // what the sink is fed
};

// Runs `sink`, set up for `job` and writing to `output`'s temporary file, to its end. Then
// lets go of it and reads the file back against the `framesFed()` frames that went in (a
// run that ended quietly but left a file of the wrong length or format, as an error while
// the file was being closed would, must not pass for a success), moves it into place and,
// on a terminal, says what it wrote. Returns the exit status: 0, or 128 + the signal when
// interrupted (nothing is written then). TCliError "<command> failed: ..." when the run
// fails or the file did not come out complete.
int RunIntoOutput(const TWriteJob& job, std::unique_ptr<TAuFileOut> sink, TSafeOutput& output,
                  const std::function<int64_t()>& framesFed);

// "00:01:30.5" for `frames` at `rate`.
std::string FramesToTimeText(int64_t frames, int rate);
