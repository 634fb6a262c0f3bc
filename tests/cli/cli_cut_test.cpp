// SPDX-License-Identifier: GPL-3.0-or-later
// trimora-cli cut: the frames asked for and no others, from every kind of WAV the reader
// takes, and never a lost or half-written file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "cli_test_support.h"

namespace {

using namespace cli_test;

int16_t Sample16(const std::vector<uint8_t>& raw, size_t index) {
  return static_cast<int16_t>(raw[2 * index] | raw[2 * index + 1] << 8);
}

// IMA ADPCM written anew from decoded samples cannot give them back exactly: the root mean
// square of the difference over the first `samples` (16-bit, interleaved) against the
// reference's, as a fraction of the reference's own.
double RelativeError(const std::vector<uint8_t>& got, const std::vector<uint8_t>& ref,
                     size_t samples, size_t from = 0) {
  double error = 0, signal = 0;
  for (size_t i = from; i < samples; ++i) {
    const double want = Sample16(ref, i), diff = Sample16(got, i) - want;
    error += diff * diff;
    signal += want * want;
  }
  return signal > 0 ? std::sqrt(error / signal) : 1.0;
}

// The frame count of the `fact` chunk of an IMA ADPCM file this program wrote.
uint32_t FactFrames(const std::vector<uint8_t>& file) {
  return file[48] | file[49] << 8 | file[50] << 16 | uint32_t{file[51]} << 24;
}

class CliCut : public ::testing::Test {
 protected:
  void SetUp() override { WriteBytes(Folder / "in.wav", CountingWave(kFrames, 44100)); }

  // Checks that `name` decodes to exactly frames first..last of the counting wave.
  void ExpectFrames(const std::string& name, int64_t first, int64_t last) {
    const auto raw = DecodeWithFfmpeg(Folder / name, "s16le");
    ASSERT_EQ(raw.size(), static_cast<size_t>(last - first + 1) * 4) << name;
    EXPECT_EQ(Sample16(raw, 0), CountingSample(first, 0));
    EXPECT_EQ(Sample16(raw, 1), CountingSample(first, 1));
    const size_t end = raw.size() / 2;
    EXPECT_EQ(Sample16(raw, end - 2), CountingSample(last, 0));
    EXPECT_EQ(Sample16(raw, end - 1), CountingSample(last, 1));
    size_t wrong = 0;
    for (int64_t f = first; f <= last; ++f)
      wrong += Sample16(raw, 2 * (f - first)) != CountingSample(f, 0);
    EXPECT_EQ(wrong, 0u);
  }

  static constexpr int64_t kFrames = 441000;  // 10 s at 44100 Hz
  TScratch Folder;
};

// --copy changes nothing for a WAV, whose cut is lossless anyway.
TEST_F(CliCut, KeepsExactlyTheFramesFromStartToEnd) {
  for (const char* copy : {"--quiet", "--copy"}) {
    const auto run = Folder.Cli({"cut", "in.wav", "--start", "00:00:01.5", "--end", "00:00:07.2",
                                 "-o", "out.wav", "--force", copy});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, "") << "no progress line when stderr is not a terminal";
    EXPECT_EQ(ProbeCodec(Folder / "out.wav"), "pcm_s16le");
    ExpectFrames("out.wav", 66150, 317520);
  }
}

