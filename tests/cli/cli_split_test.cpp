// SPDX-License-Identifier: GPL-3.0-or-later
// trimora-cli split: pieces that add up to the input and start where the plan says, sample for
// sample on WAV and by a click's place on MP3 and WMA, numbered k/N in their tags; a failure
// part-way keeps what was written and says so; a command line that does not say how to split
// is refused before anything is written.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "cli_test_support.h"

namespace {

using namespace cli_test;
using test_support::DecodeS16;
using test_support::FindClicks;

int64_t Frame(int64_t ms) {
  return (ms * 44100 + 500) / 1000;
}

int64_t DecodedFrames(const std::filesystem::path& file) {
  return static_cast<int64_t>(DecodeS16(file).size()) / 2;
}

TEST(CliSplit, WavePiecesAreTheSourceSampleForSample) {
  TScratch folder;
  const int64_t total = 80003;  // three parts do not divide it: 26668, 26668, 26667
  WriteBytes(folder / "in.wav", CountingWave(total, 8000));
  const auto run = folder.Cli({"split", "in.wav", "--parts", "3"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const struct {
    const char* Name;
    int64_t First, Frames;
  } pieces[] = {
      {"in - 01.wav", 0, 26668}, {"in - 02.wav", 26668, 26668}, {"in - 03.wav", 53336, 26667}};
  int64_t start = 0;
  for (const auto& piece : pieces) {
    SCOPED_TRACE(piece.Name);
    const auto raw = DecodeWithFfmpeg(folder / piece.Name, "s16le");
    ASSERT_EQ(static_cast<int64_t>(raw.size()) / 4, piece.Frames);
    EXPECT_EQ(piece.First, start) << "the pieces follow one another";
    size_t wrong = 0;
    for (size_t f = 0; f < static_cast<size_t>(piece.Frames); ++f)
      wrong += static_cast<int16_t>(raw[4 * f] | raw[4 * f + 1] << 8) !=
               CountingSample(piece.First + static_cast<int64_t>(f), 0);
    EXPECT_EQ(wrong, 0u);
    start += piece.Frames;
  }
  EXPECT_EQ(start, total);
}

TEST(CliSplit, EveryKindSplitsAtTheTimesWithTheTagsNumbered) {
  const struct {
    const char* Extension;
    const char* Option;
    int64_t Tolerance;  // frames: each piece's length and its click's place
  } cases[] = {{".wav", "--quiet", 0},
               {".mp3", "--quiet", 2},
               {".mp3", "--copy", 2},
               {".wma", "--quiet", 2048}};
  // A click half a second into each piece of a split at 2 s and 5 s.
  const std::vector<int64_t> clicks = {Frame(500), Frame(2500), Frame(5500)};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Extension) + " " + c.Option);
    TScratch folder;
    const std::string in = std::string("live") + c.Extension;
    test_support::WriteClickFile(folder / in, {44100, 2, Frame(8000), clicks},
                                 {{"title", "Live"}, {"artist", "Band"}, {"track", "9"}});
    const auto run =
        folder.Cli({"split", in, "--at", "00:00:02.0,5", "-o", "part {n} of {name}", c.Option});
    ASSERT_EQ(run.Status, 0) << run.Err;
    int64_t frames = 0;
    for (int k = 1; k <= 3; ++k) {
      const std::filesystem::path piece =
          folder / ("part 0" + std::to_string(k) + " of live" + c.Extension);
      const auto samples = DecodeS16(piece);
      frames += static_cast<int64_t>(samples.size()) / 2;
      const auto found = FindClicks(samples, 2);
      ASSERT_EQ(found.size(), 1u) << piece;
      EXPECT_NEAR(found[0], Frame(500), std::max<int64_t>(c.Tolerance, 2)) << piece;
      EXPECT_EQ(test_support::Probe(piece, "format_tags=track"), std::to_string(k) + "/3") << piece;
      EXPECT_EQ(test_support::Probe(piece, "format_tags=title"), "Live") << piece;
    }
    EXPECT_NEAR(frames, DecodedFrames(folder / in), 3 * c.Tolerance);
  }
}

