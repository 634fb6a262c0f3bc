// SPDX-License-Identifier: GPL-3.0-or-later
// trimora-cli remove: the kept stretches joined, sample for sample on WAV, to the sample in
// length on MP3 and within a codec frame on WMA, with the input's tags and bit rate; the
// work files gone afterwards; lists that keep nothing refused.

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#include "cli_test_support.h"

namespace {

using namespace cli_test;

// Segments 00:00:02.0-00:00:04.0 and 00:00:07.0-00:00:07.5, each widened by 0.1 s: at 8000
// Hz the kept frames are 0..15200, 32800..55200 and 60800 to the end.
const std::vector<std::string> kSegments = {"-s", "00:00:02.0-00:00:04.0", "--segment",
                                            "00:00:07.0-00:00:07.5"};

int64_t KeptFrames(int64_t total, int rate) {
  auto f = [rate](int64_t ms) { return (ms * rate + 500) / 1000; };
  return (f(1900) + 1) + (f(6900) - f(4100) + 1) + (total - f(7600));
}

class CliRemove : public ::testing::Test {
 protected:
  // Runs remove with its work files under the scratch folder's "work", which must be
  // empty afterwards.
  TCliRun Remove(const std::string& in, const std::string& out,
                 std::vector<std::string> extra = {}) {
    std::filesystem::create_directories(Folder / "work");
    std::vector<std::string> args = {"remove", in, "-o", out};
    args.insert(args.end(), kSegments.begin(), kSegments.end());
    args.insert(args.end(), extra.begin(), extra.end());
    const auto run = Folder.Cli(args, "TMPDIR=work");
    EXPECT_TRUE(std::filesystem::is_empty(Folder / "work")) << "work files left behind";
    return run;
  }

  int64_t DecodedFrames(const std::string& name, int channels) {
    return static_cast<int64_t>(DecodeWithFfmpeg(Folder / name, "s16le").size()) / 2 / channels;
  }

  TScratch Folder;
};

// A remove of three stretches from a two-hour file, watched while it runs: nothing appears
// but the output's temporary file and then the output, in the data, home and temporary
// folders or beside the output.
TEST_F(CliRemove, ALongRemoveWritesNothingButItsOutput) {
  const std::string folder = Folder.Path().string();
  for (const char* sub : {"work", "home", "data"})
    std::filesystem::create_directories(Folder / sub);
  ASSERT_EQ(std::system(("cd '" + folder +
                         "' && ffmpeg -v error -f lavfi -i anullsrc=r=8000:cl=mono -t 7200 "
                         "-c:a pcm_u8 in.wav")
                            .c_str()),
            0);
  // The watcher lists the folder over and over from before the run starts until it has ended.
  const std::string script =
      "cd '" + folder +
      "'\n"
      "(while [ ! -e .ended ]; do find . -type f ! -name seen ! -name in.wav ! -name watch.sh "
      "! -name .ended >>seen; done) & watcher=$!\n"
      "TMPDIR=work HOME=home XDG_DATA_HOME=data '" TRIMORA_CLI
      "' remove in.wav -o out.wav -s 00:10:00.0-00:20:00.0 -s 00:50:00.0-00:55:00.0 "
      "-s 01:30:00.0-01:31:00.0 -q; status=$?\n"
      "touch .ended; wait $watcher; rm .ended; exit $status\n";
  test_support::WriteBytes(Folder / "watch.sh", {script.begin(), script.end()});
  ASSERT_EQ(std::system(("bash '" + folder + "/watch.sh'").c_str()), 0);
  std::string seen = test_support::ReadText(Folder / "seen");
  std::set<std::string> names;
  for (size_t at = 0, end; (end = seen.find('\n', at)) != std::string::npos; at = end + 1)
    names.insert(seen.substr(at, end - at));
  for (const std::string& name : names)
    EXPECT_TRUE(name == "./out.wav" || name.rfind("./.out.trimora-", 0) == 0) << name;
  EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"data", "home", "in.wav", "out.wav", "seen",
                                                      "watch.sh", "work"}));
}

