// SPDX-License-Identifier: GPL-3.0-or-later
// trimora-cli's command line: help, usage errors and their exit status, the info command,
// and an interrupted cut.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <string>

#include "cli_test_support.h"

namespace {

using namespace cli_test;

// Help on stdout with status 0; a command line not understood: status 2; a failure: status 1
// and one line on stderr. None of them leaves a file behind.
TEST(CliUsage, ExitStatusAndMessages) {
  TScratch folder;
  WriteBytes(folder / "in.wav", CountingWave(4410, 44100));
  std::vector<uint8_t> noise(5000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 7919 >> 3);
  WriteBytes(folder / "noise.wav", noise);
  auto alaw = CountingWave(4410, 44100);
  alaw[20] = 6;  // the format tag
  WriteBytes(folder / "alaw.wav", alaw);
  struct {
    std::vector<std::string> Args;
    int Status;
    const char* Says;  // in stdout for status 0, in stderr otherwise
  } cases[] = {
      {{"--help"}, 0, "Usage: trimora-cli COMMAND"},
      {{"cut", "--help"}, 0, "Usage: trimora-cli cut FILE -o OUT"},
      {{"info", "-h"}, 0, "Usage: trimora-cli info FILE"},
      {{}, 2, "Usage: trimora-cli COMMAND"},
      {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
      {{"cut"}, 2, "cut takes one FILE"},
      {{"cut", "in.wav"}, 2, "-o OUT"},
      {{"cut", "in.wav", "-o"}, 2, "-o needs a value"},
      {{"cut", "in.wav", "-o", "x.wav", "--start", "1:2"}, 2, "invalid --start time '1:2'"},
      {{"cut", "in.wav", "-o", "x.wav", "--end", "00:00:00.00"}, 2, "invalid --end time"},
      {{"cut", "in.wav", "-o", "x.wav", "--start", "00:00:02.0", "--end", "00:00:01.0"},
       2,
       "--end lies before --start"},
      {{"cut", "in.wav", "-o", "x.wav", "--fast"}, 2, "unknown option '--fast'"},
      {{"cut", "in.wav", "-o", "x.mp3"}, 2, "must be a .wav file"},
      {{"info"}, 2, "info takes one FILE"},
      {{"cut", "noise.wav", "-o", "a.wav"}, 1, "not a .wav file this program can read"},
      {{"cut", "missing.wav", "-o", "a.wav"}, 1, "No such file"},
      {{"cut", "in.wav", "--start", "00:00:00.1", "-o", "a.wav"}, 1, "past the end"},
      {{"cut", "in.wav", "-o", "no/such/folder/a.wav"}, 1, "does not exist"},
      {{"info", "noise.wav"}, 1, "not a .wav file"},
      {{"info", "alaw.wav"}, 1, "'alaw.wav': WAV data of format 6 (A-law) is not supported"},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const auto& a : c.Args) line += a + " ";
    SCOPED_TRACE(line);
    const auto run = folder.Cli(c.Args);
    EXPECT_EQ(run.Status, c.Status);
    const std::string& text = c.Status == 0 ? run.Out : run.Err;
    EXPECT_NE(text.find(c.Says), std::string::npos) << text;
    if (c.Status == 1) {
      EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << run.Err;
    }
  }
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"alaw.wav", "in.wav", "noise.wav"}));
}

// A pipe named like a sound file is refused at once, whatever its kind; the program never
// waits on it (the shell's timeout would end it with status 124).
TEST(CliUsage, PipesAreRefusedWithoutWaiting) {
  TScratch folder;
  for (const std::string name : {"f.wav", "f.mp3", "f.wma"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(::mkfifo((folder / name).c_str(), 0600), 0);
    for (const auto& args : {std::vector<std::string>{"info", name},
                             std::vector<std::string>{"cut", name, "-o", "out" + name}}) {
      const auto run = folder.Cli(args, "timeout 60");
      EXPECT_EQ(run.Status, 1);
      EXPECT_NE(run.Err.find("not a regular file"), std::string::npos) << run.Err;
    }
  }
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"f.mp3", "f.wav", "f.wma"}));
}

