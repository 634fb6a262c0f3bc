// SPDX-License-Identifier: GPL-3.0-or-later
// A kind the program does not have, registered by a build of the command line's own sources:
// cut, remove, split, join and info work on it with no change to the command line.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli_test_support.h"

namespace {

using namespace cli_test;

// Headerless 16-bit stereo frames `first` to `first + count - 1`, frame i holding (i, -i).
std::vector<uint8_t> PcmFrames(int64_t first, int64_t count) {
  std::vector<uint8_t> bytes;
  for (int64_t i = first; i < first + count; ++i)
    for (const auto sample : {static_cast<uint16_t>(i), static_cast<uint16_t>(-i)})
      bytes.insert(bytes.end(), {uint8_t(sample), uint8_t(sample >> 8)});
  return bytes;
}

// Whether `bytes` are whole frames that run on from frame `first` without a gap.
testing::AssertionResult RunsOnFrom(const std::vector<uint8_t>& bytes, int64_t first) {
  if (bytes.size() % 4 != 0) return testing::AssertionFailure() << "not whole frames";
  const std::vector<uint8_t> expected = PcmFrames(first, static_cast<int64_t>(bytes.size() / 4));
  for (size_t at = 0; at < bytes.size(); at += 4)
    if (bytes[at] != expected[at] || bytes[at + 1] != expected[at + 1])
      return testing::AssertionFailure()
             << "frame " << at / 4 << " is not frame " << first + at / 4;
  return testing::AssertionSuccess();
}

// The largest difference between two runs of 16-bit samples of one length.
int LargestStep(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  int largest = 0;
  for (size_t at = 0; at + 1 < std::min(a.size(), b.size()); at += 2) {
    const int x = static_cast<int16_t>(a[at] | a[at + 1] << 8);
    const int y = static_cast<int16_t>(b[at] | b[at + 1] << 8);
    largest = std::max(largest, std::abs(x - y));
  }
  return largest;
}

int64_t FramesOf(const std::vector<uint8_t>& bytes) {
  return static_cast<int64_t>(bytes.size() / 4);
}

class CliNewKind : public testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(Folder / "a.pcm", PcmFrames(0, 88200));      // 2 s
    WriteBytes(Folder / "b.pcm", PcmFrames(20000, 44100));  // 1 s
  }
  TCliRun Run(const std::vector<std::string>& args) const {
    return Folder.Program(TRIMORA_CLI_PCM, args);
  }
  TScratch Folder;
};

TEST_F(CliNewKind, TheCommandsCutRemoveSplitJoinAndDescribeIt) {
  const TCliRun help = Run({"--help"});
  EXPECT_NE(help.Out.find("WAV, MP3, WMA, FLAC, Ogg Vorbis, Opus, M4A and PCM files"), std::string::npos)
      << help.Out;
  const TCliRun info = Run({"info", "a.pcm"});
  ASSERT_EQ(info.Status, 0) << info.Err;
  EXPECT_NE(info.Out.find("PCM, 16-bit"), std::string::npos) << info.Out;
  EXPECT_NE(info.Out.find("(88200 frames)"), std::string::npos) << info.Out;

  TCliRun run =
      Run({"cut", "a.pcm", "--start", "00:00:00.5", "--end", "00:00:01.0", "-o", "c.pcm"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const auto cut = ReadBytes(Folder / "c.pcm");
  EXPECT_TRUE(RunsOnFrom(cut, 22050));
  EXPECT_NEAR(FramesOf(cut), 22050, 1);

  run = Run({"remove", "a.pcm", "--segment", "00:00:00.5-00:00:01.0", "--exact", "-o", "r.pcm"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const auto removed = ReadBytes(Folder / "r.pcm");
  EXPECT_NEAR(FramesOf(removed), 88200 - 22050, 1);
  EXPECT_TRUE(RunsOnFrom({removed.begin(), removed.begin() + 22050 * 4}, 0));
  EXPECT_TRUE(RunsOnFrom({removed.end() - 44100 * 4, removed.end()}, 44100));

  run = Run({"split", "a.pcm", "--parts", "2", "-o", "part {n}"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const auto part1 = ReadBytes(Folder / "part 01.pcm"), part2 = ReadBytes(Folder / "part 02.pcm");
  EXPECT_EQ(FramesOf(part1), 44100);
  EXPECT_EQ(FramesOf(part2), 44100);
  EXPECT_TRUE(RunsOnFrom(part1, 0));
  EXPECT_TRUE(RunsOnFrom(part2, 44100));

  run = Run({"join", "a.pcm", "b.pcm", "-o", "ab.pcm"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  // The mixer's level scaling may round a sample by one.
  const auto joined = ReadBytes(Folder / "ab.pcm");
  auto expected = PcmFrames(0, 88200);
  const auto second = PcmFrames(20000, 44100);
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(joined.size(), expected.size());
  EXPECT_LE(LargestStep(joined, expected), 1);

  // Another kind's name for the output is refused, naming the kind's own extension.
  run = Run({"cut", "a.pcm", "-o", "c.wav"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_NE(run.Err.find("the output must be a .pcm file like the input"), std::string::npos)
      << run.Err;
}

}  // namespace
