// SPDX-License-Identifier: GPL-3.0-or-later
// remove --copy and join --copy: the frames away from each join are the source's, bit for bit
// as decoded and byte for byte in the file; only a short bridge at each join is coded
// afresh, and it does not click. Lengths are within half a frame per join (FLAC: exact), the
// same in every independent decoder.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>

#include "cli_test_support.h"

namespace {

using namespace cli_test;
using test_support::Quoted;

struct TKeepCase {
  const char* Name;
  const char* Encode;  // turns a.wav and b.wav into a.EXT and b.EXT
  const char* Extension;
  int Channels;
  int Rate;
  int FrameSamples;  // 0: joins are exact
};

void PrintTo(const TKeepCase& row, std::ostream* out) {
  *out << row.Name;
}

// Two tones sliding apart, and another pair for the second file of a join.
const char* const kSound =
    "ffmpeg -nostdin -v error -f lavfi -i 'aevalsrc=0.4*sin(2*PI*(200*t+100*t*t))|"
    "0.3*sin(2*PI*(330*t+40*t*t)):s=44100:d=11' a.wav && "
    "ffmpeg -nostdin -v error -f lavfi -i 'aevalsrc=0.3*sin(2*PI*500*t)|"
    "0.3*sin(2*PI*(520*t+30*t*t)):s=44100:d=3.3' b.wav && ";

const TKeepCase kCases[] = {
    {"Cbr128Stereo", "lame --quiet -b 128 a.wav a.mp3 && lame --quiet -b 128 b.wav b.mp3", ".mp3",
     2, 44100, 1152},
    {"VbrStereo", "lame --quiet -V 2 a.wav a.mp3 && lame --quiet -V 2 b.wav b.mp3", ".mp3", 2,
     44100, 1152},
    {"Mpeg2Mono22k",
     "lame --quiet -m m --resample 22.05 -b 48 a.wav a.mp3 && "
     "lame --quiet -m m --resample 22.05 -b 48 b.wav b.mp3",
     ".mp3", 1, 22050, 576},
    // At 32 kbps a frame holds 144 bytes, and main_data_begin reaches several frames back.
    {"Kbps32Mono",
     "lame --quiet -m m --resample 32 -b 32 a.wav a.mp3 && "
     "lame --quiet -m m --resample 32 -b 32 b.wav b.mp3",
     ".mp3", 1, 32000, 1152},
    {"Mpeg25Mono8k",
     "lame --quiet -m m --resample 8 -b 16 a.wav a.mp3 && "
     "lame --quiet -m m --resample 8 -b 16 b.wav b.mp3",
     ".mp3", 1, 8000, 576},
    {"Flac", "flac -s -5 a.wav b.wav", ".flac", 2, 44100, 0},
};

// Three stretches at odd times, removed exactly as given.
const std::vector<std::string> kStretches = {"-s", "00:00:01.013-00:00:02.529",
                                             "-s", "00:00:04.317-00:00:06.001",
                                             "-s", "00:00:08.707-00:00:09.333"};

using TPcm = std::vector<int16_t>;

// The lines of `text` that start with `prefix`.
std::vector<std::string> Lines(const std::string& text, const std::string& prefix) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  return lines;
}

