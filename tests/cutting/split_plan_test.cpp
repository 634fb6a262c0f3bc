// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/operations/split_plan.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cutting/cut_error.h"
#include "cutting/operations/split_run.h"
#include "cutting/time/cut_range.h"

namespace {

// "0-3 3-6 6-8": the pieces in a form a table can hold.
std::string PiecesText(const std::vector<TSplitPiece>& pieces) {
  std::ostringstream text;
  for (const auto& piece : pieces) {
    if (text.tellp() > 0) text << ' ';
    text << piece.Start << '-' << piece.End;
  }
  return text.str();
}

TEST(SplitPlan, EvenPlansCoverTheSoundExactly) {
  struct {
    const char* Name;
    std::vector<TSplitPiece> Pieces;
    const char* Expected;
  } cases[] = {
      {"parts dividing evenly", PlanEqualParts(9, 3), "0-3 3-6 6-9"},
      {"parts with a remainder", PlanEqualParts(11, 3), "0-4 4-8 8-11"},
      {"one part per frame", PlanEqualParts(3, 3), "0-1 1-2 2-3"},
      {"every, a short last piece", PlanEvery(10, 4), "0-4 4-8 8-10"},
      {"every, dividing evenly", PlanEvery(8, 4), "0-4 4-8"},
      {"every, longer than the sound", PlanEvery(5, 40), "0-5"},
      {"at times, unsorted and repeated", PlanAtTimes(10000, 1000, {7000, 2000, 7000}),
       "0-2000 2000-7000 7000-10000"},
  };
  for (const auto& c : cases) EXPECT_EQ(PiecesText(c.Pieces), c.Expected) << c.Name;
}

TEST(SplitPlan, RefusesWhatCannotBeSplit) {
  EXPECT_THROW(PlanEqualParts(2, 3), ECutError);
  EXPECT_THROW(PlanEvery(10, 0), ECutError);
  for (int32_t ms : {0, 10000, 12000}) {
    try {
      PlanAtTimes(10000, 1000, {5000, ms});
      ADD_FAILURE() << ms << " was taken";
    } catch (const ECutError& e) {
      EXPECT_NE(std::string(e.what()).find("does not lie inside the sound (00:00:00.0 to "
                                           "00:00:10.0)"),
                std::string::npos)
          << e.what();
    }
  }
}

TEST(SplitPlan, SilencesBoundPiecesInTheirMiddles) {
  using TSilences = std::vector<TSilence>;
  struct {
    const char* Name;
    TSilences Silences;
    int64_t MinPiece;
    bool Trim;
    const char* Expected;
  } cases[] = {
      {"two pauses", {{300, 400}, {700, 800}}, 100, false, "0-350 350-750 750-1000"},
      {"trimmed", {{300, 400}, {700, 800}}, 100, true, "0-300 400-700 800-1000"},
      {"pauses at the ends bound nothing",
       {{0, 100}, {500, 600}, {900, 1000}},
       100,
       false,
       "0-550 550-1000"},
      {"and are trimmed off", {{0, 100}, {500, 600}, {900, 1000}}, 100, true, "100-500 600-900"},
      {"a short piece joins its shorter neighbour",
       {{300, 400}, {440, 480}, {700, 800}},
       200,
       false,
       "0-350 350-750 750-1000"},
      {"a short first piece joins the next", {{50, 60}, {500, 600}}, 200, false, "0-550 550-1000"},
      {"a short last piece joins the one before",
       {{400, 500}, {940, 960}},
       200,
       false,
       "0-450 450-1000"},
      {"a short trimmed piece keeps the pause inside",
       {{300, 400}, {440, 480}},
       200,
       true,
       "0-440 480-1000"},
      {"everything too short: one piece", {{300, 400}, {600, 700}}, 2000, false, "0-1000"},
      {"all silence, trimmed: nothing", {{0, 1000}}, 100, true, ""},
      {"no pauses", {}, 100, false, "0-1000"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PiecesText(PlanAtSilences(1000, c.Silences, c.MinPiece, c.Trim)), c.Expected)
        << c.Name;
}

TEST(SplitPlan, APieceReadsToTheEndOfTheDataOnlyWhenItEndsTheSound) {
  EXPECT_EQ(PieceRange({0, 400}, 1000).EndSample, 399);
  EXPECT_EQ(PieceRange({400, 1000}, 1000).EndSample, -1);
  EXPECT_EQ(PieceRange({400, 1000}, 1000).StartSample, 400);
  // The plan and the one range rule count the same frames.
  for (const TSplitPiece& piece : PlanEqualParts(1001, 3))
    EXPECT_EQ(RangeFrames(PieceRange(piece, 1001), 1001), piece.Frames());
}

TEST(SplitPlan, PiecesAreNamedFromThePattern) {
  struct {
    const char* Pattern;
    size_t Count;
    const char* First;
    const char* Last;
  } cases[] = {
      {"", 3, "rec/Live Set - 01.mp3", "rec/Live Set - 03.mp3"},
      {"", 120, "rec/Live Set - 001.mp3", "rec/Live Set - 120.mp3"},
      {"out/{n}. {name}.MP3", 2, "out/01. Live Set.MP3", "out/02. Live Set.MP3"},
      {"{name}.part{n}", 2, "Live Set.part01.mp3", "Live Set.part02.mp3"},
      {"whole", 1, "whole.mp3", "whole.mp3"},
  };
  for (const auto& c : cases) {
    const auto names = SplitPieceNames("rec/Live Set.mp3", KindOfFile("a.mp3"), c.Pattern, c.Count);
    ASSERT_EQ(names.size(), c.Count) << c.Pattern;
    EXPECT_EQ(names.front().string(), c.First) << c.Pattern;
    EXPECT_EQ(names.back().string(), c.Last) << c.Pattern;
  }
  EXPECT_THROW(SplitPieceNames("a.mp3", KindOfFile("a.mp3"), "same", 2), ECutError);
  EXPECT_THROW(SplitPieceNames("a.mp3", KindOfFile("a.mp3"), "{n}.wav", 2), ECutError);
}

// Marks in milliseconds at a rate of 1000, so that frames are milliseconds.
TMark At(int64_t ms, std::optional<int64_t> endMs = std::nullopt, bool point = false) {
  TMark mark;
  mark.Start = {ms, 1000};
  if (endMs) mark.End = TMarkTime{*endMs, 1000};
  mark.Point = point;
  mark.Line = 7;
  return mark;
}

TEST(SplitPlan, MarksBoundPiecesAsTheirKindSays) {
  struct {
    const char* Name;
    std::vector<TMark> Marks;
    const char* Expected;
  } cases[] = {
      {"tracks: the first from its start, each to the next",
       {At(100), At(300)},
       "100-300 300-1000"},
      {"points: the sound before the first too",
       {At(300, {}, true), At(100, {}, true)},
       "0-100 100-300 300-1000"},
      {"a point at the start and one repeated",
       {At(0, {}, true), At(400, {}, true), At(400, {}, true)},
       "0-400 400-1000"},
      {"regions, overlapping, one split by a point",
       {At(100, 500), At(300, {}, true), At(450, 900)},
       "100-300 300-450 450-900"},
  };
  for (const auto& c : cases) {
    TMarkSheet sheet;
    sheet.Marks = c.Marks;
    EXPECT_EQ(PiecesText(PlanAtMarks(1000, 1000, sheet)), c.Expected) << c.Name;
  }
  for (const TMark& late : {At(1000), At(200, 1001)}) {
    TMarkSheet sheet;
    sheet.Marks = {late};
    try {
      PlanAtMarks(1000, 1000, sheet);
      ADD_FAILURE() << "taken";
    } catch (const ECutError& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, 20), "line 7: the mark at ");
    }
  }
}

