#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "cli/file_kinds.h"

// Checks shared by the commands that write a sound file.

// TUsageError unless `output` has the extension of `kind` (case ignored): every command
// writes the kind it read.
void RequireOutputKind(TFileKind kind, const std::filesystem::path& output);

// Reads the written file back: a run that ended quietly but left a file of the wrong length
// or format (an error while the file was being closed is not reported as an event) must not
// pass for a success. `frames` at `inputRate` went in; the file must have the `expected`
// shape and as many frames as they make at its rate. TCliError "<command> failed:
// '<shownName>' did not come out complete".
void CheckWritten(const std::filesystem::path& written, const std::string& shownName,
                  const std::string& command, int64_t frames, int inputRate, TPcmShape expected);

// "00:01:30.5" for `frames` at `rate`.
std::string FramesToTimeText(int64_t frames, int rate);