TPcm Samples(const std::vector<uint8_t>& bytes) {
  TPcm pcm(bytes.size() / 2);
  for (size_t i = 0; i < pcm.size(); ++i)
    pcm[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  return pcm;
}

// The largest step between neighbouring samples within `reach` frames of frame `at`.
int LargestStep(const TPcm& pcm, int channels, int64_t at, int64_t reach) {
  const auto frames = static_cast<int64_t>(pcm.size()) / channels;
  int largest = 0;
  for (int64_t i = std::max<int64_t>(1, at - reach); i < std::min(frames, at + reach); ++i)
    for (int c = 0; c < channels; ++c)
      largest = std::max(largest, std::abs(pcm[static_cast<size_t>(i * channels + c)] -
                                           pcm[static_cast<size_t>((i - 1) * channels + c)]));
  return largest;
}

// The first frame from `from` to `to` where `a` and `b` differ; -1 when none does.
int64_t FirstDifference(const TPcm& a, const TPcm& b, int channels, int64_t from, int64_t to) {
  for (int64_t i = std::max<int64_t>(0, from); i < to; ++i)
    for (int c = 0; c < channels; ++c)
      if (a[static_cast<size_t>(i * channels + c)] != b[static_cast<size_t>(i * channels + c)])
        return i;
  return -1;
}

class CliKeepFramesJoin : public ::testing::TestWithParam<TKeepCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CopyMadeFiles(std::string(kSound) + GetParam().Encode + " && rm *.wav", Folder));
  }

  std::string File(const char* stem) const { return std::string(stem) + GetParam().Extension; }

  TPcm Decoded(const std::string& name) const {
    return Samples(DecodeWithFfmpeg(Folder / name, "s16le"));
  }

  // Frames the other decoders give: mpg123 and GStreamer for MP3, flac and GStreamer for FLAC.
  std::vector<int64_t> OtherDecoders(const std::string& name) const {
    const std::string path = Quoted((Folder / name).string());
    const int bytes = 2 * GetParam().Channels;
    const std::string second = GetParam().FrameSamples == 0
                                   ? "flac -s -d -c --force-raw-format --endian=little "
                                     "--sign=signed " +
                                         path
                                   : "mpg123 -q -s " + path;
    const std::string gst = "gst-launch-1.0 -q filesrc location=" + path +
                            " ! decodebin ! audioconvert ! audio/x-raw,format=S16LE ! fdsink fd=1";
    return {static_cast<int64_t>(Shell(second).size()) / bytes,
            static_cast<int64_t>(Shell(gst).size()) / bytes};
  }

  // The reach of a bridge and the frames after it that its overlap touches, in frames.
  int64_t BridgeReach() const {
    const TKeepCase& c = GetParam();
    if (c.FrameSamples == 0) return 1;
    return (static_cast<int64_t>(std::ceil(0.1 * c.Rate)) / c.FrameSamples + 4) * c.FrameSamples;
  }

  // Checks `out` against `expected` (the pieces joined exactly where the output joins them):
  // equal away from the joins, no louder a step near them, the lengths of every decoder.
  void CheckJoins(const std::string& out, const TPcm& expected,
                  const std::vector<int64_t>& joins) const {
    const TKeepCase& c = GetParam();
    const TPcm pcm = Decoded(out);
    const int64_t frames = static_cast<int64_t>(pcm.size()) / c.Channels;
    ASSERT_EQ(frames, static_cast<int64_t>(expected.size()) / c.Channels);
    std::vector<int64_t> edges = {-BridgeReach()};
    edges.insert(edges.end(), joins.begin(), joins.end());
    edges.push_back(frames + BridgeReach());
    for (size_t k = 0; k + 1 < edges.size(); ++k)
      EXPECT_EQ(FirstDifference(pcm, expected, c.Channels, edges[k] + BridgeReach(),
                                edges[k + 1] - BridgeReach()),
                -1)
          << "piece " << k + 1 << " of " << out;
    for (const int64_t join : joins)
      EXPECT_LE(LargestStep(pcm, c.Channels, join, c.Rate / 20),
                LargestStep(expected, c.Channels, join, c.Rate / 20) * 3 / 2)
          << "a click at frame " << join << " of " << out;
    for (const int64_t other : OtherDecoders(out)) EXPECT_EQ(other, frames) << out;
  }

  // Whether `out` holds a run of the source's bytes from about `fraction` of the way in.
  bool HoldsSourceBytes(const std::string& out, const std::string& source, double fraction) {
    const std::vector<uint8_t> in = ReadBytes(Folder / source), written = ReadBytes(Folder / out);
    // FLAC frames are renumbered, so a run may meet a frame header: three tries.
    for (int attempt = 0; attempt < 3; ++attempt) {
      const auto at = static_cast<size_t>(fraction * static_cast<double>(in.size())) +
                      static_cast<size_t>(attempt) * 2048;
      if (at + 512 > in.size()) break;
      if (std::search(written.begin(), written.end(), in.begin() + static_cast<std::ptrdiff_t>(at),
                      in.begin() + static_cast<std::ptrdiff_t>(at + 512)) != written.end())
        return true;
    }
    return false;
  }

  TScratch Folder;
};