TEST(SplitPlan, PiecesAtMarksAreNamedByTheirTextsMadeSafe) {
  const auto piece = [](std::string title, std::string artist = "") {
    TSplitPiece p(0, 1);
    p.Texts.Title = std::move(title);
    p.Texts.Artist = std::move(artist);
    p.Texts.Album = "A/B";
    return p;
  };
  const TKind& mp3 = KindOfFile("a.mp3");
  const auto names =
      SplitPieceNames("rec/x.mp3", mp3, "", {piece("AC/DC"), piece(".hidden"), piece("tab\there")});
  EXPECT_EQ(names[0].string(), "rec/01 - AC_DC.mp3");
  EXPECT_EQ(names[1].string(), "rec/02 - .hidden.mp3") << "only a name's own leading dot";
  EXPECT_EQ(names[2].string(), "rec/03 - tab_here.mp3");
  EXPECT_EQ(SplitPieceNames("x.mp3", mp3, "{title} ({artist}, {album})", {piece(".t", "Me")})
                .front()
                .string(),
            "_t (Me, A_B).mp3");
  // A name past the file system's limit is cut on a whole character, keeping the extension.
  std::string longTitle;
  for (int k = 0; k < 200; ++k) longTitle += "\xC3\xA9";
  const std::string cut =
      SplitPieceNames("x.mp3", mp3, "{title}", {piece(longTitle)}).front().string();
  EXPECT_EQ(cut.size(), 255u - 1) << "253 bytes of text hold 126 whole characters";
  EXPECT_EQ(cut.substr(cut.size() - 4), ".mp3");
  EXPECT_THROW(SplitPieceNames("x.mp3", mp3, "{album}", {piece("a"), piece("b")}), ECutError);
  EXPECT_EQ(SplitPieceNames("x.mp3", mp3, "{title}", {piece("a"), piece("b")}).back(), "b.mp3");
}

}  // namespace