// The plan and info speak of the same length, whatever the kind: the frames the file holds.
TEST_F(CliRemove, ThePlanAndInfoAgreeOnTheLengthOfEveryKind) {
  WriteBytes(Folder / "in.wav", CountingWave(80000, 8000));
  const std::string made =
      "ffmpeg -v error -i in.wav -c:a libmp3lame -b:a 64k info.mp3 && "
      "ffmpeg -v error -i in.wav -c:a libmp3lame -b:a 64k -write_xing 0 noinfo.mp3 && "
      "ffmpeg -v error -i in.wav -c:a libmp3lame -q:a 4 vbr.mp3 && "
      "ffmpeg -v error -i in.wav -c:a wmav2 -b:a 64k in.wma";
  ASSERT_EQ(std::system(("cd '" + Folder.Path().string() + "' && " + made).c_str()), 0);
  for (const char* name : {"in.wav", "info.mp3", "noinfo.mp3", "vbr.mp3", "in.wma"}) {
    SCOPED_TRACE(name);
    const auto info = Folder.Cli({"info", name, "--json"});
    const auto plan = Folder.Cli({"remove", name, "--plan", "-s", "00:00:01.0-00:00:02.0"});
    ASSERT_EQ(info.Status, 0) << info.Err;
    ASSERT_EQ(plan.Status, 0) << plan.Err;
    const size_t at = info.Out.find("\"frames\":");
    ASSERT_NE(at, std::string::npos) << info.Out;
    const std::string frames = info.Out.substr(at + 9, info.Out.find(',', at) - at - 9);
    EXPECT_NE(plan.Out.find(" (" + frames + " frames)\n"), std::string::npos) << frames << " in\n"
                                                                              << plan.Out;
  }
}

TEST_F(CliRemove, WaveKeepsExactlyTheFramesBetweenTheWidenedSegments) {
  const int64_t total = 80000;  // 10 s at 8000 Hz
  WriteBytes(Folder / "in.wav", CountingWave(total, 8000));
  const auto run = Remove("in.wav", "out.wav");
  ASSERT_EQ(run.Status, 0) << run.Err;
  const auto out = DecodeWithFfmpeg(Folder / "out.wav", "s16le");
  std::vector<uint8_t> expected;
  for (auto [first, last] :
       {std::pair<int64_t, int64_t>{0, 15200}, {32800, 55200}, {60800, total - 1}})
    for (int64_t frame = first; frame <= last; ++frame)
      for (int channel = 0; channel < 2; ++channel) {
        const auto sample = static_cast<uint16_t>(CountingSample(frame, channel));
        expected.push_back(static_cast<uint8_t>(sample & 0xFF));
        expected.push_back(static_cast<uint8_t>(sample >> 8));
      }
  ASSERT_EQ(out.size(), expected.size());
  // Each of the two joins passes samples through floats, which may bring a sample near full
  // scale a step nearer 0.
  size_t far = 0;
  for (size_t i = 0; i + 1 < out.size(); i += 2) {
    const int got = static_cast<int16_t>(out[i] | out[i + 1] << 8);
    const int want = static_cast<int16_t>(expected[i] | expected[i + 1] << 8);
    far += std::abs(got - want) > 2;
  }
  EXPECT_EQ(far, 0u) << "every kept frame in order, nothing else";
  EXPECT_EQ(static_cast<int64_t>(out.size()) / 4, KeptFrames(total, 8000));
}

