// SPDX-License-Identifier: GPL-3.0-or-later
// trimora-cli on MP3 files whose frames say more than their first frame does: files joined
// with cat (of one format or two), a Xing count written too low, a length that is no whole
// number of hundredths, and a VBR file whose LAME tag records its quality. Lengths are
// checked against FFmpeg's decode of the same file.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "cli_test_support.h"

namespace {

using namespace cli_test;

constexpr int64_t kFrameSamples = 1152;

// The number after "(" in info's "Length:" line: its sample frames.
int64_t InfoFrames(const std::string& out) {
  const size_t line = out.find("Length:");
  const size_t open = out.find('(', line);
  return line == std::string::npos || open == std::string::npos
             ? -1
             : std::stoll(out.substr(open + 1));
}

int64_t FfmpegFrames(const std::filesystem::path& file, int channels) {
  return static_cast<int64_t>(DecodeWithFfmpeg(file, "s16le").size()) / (2 * channels);
}

std::vector<uint8_t> Joined(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  std::vector<uint8_t> both = a;
  both.insert(both.end(), b.begin(), b.end());
  return both;
}

// The file with its Info/Xing tag's frame count set to `frames`.
std::vector<uint8_t> WithTagFrames(std::vector<uint8_t> bytes, uint32_t frames) {
  const std::string text(bytes.begin(), bytes.end());
  size_t at = text.find("Info");
  if (at == std::string::npos) at = text.find("Xing");
  if (at == std::string::npos || at + 12 > bytes.size()) return {};
  for (int i = 0; i < 4; ++i) bytes[at + 8 + i] = static_cast<uint8_t>(frames >> (24 - 8 * i));
  return bytes;
}

class CliMp3Frames : public ::testing::Test {
 protected:
  // A rising tone: 3 s mono at 64 kbps (at 44.1 and at 48 kHz) and 4 s stereo at 128 kbps
  // with no tag frame, the stereo 4 s with LAME's Info frame, 46127 frames (1.04596 s, which
  // a length in hundredths rounds up) and 12 s of two unlike tones at VBR quality 2 (unlike, as a cut
  // writes plain stereo, which would spend twice on two equal channels).
  void SetUp() override {
    const std::string tone =
        "ffmpeg -nostdin -v error -f lavfi -i "
        "'aevalsrc=0.4*sin(2*PI*(200*t+100*t*t)):s=44100:d=12' ";
    ASSERT_TRUE(CopyMadeFiles(
        tone + "-ac 1 -af atrim=end=3 mono.wav && " + tone +
            "-ac 2 -af atrim=end=4 stereo.wav && " + tone +
            "-ac 2 -af atrim=end_sample=46127 odd.wav && "
            "ffmpeg -nostdin -v error -f lavfi -i 'aevalsrc=0.4*sin(2*PI*(200*t+100*t*t))|"
            "0.3*sin(2*PI*(330*t+40*t*t)):s=44100:d=12' long.wav && "
            "lame --quiet -t -m m -b 64 mono.wav mono.mp3 && "
            "lame --quiet -t -m m -b 64 --resample 48 mono.wav mono48.mp3 && "
            "lame --quiet -t -b 128 stereo.wav stereo.mp3 && "
            "lame --quiet -b 128 stereo.wav cbr.mp3 && "
            "lame --quiet -b 128 odd.wav odd.mp3 && "
            "lame --quiet -V 2 long.wav v2.mp3 && rm *.wav",
        Folder));
  }