// Three tones apart by 3 s pauses of quiet hiss, the middle one with a 1 s dip.
TEST(CliSplit, SilencesSplitInTheirMiddlesOrAreTrimmedOff) {
  TScratch folder;
  test_support::WriteClickFile(folder / "set.wav", test_support::PausedTones());
  const auto plan =
      folder.Cli({"split", "set.wav", "--silence", "--min-piece", "1", "--plan", "--json"});
  ASSERT_EQ(plan.Status, 0) << plan.Err;
  for (const char* piece :
       {"\"start_frame\":0,\"frames\":242550,", "\"start_frame\":242550,\"frames\":352800,",
        "\"start_frame\":595350,\"frames\":154350,\"file\":\"set - 03.wav\""})
    EXPECT_NE(plan.Out.find(piece), std::string::npos) << piece << " in\n" << plan.Out;
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"set.wav"}) << "a plan writes nothing";

  const auto run = folder.Cli({"split", "set.wav", "--silence", "--trim", "--min-piece", "1"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(DecodedFrames(folder / "set - 01.wav"), Frame(4000));
  EXPECT_EQ(DecodedFrames(folder / "set - 02.wav"), Frame(5000));
  EXPECT_EQ(DecodedFrames(folder / "set - 03.wav"), Frame(2000));
}

TEST(CliSplit, AFailurePartWayKeepsThePiecesWrittenAndNamesThem) {
  TScratch folder;
  WriteBytes(folder / "in.wav", CountingWave(24000, 8000));
  std::filesystem::create_directory(folder / "in - 02.wav");
  const auto refused = folder.Cli({"split", "in.wav", "--parts", "3"});
  EXPECT_EQ(refused.Status, 1);
  EXPECT_NE(refused.Err.find("'in - 02.wav' exists; use --force"), std::string::npos)
      << refused.Err;
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"in - 02.wav", "in.wav"}));

  // A folder is no file to replace: refused before the first piece.
  const auto folderRun = folder.Cli({"split", "in.wav", "--parts", "3", "--force"});
  EXPECT_EQ(folderRun.Status, 1);
  EXPECT_NE(folderRun.Err.find("piece 2 of 3 ('in - 02.wav'): 'in - 02.wav' is a folder; no piece "
                               "was written"),
            std::string::npos)
      << folderRun.Err;
  EXPECT_TRUE(std::filesystem::is_directory(folder / "in - 02.wav"));
  std::filesystem::remove(folder / "in - 02.wav");

  // The second piece, 80 kB, crosses a 32 kB file-size limit that the first one fits.
  const auto run = folder.Cli({"split", "in.wav", "--at", "0.5"}, "trap '' XFSZ; ulimit -f 64;");
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << run.Err;
  EXPECT_NE(run.Err.find("piece 2 of 2 ('in - 02.wav')"), std::string::npos) << run.Err;
  EXPECT_NE(run.Err.find("written before it: 'in - 01.wav'"), std::string::npos) << run.Err;
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"in - 01.wav", "in.wav"}));
}

// Only the second piece's name is the input's; with --force no name counts as taken, so the
// refusal must come from checking every name before the first piece.
TEST(CliSplit, APieceNamedAsTheInputIsRefusedBeforeAnyPieceIsWritten) {
  TScratch folder;
  WriteBytes(folder / "take02.wav", CountingWave(24000, 8000));
  const auto run = folder.Cli({"split", "take02.wav", "--parts", "2", "-o", "take{n}", "--force"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("piece 2 of 2 ('take02.wav'): the output 'take02.wav' is the input file "
                         "'take02.wav'; choose another output name; no piece was written"),
            std::string::npos)
      << run.Err;
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"take02.wav"});
}