// Three stretches removed: --plan names the pieces and where each join lands; the output is
// the pieces, those after a join starting within half a frame of where they were asked to.
TEST_P(CliKeepFramesJoin, RemoveKeepsTheFramesAwayFromEachJoin) {
  const TKeepCase& c = GetParam();
  std::vector<std::string> args = {"remove", File("a"), "--copy", "--exact"};
  args.insert(args.end(), kStretches.begin(), kStretches.end());
  std::vector<std::string> planArgs = args;
  planArgs.push_back("--plan");
  const TCliRun plan = Folder.Cli(planArgs);
  ASSERT_EQ(plan.Status, 0) << plan.Err;
  std::vector<std::pair<int64_t, int64_t>> pieces;
  for (const std::string& line : Lines(plan.Out, "piece ")) {
    const size_t at = line.find("(frames ") + 8, dash = line.find('-', at);
    pieces.emplace_back(std::stoll(line.substr(at)), std::stoll(line.substr(dash + 1)));
  }
  std::vector<int64_t> shifts;
  for (const std::string& line : Lines(plan.Out, "join ")) {
    const int64_t shift = std::stoll(line.substr(line.find("starts ") + 7));
    shifts.push_back(line.find("earlier") != std::string::npos ? -shift : shift);
  }
  ASSERT_EQ(pieces.size(), 4u) << plan.Out;
  ASSERT_EQ(shifts.size(), 3u) << plan.Out;

  args.insert(args.end(), {"-o", File("out")});
  const TCliRun run = Folder.Cli(args);
  ASSERT_EQ(run.Status, 0) << run.Err;
  const TPcm source = Decoded(File("a"));
  TPcm expected;
  std::vector<int64_t> joins;
  for (size_t k = 0; k < pieces.size(); ++k) {
    const int64_t shift = k == 0 ? 0 : shifts[k - 1];
    EXPECT_LE(std::abs(shift), c.FrameSamples / 2) << "join " << k;
    if (k > 0) joins.push_back(static_cast<int64_t>(expected.size()) / c.Channels);
    expected.insert(expected.end(), source.begin() + (pieces[k].first + shift) * c.Channels,
                    source.begin() + (pieces[k].second + 1) * c.Channels);
  }
  CheckJoins(File("out"), expected, joins);
  for (const double fraction : {0.05, 0.3, 0.6, 0.95})
    EXPECT_TRUE(HoldsSourceBytes(File("out"), File("a"), fraction)) << fraction;
}

// Two files joined: the second follows the first within half a frame, gapless (the first
// one's padding and the second one's delay are not played), every frame away from the join
// kept.
TEST_P(CliKeepFramesJoin, JoinKeepsTheFramesOfBothFiles) {
  const TKeepCase& c = GetParam();
  const TCliRun run = Folder.Cli({"join", File("a"), File("b"), "--copy", "-o", File("out")});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const TPcm a = Decoded(File("a")), b = Decoded(File("b")), out = Decoded(File("out"));
  const int64_t shift = static_cast<int64_t>(a.size() + b.size() - out.size()) / c.Channels;
  EXPECT_LE(std::abs(shift), c.FrameSamples / 2);
  ASSERT_GE(shift, -static_cast<int64_t>(b.size()) / c.Channels);
  TPcm expected = a;
  expected.insert(expected.end(), b.begin() + std::max<int64_t>(0, shift) * c.Channels, b.end());
  // A piece moved earlier than the second file starts begins with silence.
  if (shift < 0)
    expected.insert(expected.begin() + static_cast<std::ptrdiff_t>(a.size()),
                    static_cast<size_t>(-shift * c.Channels), 0);
  CheckJoins(File("out"), expected, {static_cast<int64_t>(a.size()) / c.Channels});
  EXPECT_TRUE(HoldsSourceBytes(File("out"), File("a"), 0.5));
  EXPECT_TRUE(HoldsSourceBytes(File("out"), File("b"), 0.6));
}