TEST(CliInfo, ShowsFormatChannelsRateBitsLengthAndBitRate) {
  TScratch folder;
  WriteBytes(folder / "in.wav", CountingWave(66150, 44100));
  const auto run = folder.Cli({"info", "in.wav"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out,
            "File:        in.wav\n"
            "Format:      WAV, PCM\n"
            "Cut writes:  16-bit PCM\n"
            "Channels:    2\n"
            "Sample rate: 44100 Hz\n"
            "Bits:        16\n"
            "Length:      00:00:01.5 (66150 frames)\n"
            "Bit rate:    1411 kbps\n"
            "VBR:         no\n"
            "Protected:   no\n");
  const auto ima =
      folder.Cli({"info", std::string(TRIMORA_TEST_DATA) + "/wave/ima_stereo_sox.wav"});
  EXPECT_NE(ima.Out.find("Format:      WAV, IMA ADPCM"), std::string::npos) << ima.Out;
  EXPECT_NE(ima.Out.find("Bits:        16"), std::string::npos) << ima.Out;
}

// Starts cutting a 40 MB WAV in `folder`, sends `signal` once the temporary file is there,
// and returns the program's wait status.
int SignalACut(const TScratch& folder, int signal) {
  WriteBytes(folder / "big.wav", CountingWave(10'000'000, 44100));
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    ::chdir(folder.Path().c_str());
    ::execl(TRIMORA_CLI, TRIMORA_CLI, "cut", "big.wav", "-o", "out.wav", "--quiet",
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // The signal comes once the sink has begun writing. Sooner, the sink's thread may still be
  // about to create the file by name, and would make it anew after a crash handler had
  // removed it: a crash can only clean up what the threads that outlive it leave alone.
  auto temporary = [&] {
    const auto names = folder.Names();
    return std::any_of(names.begin(), names.end(), [&](const std::string& n) {
      std::error_code error;
      return n.find(".trimora-") != std::string::npos &&
             std::filesystem::file_size(folder / n, error) > 0 && !error;
    });
  };
  int status = 0;
  while (!temporary())
    if (::waitpid(child, &status, WNOHANG) == child) return status;
  ::kill(child, signal);
  ::waitpid(child, &status, 0);
  return status;
}

// Interrupted while writing: whether the signal comes during the run or just as it ends, no
// temporary file may be left, and an interrupted cut leaves no output.
TEST(CliInterrupt, CtrlCLeavesNoTemporaryFile) {
  TScratch folder;
  const int status = SignalACut(folder, SIGINT);
  ASSERT_TRUE(WIFEXITED(status));
  const int code = WEXITSTATUS(status);
  if (code == 128 + SIGINT) {
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"big.wav"});
  } else {
    EXPECT_EQ(code, 0);  // the cut was over before the signal came
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"big.wav", "out.wav"}));
  }
}

// A crash (a library's failed assertion, a bad memory access) still ends the process as that
// crash, but takes the temporary file with it.
TEST(CliInterrupt, ACrashLeavesNoTemporaryFile) {
  for (const int signal : {SIGABRT, SIGSEGV, SIGBUS}) {
    SCOPED_TRACE(signal);
    TScratch folder;
    const int status = SignalACut(folder, signal);
    if (WIFSIGNALED(status)) {
      EXPECT_EQ(WTERMSIG(status), signal);
      // A signal that lands between the rename and the exit finds the cut whole.
      const auto names = folder.Names();
      if (names.size() == 2 && names[1] == "out.wav")
        EXPECT_EQ(std::filesystem::file_size(folder / "out.wav"),
                  std::filesystem::file_size(folder / "big.wav"));
      else
        EXPECT_EQ(names, std::vector<std::string>{"big.wav"});
    } else {
      EXPECT_EQ(status, 0);  // the cut was over before the signal came
      EXPECT_EQ(folder.Names(), (std::vector<std::string>{"big.wav", "out.wav"}));
    }
  }
}

}  // namespace