TEST(CliSplit, RefusalsWriteNothing) {
  TScratch folder;
  WriteBytes(folder / "in.wav", CountingWave(80000, 8000));
  test_support::WriteClickFile(folder / "in.wma", {44100, 2, 44100, {}});
  const auto sheet = [&](const char* name, const std::string& indexes) {
    const std::string text = "FILE in.wav WAVE\nTRACK 01 AUDIO\n INDEX 01 00:00:00\n" + indexes;
    WriteBytes(folder / name, std::vector<uint8_t>(text.begin(), text.end()));
  };
  sheet("late.cue", "TRACK 02 AUDIO\n INDEX 01 00:20:00\n");
  sheet("bad.cue", "");
  sheet("huge.cue", std::string(1 << 20, ' '));
  std::string bad = test_support::ReadText(folder / "bad.cue");
  bad.replace(bad.find("00:00:00"), 8, "00:01:80");
  WriteBytes(folder / "bad.cue", std::vector<uint8_t>(bad.begin(), bad.end()));
  const struct {
    std::vector<std::string> Args;
    int Status;
    const char* Says;
  } cases[] = {
      {{"split", "in.wav"},
       2,
       "exactly one of --parts, --every, --at, --silence, --cue, --labels and --chapters"},
      {{"split", "in.wav", "--cue", "late.cue"},
       1,
       "'late.cue': line 4: the mark at 00:00:20.000 lies past the end of the sound "
       "(00:00:10.000); nothing was written"},
      {{"split", "in.wav", "--cue", "bad.cue"}, 1, "'bad.cue': line 3: the time '00:01:80' has 75"},
      {{"split", "in.wav", "--cue", "in.wav"}, 1, "'in.wav': line 1: holds binary data"},
      {{"split", "in.wav", "--labels", "missing.txt"}, 1, "cannot read 'missing.txt'"},
      {{"split", "in.wav", "--cue", "huge.cue"},
       1,
       "'huge.cue': 'huge.cue' is larger than a sheet of marks can be (1 MiB)"},
      {{"split", "in.wav", "--parts", "2", "--plan", "--write-cue", "in.wav"},
       1,
       "is the input file"},
      {{"split", "in.wav", "--parts", "2", "--every", "3"}, 2, "exactly one of"},
      {{"split", "in.wav", "--parts", "0"}, 2, "invalid --parts '0'"},
      {{"split", "in.wav", "--every", "1:2"}, 2, "invalid --every '1:2'"},
      {{"split", "in.wav", "--parts", "2", "--trim"}, 2, "go with --silence"},
      {{"split", "in.wav", "--silence", "--threshold", "loud"}, 2, "invalid --threshold"},
      {{"split", "in.wav", "--silence", "--threshold", "nan"}, 2, "from -150 to 0"},
      {{"split", "in.wav", "--parts", "2", "--json"}, 2, "--json goes with --plan"},
      {{"split", "in.wav", "--parts", "2", "-o", "piece.wav"}, 2, "needs {n}"},
      {{"split", "in.wav", "--parts", "2", "-o", "{n}.mp3"}, 2, "must be .wav files"},
      {{"split", "in.wav", "--at", "00:00:04.0,00:00:12.0"},
       1,
       "'in.wav': the split time 00:00:12.0 does not lie inside the sound"},
      {{"split", "in.wma", "--parts", "2", "--copy"}, 1, "--copy: WMA frames cannot be kept"},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const auto& a : c.Args) line += a + " ";
    SCOPED_TRACE(line);
    const auto run = folder.Cli(c.Args);
    EXPECT_EQ(run.Status, c.Status);
    EXPECT_NE(run.Err.find(c.Says), std::string::npos) << run.Err;
  }
  EXPECT_EQ(folder.Names(),
            (std::vector<std::string>{"bad.cue", "huge.cue", "in.wav", "in.wma", "late.cue"}));
}

}  // namespace