// Fades at the joins only: the file's first and last frames stay, each join falls to silence
// and rises from it.
TEST_F(CliRemove, FadesGoToSilenceAtEachJoin) {
  WriteBytes(Folder / "in.wav", CountingWave(80000, 8000));
  const auto run = Remove("in.wav", "out.wav", {"--fade-in", "0.01", "--fade-out", "0.01"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const auto out = DecodeWithFfmpeg(Folder / "out.wav", "s16le");
  const auto left = [&](int64_t frame) {
    return static_cast<int16_t>(out[4 * frame] | out[4 * frame + 1] << 8);
  };
  const int64_t join1 = 15201, join2 = join1 + 55200 - 32800 + 1;
  EXPECT_EQ(left(1), CountingSample(1, 0));
  EXPECT_EQ(left(static_cast<int64_t>(out.size()) / 4 - 1), CountingSample(79999, 0));
  for (const int64_t join : {join1, join2}) {
    EXPECT_EQ(left(join - 1), 0) << join;
    EXPECT_EQ(left(join), 0) << join;
    EXPECT_GT(std::abs(left(join - 81)), 0) << "the fade is 80 frames long";
  }
}

TEST_F(CliRemove, CompressedOutputsHaveTheKeptLengthTheBitRateAndTheTags) {
  struct {
    const char* Input;
    const char* Encode;  // FFmpeg options that make it
    int64_t Tolerance;   // frames
  } cases[] = {{"in.mp3", "-c:a libmp3lame -b:a 192k", 0},
               {"in.wma", "-c:a wmav2 -b:a 128k", 2048}};
  for (const auto& c : cases) {
    ASSERT_FALSE(Shell("cd '" + Folder.Path().string() +
                       "' && ffmpeg -nostdin -v error -y -f lavfi -i "
                       "'sine=f=440:r=44100:d=10' -ac 2 " +
                       c.Encode + " -metadata title=Segments -metadata artist=Cutter " + c.Input +
                       " && echo ok")
                     .empty());
    const std::string out =
        std::string("out") + std::filesystem::path(c.Input).extension().string();
    const auto run = Remove(c.Input, out);
    ASSERT_EQ(run.Status, 0) << c.Input << ": " << run.Err;
    const int64_t total = DecodedFrames(c.Input, 2);
    EXPECT_NEAR(DecodedFrames(out, 2), KeptFrames(total, 44100), c.Tolerance) << c.Input;
    const std::string probe = Probe(Folder / out, "format_tags=title,artist:format=bit_rate");
    EXPECT_NE(probe.find("Segments"), std::string::npos) << probe;
    EXPECT_NE(probe.find("Cutter"), std::string::npos) << probe;
    const std::string inProbe = Probe(Folder / c.Input, "stream=bit_rate");
    EXPECT_EQ(Probe(Folder / out, "stream=bit_rate"), inProbe) << c.Input;
  }
}

TEST_F(CliRemove, RefusalsWriteNothing) {
  WriteBytes(Folder / "in.wav", CountingWave(80000, 8000));
  struct {
    std::vector<std::string> Args;
    int Status;
  } cases[] = {
      {{"remove", "in.wav", "-o", "out.wav", "-s", "00:00:00.0-00:00:10.0"}, 1},  // keeps nothing
      {{"remove", "in.wav", "-o", "out.wav", "-s", "00:00:01.0-00:00:03.0", "-s",
        "00:00:02.0-00:00:04.0"},
       2},                                                                        // out of sequence
      {{"remove", "in.wav", "-o", "out.wav", "-s", "00:00:05.0-00:00:11.0"}, 1},  // past the end
      {{"remove", "in.wav", "-o", "in.wav", "-s", "00:00:01.0-00:00:02.0", "--force"}, 1},
      {{"remove", "in.wav", "-o", "out.wav", "-s", "00:00:01.0-00:00:02.0", "--plan"}, 0},
  };
  for (const auto& c : cases) {
    const auto run = Folder.Cli(c.Args);
    EXPECT_EQ(run.Status, c.Status) << run.Err;
    EXPECT_EQ(Folder.Names(), std::vector<std::string>{"in.wav"}) << run.Err;
  }
  const auto plan =
      Folder.Cli({"remove", "in.wav", "--plan", "--exact", "-s", "00:00:01.0-00:00:02.0"});
  EXPECT_NE(plan.Out.find("piece 2: 00:00:02.0 - 00:00:10.0 (frames 16000-79999)"),
            std::string::npos)
      << plan.Out;
}

}  // namespace
