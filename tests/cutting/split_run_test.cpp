// SPDX-License-Identifier: GPL-3.0-or-later
// The split's run, as the window and the command line drive it: every piece comes from the
// file opened at the start, whatever happens to its name between pieces, and every piece's
// name is checked before the first is written.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cutting/kinds/kind_registry.h"
#include "cutting/operations/split_plan.h"
#include "cutting/operations/split_run.h"
#include "cutting/save/output_run.h"
#include "pipeline_test_support.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::TClickSound;

struct TSplitOutcome {
  std::string Error;  // of the split's Done
  std::vector<fs::path> Written;
};

// Splits `input` into `targets.size()` equal pieces, serving the run's events as a front end
// does; `afterFirst` runs once the first piece is in place, before the second starts.
TSplitOutcome Split(const fs::path& input, const std::vector<fs::path>& targets, bool keepFrames,
                    const std::function<void()>& afterFirst = {}) {
  TOpenedSource opened = OpenSource(input);
  const int64_t held = opened.Kind->FramesHeld(*opened.Source);
  TSplitRun split(*opened.Kind, *opened.Source,
                  PlanEqualParts(held, static_cast<int>(targets.size())), targets, keepFrames);
  std::vector<std::function<void()>> steps;
  std::optional<std::string> ended;
  TSplitEvents events;
  events.OpenTarget = [&](TOutputRun& run, const fs::path& target, bool replace) {
    return run.OpenTarget(target, replace, {input});
  };
  events.Defer = [&](std::function<void()> step) { steps.push_back(std::move(step)); };
  events.Written = [&](size_t piece) {
    if (piece == 0 && afterFirst) afterFirst();
  };
  events.Done = [&](const std::string& error) { ended = error; };
  split.Run(std::move(events), false);
  EXPECT_TRUE(pipeline_test::PumpUntil([&] {
    std::vector<std::function<void()>> due;
    due.swap(steps);
    for (const auto& step : due) step();
    return ended.has_value();
  }));
  return {ended.value_or("did not end"), split.Written()};
}

// The samples of `file` as this program's own source reads them.
std::vector<int16_t> Samples(const fs::path& file) {
  return pipeline_test::ReadAll(*OpenSource(file).Source);
}

std::vector<fs::path> Names(const fs::path& folder, const std::string& extension) {
  return {folder / ("p1" + extension), folder / ("p2" + extension), folder / ("p3" + extension)};
}

// Another sound, with an album in an ID3v1 record that an MP3 cut would carry over.
void WriteOther(const fs::path& file) {
  test_support::WriteClickFile(file, TClickSound{44100, 2, 44100, {5000, 30000}});
  std::vector<uint8_t> bytes = test_support::ReadBytes(file);
  std::vector<uint8_t> record(128, 0);
  const std::string tag = "TAG", album = "another";
  std::copy(tag.begin(), tag.end(), record.begin());
  std::copy(album.begin(), album.end(), record.begin() + 63);
  record[127] = 255;  // no genre
  if (file.extension() == ".mp3") bytes.insert(bytes.end(), record.begin(), record.end());
  test_support::WriteBytes(file, bytes);
}

// The input replaced by another file of its kind, or deleted, once the first piece is
// written: the pieces still hold the original's sound and tags, re-encoded or frame for frame.
TEST(SplitRun, EveryPieceComesFromTheFileOpenedAtTheStart) {
  const struct {
    const char* Extension;
    bool KeepFrames;
  } kinds[] = {{".wav", false}, {".mp3", false}, {".mp3", true}};
  const TClickSound original{44100, 2, 44100 * 2, {20000, 50000, 80000}};
  for (const auto& kind : kinds) {
    SCOPED_TRACE(std::string(kind.Extension) + (kind.KeepFrames ? " frames kept" : ""));
    test_support::TTempFolder folder;
    const fs::path input = folder / ("in" + std::string(kind.Extension));
    const fs::path other = folder / ("other" + std::string(kind.Extension));
    test_support::WriteClickFile(input, original, {{"title", "the original"}});
    fs::create_directory(folder / "kept");
    const auto reference = Names(folder / "kept", kind.Extension);
    ASSERT_EQ(Split(input, reference, kind.KeepFrames).Error, "");
    std::vector<std::vector<int16_t>> expected;
    for (const auto& piece : reference) expected.push_back(Samples(piece));
    ASSERT_NE(test_support::ReadText(reference[1]).find("the original"), std::string::npos);

    for (const bool deleted : {true, false}) {
      SCOPED_TRACE(deleted ? "deleted" : "replaced");
      const fs::path pieces = folder / (deleted ? "deleted" : "replaced");
      fs::create_directory(pieces);
      if (deleted)
        fs::copy_file(input, folder / "copy");
      else
        WriteOther(other);
      const auto names = Names(pieces, kind.Extension);
      const auto outcome = Split(input, names, kind.KeepFrames, [&] {
        if (deleted)
          fs::remove(input);
        else
          fs::rename(other, input);
      });
      EXPECT_EQ(outcome.Error, "");
      if (deleted) fs::rename(folder / "copy", input);
      for (size_t k = 0; k < names.size(); ++k)
        EXPECT_TRUE(Samples(names[k]) == expected[k] &&
                    test_support::ReadBytes(names[k]) == test_support::ReadBytes(reference[k]))
            << "piece " << k + 1 << ": its sound and its tags the original's";
    }
  }
}

// A name that cannot be written, whichever piece has it, refuses the split before its first
// piece: nothing is written and the refusal names the piece.
TEST(SplitRun, EveryNameIsCheckedBeforeTheFirstPiece) {
  test_support::TTempFolder folder;
  const fs::path input = folder / "in.wav";
  test_support::WriteClickWave(input, TClickSound{8000, 1, 24000, {}});
  const struct {
    const char* Case;
    std::vector<fs::path> Targets;
    std::string Says;
  } cases[] = {
      {"the input",
       {folder / "a.wav", input, folder / "c.wav"},
       "piece 2 of 3 ('" + input.string() + "'): the output '" + input.string() +
           "' is the input file"},
      {"twice", {folder / "a.wav", folder / "b.wav", folder / "a.wav"}, "piece 3 of 3"},
      {"another kind", {folder / "a.wav", folder / "b.mp3"}, "piece 2 of 2"},
      {"no folder", {folder / "a.wav", folder / "none" / "b.wav"}, "does not exist"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Case);
    const auto outcome = Split(input, c.Targets, false);
    EXPECT_NE(outcome.Error.find(c.Says), std::string::npos) << outcome.Error;
    EXPECT_NE(outcome.Error.find("no piece was written"), std::string::npos) << outcome.Error;
    EXPECT_TRUE(outcome.Written.empty());
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"in.wav"});
    fs::remove(folder / "a.wav");  // a row that failed so leaves the next its own outcome
  }
}

}  // namespace
