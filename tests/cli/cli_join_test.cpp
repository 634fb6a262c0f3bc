// SPDX-License-Identifier: GPL-3.0-or-later
// trimora-cli join and mix: the frames of both files in the first one's format, decoded by
// FFmpeg; the first file's tags and bit rate on MP3; refusals that leave nothing behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "cli_test_support.h"

namespace {

using namespace cli_test;

std::vector<int16_t> Samples16(const std::vector<uint8_t>& raw) {
  std::vector<int16_t> samples(raw.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(raw[2 * i] | raw[2 * i + 1] << 8);
  return samples;
}

// Samples pass through floats scaled by 1/32768 on the way in and 32767 on the way out, so
// a full-scale sample may come back one step nearer zero.
size_t CountFarFrom(const std::vector<int16_t>& out, const std::vector<double>& expected) {
  if (out.size() != expected.size()) return std::max(out.size(), expected.size());
  size_t far = 0;
  for (size_t i = 0; i < out.size(); ++i) far += std::abs(out[i] - expected[i]) > 1.0;
  return far;
}

class CliJoin : public ::testing::Test {
 protected:
  // Tones of 30000 and 50000 frames at different pitches (B.WAV upper-case on purpose), so a
  // frame out of place anywhere in the output differs by far more than rounding.
  void SetUp() override {
    ASSERT_TRUE(
        CopyMadeFiles("sox -r 44100 -c 2 -n -b 16 -D a.wav synth 30000s sine 300 vol 0.5 && "
                      "sox -r 44100 -c 2 -n -b 16 -D B.WAV synth 50000s sine 440 vol 0.7",
                      Folder));
    A = Samples16(DecodeWithFfmpeg(Folder / "a.wav", "s16le"));
    B = Samples16(DecodeWithFfmpeg(Folder / "B.WAV", "s16le"));
    ASSERT_EQ(A.size(), 60000u);
    ASSERT_EQ(B.size(), 100000u);
  }

  std::vector<int16_t> Output(const std::string& name) {
    return Samples16(DecodeWithFfmpeg(Folder / name, "s16le"));
  }

  TScratch Folder;
  std::vector<int16_t> A, B;
};

// Two files of one format are joined sample for sample, with nothing computed anew.
TEST_F(CliJoin, JoinedWaveHoldsTheFirstFileThenTheSecondBitForBit) {
  const auto run = Folder.Cli({"join", "a.wav", "B.WAV", "-o", "out.wav"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  std::vector<int16_t> expected = A;
  expected.insert(expected.end(), B.begin(), B.end());
  const std::vector<int16_t> out = Output("out.wav");
  ASSERT_EQ(out.size(), expected.size()) << "80000 frames, a's then B's";
  EXPECT_EQ(std::mismatch(out.begin(), out.end(), expected.begin()).first - out.begin(),
            static_cast<std::ptrdiff_t>(out.size()))
      << "the first sample that differs";
}

TEST_F(CliJoin, MixedWaveIsTheHalvedSumAsLongAsTheLongerFile) {
  const auto run = Folder.Cli({"mix", "a.wav", "B.WAV", "-o", "out.wav"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  std::vector<double> expected(B.size());
  for (size_t i = 0; i < B.size(); ++i) expected[i] = ((i < A.size() ? A[i] : 0) + B[i]) / 2.0;
  EXPECT_EQ(CountFarFrom(Output("out.wav"), expected), 0u)
      << "where a has ended B plays on at half its level";
}

// The pitch of channel `channel` of `frames` frames of `channels` interleaved samples from
// frame `first` on, at `rate` Hz: rising zero crossings per second.
double Pitch(const std::vector<int16_t>& samples, int channels, int channel, size_t first,
             size_t frames, int rate) {
  int rises = 0;
  for (size_t f = first + 1; f < first + frames; ++f)
    rises += samples[(f - 1) * channels + channel] < 0 && samples[f * channels + channel] >= 0;
  return rises * static_cast<double>(rate) / static_cast<double>(frames);
}

TEST_F(CliJoin, FilesOfOtherRatesChannelsAndWidthsArriveInTheFirstFilesFormatAtTheirPitch) {
  // One second of 8-bit mono at 22050 Hz: 44100 frames of the first file's format.
  ASSERT_FALSE(Shell("cd '" + Folder.Path().string() +
                     "' && sox -r 22050 -c 1 -n -b 8 -D c.wav synth 22050s sine 1000 vol 0.5 && "
                     "echo ok")
                   .empty());
  auto run = Folder.Cli({"join", "a.wav", "c.wav", "-o", "out.wav"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(Probe(Folder / "out.wav", "stream=channels,sample_rate,bits_per_sample"),
            "sample_rate=44100\nchannels=2\nbits_per_sample=16\n");
  const auto out = Output("out.wav");
  ASSERT_EQ(out.size(), 2 * (30000u + 44100u));
  EXPECT_NEAR(Pitch(out, 2, 0, 1000, 28000, 44100), 300, 3);
  for (const int channel : {0, 1})
    EXPECT_NEAR(Pitch(out, 2, channel, 32000, 40000, 44100), 1000, 5);
  int16_t peak = 0;
  for (size_t f = 32000; f < 72000; ++f) {
    EXPECT_EQ(out[2 * f], out[2 * f + 1]) << "mono plays alike on both sides, frame " << f;
    peak = std::max(peak, out[2 * f]);
  }
  EXPECT_NEAR(peak, 16384, 500) << "at its own level";

  run = Folder.Cli({"mix", "c.wav", "a.wav", "-o", "mono.wav", "--quiet"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(Probe(Folder / "mono.wav", "stream=channels,sample_rate,bits_per_sample"),
            "sample_rate=22050\nchannels=1\nbits_per_sample=8\n");
  EXPECT_EQ(DecodeWithFfmpeg(Folder / "mono.wav", "u8").size(), 22050u)
      << "the longer input, a's 30000 frames being 15000 at 22050 Hz";
}

// A second file shorter than the converter's filter: 4 frames at 8000 Hz, 3 at 1 Hz, every
// sample at 20000. It arrives at the first file's rate, as loud as it was.
TEST_F(CliJoin, ATinySecondFileArrivesConvertedToTheFirstFilesRate) {
  const struct {
    int64_t Frames;
    int Rate;
    size_t Converted;  // its frames at 44100 Hz
  } cases[] = {{4, 8000, 22}, {3, 1, 132300}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Rate);
    std::vector<uint8_t> tiny = CountingWave(c.Frames, c.Rate);
    for (size_t at = tiny.size() - static_cast<size_t>(c.Frames) * 4; at < tiny.size(); at += 2) {
      tiny[at] = 0x20;
      tiny[at + 1] = 0x4E;
    }
    WriteBytes(Folder / "tiny.wav", tiny);
    const auto run = Folder.Cli({"join", "a.wav", "tiny.wav", "-o", "out.wav", "--force"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const auto out = Output("out.wav");
    ASSERT_EQ(out.size(), A.size() + 2 * c.Converted);
    const std::vector<int16_t> head(out.begin(),
                                    out.begin() + static_cast<std::ptrdiff_t>(A.size()));
    EXPECT_EQ(CountFarFrom(head, std::vector<double>(A.begin(), A.end())), 0u);
    EXPECT_GT(*std::max_element(out.begin() + static_cast<std::ptrdiff_t>(A.size()), out.end()),
              15000);
  }
}

TEST_F(CliJoin, RefusalsLeaveNothingBehind) {
  WriteBytes(Folder / "broken.wav", {'R', 'I', 'F', 'F', 1, 0, 0, 0, 'W', 'A', 'V', 'E'});
  WriteBytes(Folder / "old.wav", {1, 2, 3});
  ASSERT_FALSE(Shell("cd '" + Folder.Path().string() + "' && cp a.wav a.mp3 && echo ok").empty());
  const struct {
    std::vector<std::string> Args;
    int Status;
    std::string Message;
  } cases[] = {
      {{"join", "a.wav", "a.mp3", "-o", "x.wav"}, 2, "are of different kinds"},
      {{"mix", "a.wav", "B.WAV", "-o", "x.mp3"}, 2, "the output must be a .wav file"},
      {{"join", "a.wav", "-o", "x.wav"}, 2, "join takes two files"},
      {{"mix", "a.wav", "B.WAV"}, 2, "mix needs the output file"},
      {{"join", "a.wav", "broken.wav", "-o", "x.wav"}, 1, "broken.wav"},
      {{"join", "a.wav", "B.WAV", "-o", "old.wav"}, 1, "already exists"},
      {{"mix", "a.wav", "B.WAV", "-o", "./B.WAV", "--force"}, 1, "B.WAV"},
  };
  for (const auto& c : cases) {
    const auto run = Folder.Cli(c.Args);
    EXPECT_EQ(run.Status, c.Status) << c.Args[0] << " " << c.Message;
    EXPECT_NE(run.Err.find(c.Message), std::string::npos) << run.Err;
  }
  EXPECT_EQ(Folder.Names(),
            (std::vector<std::string>{"B.WAV", "a.mp3", "a.wav", "broken.wav", "old.wav"}));
  EXPECT_EQ(ReadBytes(Folder / "old.wav"), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(Samples16(DecodeWithFfmpeg(Folder / "B.WAV", "s16le")), B);
}

// Two compressed files of different lengths, bit rates and tags, of each kind: the output
// takes everything but the second file's sound from the first. Lengths are counted as FFmpeg
// decodes the files.
TEST(CliJoinCompressed, OutputHasBothFilesFramesAndTheFirstFilesTagsAndBitRate) {
  const struct {
    std::string Ext, Make, Tags;
  } kinds[] = {
      {"mp3",
       "lame --quiet -b 160 --tt 'First' --ta 'First Artist' --ty 2016 --tn 4 t1.wav one.mp3 && "
       "lame --quiet -b 96 --resample 44.1 --tt 'Second' --ta 'Other' t2.wav two.MP3",
       "channels=2\nbit_rate=160000\ntag:title=first\ntag:artist=first artist\n"
       "tag:date=2016\ntag:track=4\n"},
      {"wma",
       "ffmpeg -nostdin -v error -i t1.wav -c:a wmav2 -b:a 160k -metadata title=First "
       "-metadata artist='First Artist' -metadata date=2016 one.wma && "
       "ffmpeg -nostdin -v error -i t2.wav -c:a wmav2 -b:a 64k -metadata title=Second two.WMA",
       "channels=2\nbit_rate=160000\ntag:wm/year=2016\ntag:artist=first artist\n"
       "tag:title=first\n"},
  };
  for (const auto& kind : kinds) {
    TScratch folder;
    const std::string one = "one." + kind.Ext, two = "two." + kind.Ext;
    std::string twoName = two;
    for (size_t i = 4; i < twoName.size(); ++i)
      twoName[i] = static_cast<char>(std::toupper(twoName[i]));
    ASSERT_FALSE(Shell("cd '" + folder.Path().string() +
                       "' && sox -r 44100 -c 2 -n -b 16 -D t1.wav synth 2 sine 440 vol 0.5 && "
                       "sox -r 44100 -c 2 -n -b 16 -D t2.wav synth 3 sine 660 vol 0.5 && " +
                       kind.Make + " && echo ok")
                     .empty())
        << kind.Ext;
    const size_t frames1 = DecodeWithFfmpeg(folder / one, "s16le").size() / 4;
    const size_t frames2 = DecodeWithFfmpeg(folder / twoName, "s16le").size() / 4;
    ASSERT_GT(frames1, 80000u);
    ASSERT_GT(frames2, 120000u);

    for (const std::string command : {"join", "mix"}) {
      const std::string out = command + "." + kind.Ext;
      const auto run = folder.Cli({command, one, twoName, "-o", out});
      ASSERT_EQ(run.Status, 0) << run.Err;
      const size_t frames = DecodeWithFfmpeg(folder / out, "s16le").size() / 4;
      EXPECT_EQ(frames, command == "join" ? frames1 + frames2 : std::max(frames1, frames2)) << out;
      std::string probed = Probe(folder / out,
                                 "stream=bit_rate,channels:format_tags=title,artist,date,track,"
                                 "wm/year");
      for (char& c : probed) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      EXPECT_EQ(probed, kind.Tags) << out;
    }
  }
}

}  // namespace
