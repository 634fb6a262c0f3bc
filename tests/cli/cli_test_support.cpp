// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli_test_support.h"

#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>

namespace cli_test {
namespace {

using test_support::Quoted;
using test_support::ReadText;

void PutLE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

std::vector<std::string> TScratch::Names() const {
  std::vector<std::string> names = TTempFolder::Names();
  std::erase_if(names, [](const std::string& name) { return name.starts_with(".cli-"); });
  return names;
}

TCliRun TScratch::Cli(const std::vector<std::string>& args, const std::string& prefix) const {
  return Program(TRIMORA_CLI, args, prefix);
}

TCliRun TScratch::Program(const std::string& program, const std::vector<std::string>& args,
                          const std::string& prefix) const {
  // The captured streams live in the folder under names Names() leaves out.
  const auto out = Path() / ".cli-out", err = Path() / ".cli-err";
  std::string command =
      "cd " + Quoted(Path().string()) + " && " + prefix + " " + Quoted(program);
  for (const auto& arg : args) command += " " + Quoted(arg);
  command += " >" + Quoted(out.string()) + " 2>" + Quoted(err.string()) + " </dev/null";
  const int raw = std::system(command.c_str());
  TCliRun run;
  run.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.Out = ReadText(out);
  run.Err = ReadText(err);
  return run;
}

bool CopyMadeFiles(const std::string& script, const TScratch& folder) {
  namespace fs = std::filesystem;
  const fs::path made = fs::path(TRIMORA_BINARY_DIR) / "test-files" /
                        std::to_string(std::hash<std::string>{}(script));
  if (!fs::exists(made)) {
    // Made beside the final place and renamed into it, so that a test running at the same
    // time never sees half of the files.
    fs::create_directories(made.parent_path());
    const fs::path partial = made.string() + "." + std::to_string(::getpid());
    fs::remove_all(partial);
    fs::create_directories(partial);
    if (std::system(("cd " + Quoted(partial.string()) + " && " + script).c_str()) != 0) {
      fs::remove_all(partial);
      return false;
    }
    std::error_code taken;  // another test may have finished first
    fs::rename(partial, made, taken);
    if (taken) fs::remove_all(partial);
  }
  for (const auto& entry : fs::directory_iterator(made))
    fs::copy_file(entry.path(), folder / entry.path().filename().string());
  return true;
}

int16_t CountingSample(int64_t frame, int channel) {
  return static_cast<int16_t>(static_cast<uint16_t>(channel == 0 ? frame : -frame));
}

std::vector<uint8_t> CountingWave(int64_t frames, int rate) {
  std::vector<uint8_t> w;
  const auto dataSize = static_cast<uint32_t>(frames * 4);
  w.insert(w.end(), {'R', 'I', 'F', 'F'});
  PutLE(w, dataSize + 36, 4);
  w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLE(w, 16, 4);
  PutLE(w, 1, 2);
  PutLE(w, 2, 2);
  PutLE(w, static_cast<uint32_t>(rate), 4);
  PutLE(w, static_cast<uint32_t>(rate) * 4, 4);
  PutLE(w, 4, 2);
  PutLE(w, 16, 2);
  w.insert(w.end(), {'d', 'a', 't', 'a'});
  PutLE(w, dataSize, 4);
  w.reserve(w.size() + dataSize);
  for (int64_t i = 0; i < frames; ++i) {
    PutLE(w, static_cast<uint16_t>(CountingSample(i, 0)), 2);
    PutLE(w, static_cast<uint16_t>(CountingSample(i, 1)), 2);
  }
  return w;
}

std::vector<uint8_t> DecodeWithFfmpeg(const std::filesystem::path& path,
                                      const std::string& format) {
  return Shell("ffmpeg -nostdin -v error -i " + Quoted(path.string()) + " -f " + format +
               " -c:a pcm_" + format + " -");
}

std::string Probe(const std::filesystem::path& file, const std::string& entries) {
  const auto out = Shell("ffprobe -v error -show_entries " + entries + " -of default=nw=1:nk=0 " +
                         Quoted(file.string()));
  return std::string(out.begin(), out.end());
}

std::string ProbeCodec(const std::filesystem::path& path) {
  const auto out = Shell(
      "ffprobe -v error -select_streams a:0 -show_entries stream=codec_name "
      "-of default=noprint_wrappers=1:nokey=1 " +
      Quoted(path.string()));
  std::string text(out.begin(), out.end());
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

}  // namespace cli_test