// A fade-in of 10 ms rises from silence over 441 frames and a fade-out of 20 ms falls to
// silence on the last frame written; the frames between are untouched. Fades of 0 write the
// very bytes of a cut without them.
TEST_F(CliCut, FadesRampFromAndToSilenceOverTheLengthAsked) {
  ASSERT_EQ(
      Folder
          .Cli({"cut", "in.wav", "--start", "00:00:01.5", "--end", "00:00:07.2", "-o", "plain.wav"})
          .Status,
      0);
  const auto zero = Folder.Cli({"cut", "in.wav", "--start", "00:00:01.5", "--end", "00:00:07.2",
                                "-o", "zero.wav", "--fade-in", "0", "--fade-out", "00:00:00.0"});
  ASSERT_EQ(zero.Status, 0) << zero.Err;
  EXPECT_EQ(ReadBytes(Folder / "zero.wav"), ReadBytes(Folder / "plain.wav"));

  const auto run = Folder.Cli({"cut", "in.wav", "--start", "00:00:01.5", "--end", "00:00:07.2",
                               "-o", "faded.wav", "--fade-in", "0.01", "--fade-out", "0.02"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const auto raw = DecodeWithFfmpeg(Folder / "faded.wav", "s16le");
  const int64_t first = 66150, frames = 317520 - first + 1;
  ASSERT_EQ(static_cast<int64_t>(raw.size()) / 4, frames);
  const auto gain = [](int64_t index, int64_t length) {
    return index >= length ? 1.0
                           : std::sin(std::numbers::pi / 2 * static_cast<double>(index) / length);
  };
  size_t far = 0;
  for (int64_t f = 0; f < frames; ++f)
    for (int channel = 0; channel < 2; ++channel) {
      const double want =
          CountingSample(first + f, channel) * gain(f, 441) * gain(frames - 1 - f, 882);
      far += std::abs(Sample16(raw, static_cast<size_t>(2 * f + channel)) - want) > 1.0;
    }
  EXPECT_EQ(far, 0u);
  EXPECT_EQ(Sample16(raw, 0), 0);
  EXPECT_EQ(Sample16(raw, raw.size() / 2 - 1), 0);

  const auto copy = Folder.Cli({"cut", "in.wav", "-o", "copy.wav", "--copy", "--fade-in", "1"});
  EXPECT_EQ(copy.Status, 2);
  EXPECT_NE(copy.Err.find("a fade needs re-encoding; it cannot be combined with --copy"),
            std::string::npos)
      << copy.Err;
}

TEST_F(CliCut, DefaultsAndAnEndPastTheFileTakeEverythingToTheEnd) {
  ASSERT_EQ(Folder.Cli({"cut", "in.wav", "-o", "whole.wav"}).Status, 0);
  ExpectFrames("whole.wav", 0, kFrames - 1);
  ASSERT_EQ(Folder
                .Cli({"cut", "in.wav", "--start=0:0:9.0", "--end", "00:00:30.0", "-o", "tail.wav",
                      "--quiet"})
                .Status,
            0);
  ExpectFrames("tail.wav", 396900, kFrames - 1);
  ASSERT_EQ(Folder.Cli({"cut", "in.wav", "--end", "00:00:00.0", "-o", "one.wav"}).Status, 0);
  ExpectFrames("one.wav", 0, 0);
}

// The reader's fixtures with their independent reference decodings: each kind is cut whole,
// PCM into PCM and MS ADPCM into 16-bit PCM, which FFmpeg must decode to the reference
// samples; IMA ADPCM into IMA ADPCM of the exact frame count, close to them. A sox ADPCM
// file's `fact` count ends the sound inside its last block; the reference goes on to the
// block's end.
TEST_F(CliCut, EveryKindOfWaveIsCutToTheSamplesOfTheReference) {
  struct {
    const char* Name;
    const char* Format;  // of the reference and of the PCM we write
    size_t FrameBytes;
    size_t Frames;
    bool Ima = false;
  } cases[] = {
      {"pcm_u8_mono", "u8", 1, 400},
      {"pcm_s16_stereo", "s16le", 4, 400},
      {"pcm_s24_stereo", "s24le", 6, 400},
      {"pcm_s32_mono", "s32le", 4, 400},
      {"ext_s24_6ch", "s24le", 18, 200},
      {"ima_mono_sox", "s16le", 2, 400, true},
      {"ima_stereo_sox", "s16le", 4, 400, true},
      {"ima_mono_ffmpeg", "s16le", 2, 484, true},
      {"ms_stereo_sox", "s16le", 4, 400},
      {"ms_mono_ffmpeg", "s16le", 2, 464},
  };
  const std::filesystem::path data = std::filesystem::path(TRIMORA_TEST_DATA) / "wave";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string out = std::string(c.Name) + "_cut.wav";
    const auto run =
        Folder.Cli({"cut", (data / (std::string(c.Name) + ".wav")).string(), "-o", out});
    ASSERT_EQ(run.Status, 0) << run.Err;
    auto expected = ReadBytes(data / (std::string(c.Name) + ".ref"));
    ASSERT_GE(expected.size(), c.Frames * c.FrameBytes);
    expected.resize(c.Frames * c.FrameBytes);
    if (c.Ima) {
      EXPECT_EQ(ProbeCodec(Folder / out), "adpcm_ima_wav");
      EXPECT_EQ(FactFrames(ReadBytes(Folder / out)), c.Frames);
      const auto got = DecodeWithFfmpeg(Folder / out, c.Format);
      ASSERT_GE(got.size(), expected.size());
      EXPECT_LT(RelativeError(got, expected, expected.size() / 2), 0.1);
    } else {
      EXPECT_EQ(ProbeCodec(Folder / out), std::string("pcm_") + c.Format);
      EXPECT_EQ(DecodeWithFfmpeg(Folder / out, c.Format), expected);
    }
  }
}

// A range that starts inside an ADPCM block: the frames before it in the block are decoded
// and dropped, so the cut starts exactly where asked (its first frame is the new first
// block's header) and holds the frames asked for. The encoder starts at the step of the
// first change, so even a loud start is followed from its first frames on.
TEST_F(CliCut, AdpcmRangeStartsAndEndsOnTheFramesAsked) {
  ASSERT_FALSE(Shell("cd '" + Folder.Path().string() +
                     "' && sox -V1 -n -r 8000 -c 2 -e ima-adpcm ima.wav synth 3 sine 300 sine 500"
                     " vol 0.5 && sox -V1 ima.wav -t raw -e signed -b 16 ref.raw && echo ok")
                   .empty());
  const auto run = Folder.Cli(
      {"cut", "ima.wav", "--start", "00:00:01.3", "--end", "00:00:02.0", "-o", "part.wav"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const auto ref = ReadBytes(Folder / "ref.raw");
  const std::vector<uint8_t> expected(ref.begin() + 10400 * 4, ref.begin() + 16001 * 4);
  EXPECT_EQ(ProbeCodec(Folder / "part.wav"), "adpcm_ima_wav");
  EXPECT_EQ(FactFrames(ReadBytes(Folder / "part.wav")), 5601u);
  const auto got = DecodeWithFfmpeg(Folder / "part.wav", "s16le");
  ASSERT_GE(got.size(), expected.size());
  EXPECT_EQ(Sample16(got, 0), Sample16(expected, 0));
  EXPECT_EQ(Sample16(got, 1), Sample16(expected, 1));
  EXPECT_LT(RelativeError(got, expected, 64), 0.05) << "the first 32 frames";
  EXPECT_LT(RelativeError(got, expected, expected.size() / 2), 0.05);
}

TEST_F(CliCut, RefusesToWriteOverItsInputUnderAnyName) {
  const auto before = ReadBytes(Folder / "in.wav");
  std::filesystem::create_hard_link(Folder / "in.wav", Folder / "link.wav");
  std::filesystem::create_symlink("in.wav", Folder / "symlink.wav");
  for (const char* out : {"in.wav", "link.wav", "symlink.wav", "./in.wav"}) {
    SCOPED_TRACE(out);
    const auto run = Folder.Cli({"cut", "in.wav", "-o", out, "--force"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("is the input file"), std::string::npos) << run.Err;
  }
  EXPECT_EQ(ReadBytes(Folder / "in.wav"), before);
  EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"in.wav", "link.wav", "symlink.wav"}));
}

TEST_F(CliCut, ReplacesAnExistingOutputOnlyWithForce) {
  WriteBytes(Folder / "old.wav", {'o', 'l', 'd'});
  const auto refused = Folder.Cli({"cut", "in.wav", "-o", "old.wav"});
  EXPECT_EQ(refused.Status, 1);
  EXPECT_NE(refused.Err.find("--force"), std::string::npos) << refused.Err;
  EXPECT_EQ(ReadBytes(Folder / "old.wav"), (std::vector<uint8_t>{'o', 'l', 'd'}));

  ASSERT_EQ(Folder.Cli({"cut", "in.wav", "--end", "00:00:01.0", "-o", "old.wav", "-f"}).Status, 0);
  ExpectFrames("old.wav", 0, 44100);
  EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"in.wav", "old.wav"}));
}