INSTANTIATE_TEST_SUITE_P(Kinds, CliKeepFramesJoin, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// Frames that the kept frames cannot be joined with are refused with the reason, and nothing
// is written: MP3 files of other rates, a fade on FLAC frames (which are not bridged), kinds
// that have no bridge.
TEST(CliKeepFramesJoinEdges, WhatCannotBeJoinedKeepingTheFramesIsRefusedSayingWhy) {
  TScratch folder;
  ASSERT_TRUE(CopyMadeFiles(std::string(kSound) +
                                "lame --quiet -b 128 a.wav a.mp3 && "
                                "lame --quiet -m m --resample 22.05 -b 48 b.wav b.mp3 && "
                                "flac -s a.wav && ffmpeg -nostdin -v error -i a.wav -c:a libopus "
                                "a.opus && rm *.wav",
                            folder));
  const std::vector<std::string> stretch = {"-s", "00:00:01.013-00:00:02.529"};
  const struct {
    std::vector<std::string> Args;
    const char* Reason;
  } cases[] = {
      {{"join", "a.mp3", "b.mp3", "--copy", "-o", "out.mp3"}, "re-encode instead"},
      {{"remove", "a.flac", "--copy", "--fade-in", "0.05", "-o", "out.flac"}, "a fade needs"},
      {{"remove", "a.opus", "--copy", "-o", "out.opus"}, "re-encode instead"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.Args;
    if (args[0] == "remove") args.insert(args.end(), stretch.begin(), stretch.end());
    const TCliRun run = folder.Cli(args);
    EXPECT_NE(run.Status, 0) << args[1];
    EXPECT_NE(run.Err.find(c.Reason), std::string::npos) << run.Err;
    EXPECT_FALSE(std::filesystem::exists(folder / args[args[0] == "join" ? 5 : 4])) << args[1];
  }
}

// A first file shorter than a bridge: the output starts with bridge frames, which every
// decoder takes for the file's own (their headers carry the source's bits), so all three
// give one length.
TEST(CliKeepFramesJoinEdges, AFileShorterThanTheBridgeJoinsAlikeInEveryDecoder) {
  TScratch folder;
  ASSERT_TRUE(CopyMadeFiles(std::string(kSound) +
                                "ffmpeg -nostdin -v error -f lavfi -i sine=f=300:r=44100:d=0.05 "
                                "-ac 2 c.wav && lame --quiet -b 128 c.wav c.mp3 && "
                                "lame --quiet -b 128 a.wav a.mp3 && rm *.wav",
                            folder));
  const TCliRun run = folder.Cli({"join", "c.mp3", "a.mp3", "--copy", "-o", "out.mp3"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const auto frames = [&folder](const std::string& name) {
    return static_cast<int64_t>(DecodeWithFfmpeg(folder / name, "s16le").size()) / 4;
  };
  const int64_t out = frames("out.mp3");
  EXPECT_LE(std::abs(out - frames("c.mp3") - frames("a.mp3")), 576);
  const std::string path = Quoted((folder / "out.mp3").string());
  EXPECT_EQ(static_cast<int64_t>(Shell("mpg123 -q -s " + path).size()) / 4, out);
  EXPECT_EQ(static_cast<int64_t>(Shell("gst-launch-1.0 -q filesrc location=" + path +
                                       " ! decodebin ! audioconvert ! "
                                       "audio/x-raw,format=S16LE ! fdsink fd=1")
                                     .size()) /
                4,
            out);
}

// Fades with kept MP3 frames: the bridges are coded afresh anyway and hold the fades, so
// the sound at each join falls to silence and rises from it.
TEST(CliKeepFramesJoinEdges, Mp3FadesAtTheJoinsGoIntoTheBridges) {
  TScratch folder;
  ASSERT_TRUE(
      CopyMadeFiles(std::string(kSound) + "lame --quiet -b 128 a.wav a.mp3 && rm *.wav", folder));
  std::vector<std::string> args = {"remove", "a.mp3",     "--copy", "--exact", "--fade-out",
                                   "0.2",    "--fade-in", "0.2",    "-o",      "out.mp3"};
  args.insert(args.end(), kStretches.begin(), kStretches.end());
  args.push_back("--plan");
  const TCliRun plan = folder.Cli(args);
  ASSERT_EQ(plan.Status, 0) << plan.Err;
  std::vector<int64_t> joins;
  for (const std::string& line : Lines(plan.Out, "join "))
    joins.push_back(std::stoll(line.substr(line.find("(frame ") + 7)));
  ASSERT_EQ(joins.size(), 3u) << plan.Out;
  args.pop_back();
  const TCliRun run = folder.Cli(args);
  ASSERT_EQ(run.Status, 0) << run.Err;
  const TPcm pcm = Samples(DecodeWithFfmpeg(folder / "out.mp3", "s16le"));
  for (const int64_t at : joins) {
    int loudest = 0;
    for (int64_t i = at - 20; i < at + 20; ++i)
      loudest = std::max(loudest, std::abs(static_cast<int>(pcm[static_cast<size_t>(2 * i)])));
    EXPECT_LT(loudest, 1500) << "at the join at frame " << at;
    EXPECT_GT(LargestStep(pcm, 2, at + 44100 / 2, 100), 500) << "the sound after it";
  }
}

}  // namespace
