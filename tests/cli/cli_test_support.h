// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Running the built trimora-cli in a scratch folder, and the files it is given and writes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace cli_test {

struct TCliRun {
  int Status = -1;  // exit status; 128 + n when killed by signal n
  std::string Out, Err;
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class TScratch : public test_support::TTempFolder {
 public:
  // The names in the folder, sorted, without the captured streams of Cli.
  std::vector<std::string> Names() const;

  // Runs trimora-cli with `args` in this folder; `prefix` is put before it in the shell
  // command line (e.g. "ulimit -f 100;").
  TCliRun Cli(const std::vector<std::string>& args, const std::string& prefix = "") const;
  // The same with another build of the command line.
  TCliRun Program(const std::string& program, const std::vector<std::string>& args,
                  const std::string& prefix = "") const;
};

// Copies into `folder` the files that `script` (shell commands, run in an empty folder)
// makes. Encoding is slow and every test runs in a process of its own, so the files are
// made once per build tree and kept under it, keyed by the script. False when it failed.
bool CopyMadeFiles(const std::string& script, const TScratch& folder);

// A 16-bit PCM WAV whose frame i holds (i, -i) truncated to 16 bits, so any frame tells
// where it came from.
std::vector<uint8_t> CountingWave(int64_t frames, int rate);
int16_t CountingSample(int64_t frame, int channel);

using test_support::ReadBytes;
using test_support::WriteBytes;
// The output of a shell command; empty when it failed.
inline std::vector<uint8_t> Shell(const std::string& command) {
  return test_support::ShellBytes(command);
}
// Raw samples as FFmpeg decodes them, in `format` (u8, s16le, s24le, s32le).
std::vector<uint8_t> DecodeWithFfmpeg(const std::filesystem::path& path, const std::string& format);
// ffprobe's "key=value" lines for `entries` (its -show_entries argument).
std::string Probe(const std::filesystem::path& file, const std::string& entries);
std::string ProbeCodec(const std::filesystem::path& path);

}  // namespace cli_test
