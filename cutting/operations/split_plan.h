// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "cutting/marks/mark_sheet.h"
#include "cutting/time/selection_frames.h"

// The plan of a split: which stretches of one file become pieces of their own. Every plan
// works on the frames the file holds (FramesHeld, the length `info` shows), so the pieces of
// the even plans add up to exactly that.

// Frames [Start, End) of the sound the file holds, and the texts a piece made at a mark
// gets in its tags (empty ones leave the file's own).
struct TSplitPiece {
  TSplitPiece() = default;
  TSplitPiece(int64_t start, int64_t end, TMarkPieceTexts texts = {})
      : Start(start), End(end), Texts(std::move(texts)) {}
  int64_t Start = 0;
  int64_t End = 0;
  TMarkPieceTexts Texts;
  int64_t Frames() const { return End - Start; }
  bool operator==(const TSplitPiece&) const = default;
};

// A stretch of silence, frames [Start, End), as the silence detection finds it.
struct TSilence {
  int64_t Start = 0;
  int64_t End = 0;
  bool operator==(const TSilence&) const = default;
};

// `parts` pieces of `held` frames; the frames that do not divide evenly go one each to the
// first pieces. ECutError when there are fewer frames than parts.
std::vector<TSplitPiece> PlanEqualParts(int64_t held, int parts);
// A piece every `every` frames; the last piece takes what remains.
std::vector<TSplitPiece> PlanEvery(int64_t held, int64_t every);
// Pieces that begin at each of `timesMs` (sorted, duplicates dropped) of a sound of `held`
// frames at `rate`. ECutError naming the time when one does not lie inside the sound.
std::vector<TSplitPiece> PlanAtTimes(int64_t held, int rate, std::vector<int32_t> timesMs);
// Pieces between `silences` (in order, not overlapping), each boundary in the middle of its
// silence; silences at the very start or end bound nothing. A piece shorter than `minPiece`
// frames joins its shorter neighbour, so that a short dip does not leave a scrap. With `trim`
// the silences are left out: each piece runs from the end of one silence to the start of
// the next, and a piece that is all silence is dropped.
std::vector<TSplitPiece> PlanAtSilences(int64_t held, const std::vector<TSilence>& silences,
                                        int64_t minPiece, bool trim);

// Pieces at `marks` of a sound of `held` frames at `rate`. A mark with an end (a label's
// region) is a piece of its own; any other runs to the next mark or the end of the sound,
// and a point inside a region ends it there. Where the marks are all points, the sound before
// the first is a piece too (a cue sheet's track or a chapter begins the piece it names).
// ECutError naming the mark's line when it lies past the end of the sound.
std::vector<TSplitPiece> PlanAtMarks(int64_t held, int rate, const TMarkSheet& marks);

// How the user chose to split: into equal parts, every so long, at given times, at the
// pauses the silence detection found, or at the marks of a sheet.
enum class TSplitMode { Parts, Every, At, Silence, Marks };
struct TSplitChoice {
  TSplitMode Mode = TSplitMode::Parts;
  int Parts = 0;
  int32_t EveryMs = 0;
  std::vector<int32_t> AtMs;
  int32_t MinPieceMs = 10000;  // at the pauses: a shorter piece joins its neighbour
  bool Trim = false;           // at the pauses: leave them out of the pieces
  TMarkSheet Marks;
};
// The most pieces a split writes; a plan of more is refused.
inline constexpr size_t kMostPieces = 9999;

// The pieces of `choice` for a sound of `held` frames at `rate` (`silences`: the pauses found,
// for Silence). Every piece is at least a frame long. ECutError when the plan cannot be made
// or gives more than kMostPieces pieces.
std::vector<TSplitPiece> PlanSplit(const TSplitChoice& choice,
                                   const std::vector<TSilence>& silences, int64_t held, int rate);

// The range a source reads for `piece` of a file holding `held` frames. A piece that ends at
// the end of the sound reads to the end of the data, as RangeToRead does for a cut to the end.
TFrameRange PieceRange(const TSplitPiece& piece, int64_t held);