  TScratch Folder;
};

// Each file holds more than its first frames (or its tag) tell: info counts every frame a
// decode gives, and a whole cut keeps them all. FFmpeg drops the first file's padding where
// the tag's count ends even when frames follow; we keep those samples, as they are sound
// of the file, so our count may exceed FFmpeg's by less than two frames there.
TEST_F(CliMp3Frames, InfoCountsEveryFrameAndAWholeCutKeepsThem) {
  const struct {
    const char* Name;
    std::function<std::vector<uint8_t>()> Bytes;
    int Channels;
    int64_t AboveFfmpeg;  // most samples our count may exceed FFmpeg's by
  } cases[] = {
      {"mono_then_stereo.mp3",
       [&] { return Joined(ReadBytes(Folder / "mono.mp3"), ReadBytes(Folder / "stereo.mp3")); }, 1,
       0},
      {"cbr_twice.mp3",
       [&] { return Joined(ReadBytes(Folder / "cbr.mp3"), ReadBytes(Folder / "cbr.mp3")); }, 2,
       2 * kFrameSamples},
      {"xing_count_13.mp3", [&] { return WithTagFrames(ReadBytes(Folder / "cbr.mp3"), 13); }, 2,
       2 * kFrameSamples},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto bytes = c.Bytes();
    ASSERT_FALSE(bytes.empty());
    WriteBytes(Folder / c.Name, bytes);
    const auto info = Folder.Cli({"info", c.Name});
    ASSERT_EQ(info.Status, 0) << info.Err;
    const int64_t frames = InfoFrames(info.Out);
    const int64_t ffmpeg = FfmpegFrames(Folder / c.Name, c.Channels);
    EXPECT_GE(frames, ffmpeg) << info.Out;
    EXPECT_LE(frames, ffmpeg + c.AboveFfmpeg) << info.Out;

    const auto cut = Folder.Cli({"cut", c.Name, "-o", "whole.mp3", "--force"});
    ASSERT_EQ(cut.Status, 0) << cut.Err;
    EXPECT_EQ(FfmpegFrames(Folder / "whole.mp3", c.Channels), frames);
  }
}

// A join of files of other channels or another rate reads on in the first part's channels
// and rate, the second part converted (as long as FFmpeg's decode of it alone, converted,
// within a frame); info says where the format changes, and a copy across it is refused with
// that reason.
TEST_F(CliMp3Frames, AChangeOfChannelsOrRateIsReadOnNotedAndACopyAcrossItRefused) {
  const struct {
    const char* Second;
    int Channels, Rate;
    const char* Note;
  } cases[] = {{"stereo.mp3", 2, 44100, "to 44100 Hz, stereo; read on as 44100 Hz, mono"},
               {"mono48.mp3", 1, 48000, "to 48000 Hz, mono; read on as 44100 Hz, mono"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Second);
    WriteBytes(Folder / "ms.mp3",
               Joined(ReadBytes(Folder / "mono.mp3"), ReadBytes(Folder / c.Second)));
    const auto info = Folder.Cli({"info", "ms.mp3"});
    ASSERT_EQ(info.Status, 0) << info.Err;
    EXPECT_NE(info.Out.find("Channels:    1\n"), std::string::npos) << info.Out;
    EXPECT_NE(info.Out.find("Note:        Format changes at 00:00:03.0"), std::string::npos)
        << info.Out;
    EXPECT_NE(info.Out.find(c.Note), std::string::npos) << info.Out;

    const int64_t second = FfmpegFrames(Folder / c.Second, c.Channels);
    const int64_t expected =
        FfmpegFrames(Folder / "mono.mp3", 1) + (second * 44100 + c.Rate / 2) / c.Rate;
    ASSERT_EQ(Folder.Cli({"cut", "ms.mp3", "-o", "whole.mp3", "--force"}).Status, 0);
    EXPECT_NEAR(FfmpegFrames(Folder / "whole.mp3", 1), expected, kFrameSamples);
    EXPECT_NEAR(InfoFrames(info.Out), expected, kFrameSamples);

    const auto across = Folder.Cli({"cut", "ms.mp3", "--copy", "-o", "across.mp3"});
    EXPECT_EQ(across.Status, 1);
    EXPECT_NE(across.Err.find("format changes at 3.0"), std::string::npos) << across.Err;
    EXPECT_FALSE(std::filesystem::exists(Folder / "across.mp3"));

    const auto before = Folder.Cli(
        {"cut", "ms.mp3", "--copy", "--end", "00:00:02.0", "-o", "before.mp3", "--force"});
    EXPECT_EQ(before.Status, 0) << before.Err;
  }
}

// 46127 frames are 1.04596 s, which the duration in hundredths made 1.05 s: a copy to the
// end asked for frames the file does not hold and failed as incomplete.
TEST_F(CliMp3Frames, ATailCopyOfALengthBetweenHundredthsEndsWhereTheFileDoes) {
  const auto info = Folder.Cli({"info", "odd.mp3"});
  ASSERT_EQ(info.Status, 0) << info.Err;
  EXPECT_EQ(InfoFrames(info.Out), 46127) << info.Out;
  const auto tail =
      Folder.Cli({"cut", "odd.mp3", "--copy", "--start", "00:00:01.0", "-o", "tail.mp3"});
  ASSERT_EQ(tail.Status, 0) << tail.Err;
  EXPECT_EQ(FfmpegFrames(Folder / "tail.mp3", 2), 46127 - 44100);
}

// A VBR file's re-encoded cut takes the quality LAME recorded, so it comes out near the rate
// of the same stretch copied; the guess from the file's average rate halved it.
TEST_F(CliMp3Frames, AVbrCutTakesTheQualityTheLameTagRecords) {
  const std::vector<std::string> range = {"--start", "00:00:04.0", "--end", "00:00:10.0"};
  auto args = [&](const char* out, bool copy) {
    std::vector<std::string> a = {"cut", "v2.mp3", "-o", out};
    a.insert(a.end(), range.begin(), range.end());
    if (copy) a.push_back("--copy");
    return a;
  };
  ASSERT_EQ(Folder.Cli(args("copied.mp3", true)).Status, 0);
  ASSERT_EQ(Folder.Cli(args("encoded.mp3", false)).Status, 0);
  const auto rate = [&](const char* name) {
    return std::stod(Probe(Folder / name, "format=bit_rate").substr(9));
  };
  const double copied = rate("copied.mp3"), encoded = rate("encoded.mp3");
  EXPECT_GE(encoded, copied * 0.75) << copied;
  EXPECT_LE(encoded, copied * 1.33) << copied;
}

}  // namespace