// The engine fails part way (the file-size limit makes writes fail): the error is reported,
// the older file of that name is untouched, and no temporary file is left.
TEST_F(CliCut, AFailedCutLeavesNoFileAndKeepsTheOlderOne) {
  WriteBytes(Folder / "old.wav", {'o', 'l', 'd'});
  const auto run =
      Folder.Cli({"cut", "in.wav", "-o", "old.wav", "--force"}, "trap '' XFSZ; ulimit -f 200;");
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("cut failed: File too large"), std::string::npos) << run.Err;
  EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << run.Err;
  EXPECT_EQ(ReadBytes(Folder / "old.wav"), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"in.wav", "old.wav"}));
}

// A file-size limit (ulimit -f) with its signal left at the default, as a login shell has it:
// every command that writes ends as on a full disk, with the reason and the target named,
// and leaves neither the temporary file nor a killed process behind.
TEST_F(CliCut, AFileSizeLimitFailsLikeAFullDiskAndLeavesNoTemporaryFile) {
  const std::vector<std::vector<std::string>> commands = {
      {"cut", "in.wav", "-o", "out.wav"},
      {"remove", "in.wav", "-s", "00:00:01.0-00:00:02.0", "-o", "out.wav"},
      {"join", "in.wav", "in.wav", "-o", "out.wav"},
      {"mix", "in.wav", "in.wav", "-o", "out.wav"},
  };
  for (const auto& args : commands) {
    const auto run = Folder.Cli(args, "ulimit -f 200;");
    EXPECT_EQ(run.Status, 1) << args[0] << ": " << run.Err;
    EXPECT_NE(run.Err.find(args[0] + " failed: File too large"), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("'out.wav'"), std::string::npos) << run.Err;
    EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"in.wav"})) << args[0];
  }
}

// Times are taken in both forms the windows take, tenths and the milliseconds that split
// --plan prints: each pair cuts the same frames.
TEST_F(CliCut, TimesTakeTenthsOrMilliseconds) {
  const struct {
    std::vector<std::string> Tenths, Milliseconds;
  } cases[] = {
      {{"cut", "in.wav", "--start", "00:00:06.0", "--end", "00:00:07.5"},
       {"cut", "in.wav", "--start", "00:00:06.000", "--end", "00:00:07.500"}},
      {{"remove", "in.wav", "-s", "00:00:01.0-00:00:02.5"},
       {"remove", "in.wav", "-s", "00:00:01.000-00:00:02.500"}},
  };
  for (const auto& c : cases) {
    auto tenths = c.Tenths, milliseconds = c.Milliseconds;
    tenths.insert(tenths.end(), {"-o", "a.wav", "-f"});
    milliseconds.insert(milliseconds.end(), {"-o", "b.wav", "-f"});
    const auto first = Folder.Cli(tenths), second = Folder.Cli(milliseconds);
    ASSERT_EQ(first.Status, 0) << first.Err;
    ASSERT_EQ(second.Status, 0) << second.Err;
    EXPECT_EQ(ReadBytes(Folder / "a.wav"), ReadBytes(Folder / "b.wav")) << c.Tenths[0];
  }
}

}  // namespace
