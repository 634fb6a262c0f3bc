// SPDX-License-Identifier: GPL-3.0-or-later
// The pieces of a split at marks: a cue sheet's tracks, a label file's regions and points,
// a file's chapters.
#include <algorithm>

#include "cutting/cut_error.h"
#include "cutting/operations/split_plan.h"
#include "cutting/time/sample_frames.h"
#include "cutting/time/time_text.h"

namespace {

struct TPlaced {
  const TMark* Mark;
  int64_t Start;
  int64_t End;  // of a region; -1 otherwise
};

std::string Shown(int64_t frame, int rate) {
  return MsToPreciseTimeText(SampleFramesToMs(frame, rate));
}

std::vector<TPlaced> Placed(int64_t held, int rate, const TMarkSheet& marks) {
  std::vector<TPlaced> placed;
  for (const TMark& mark : marks.Marks) {
    const int64_t start = mark.Start.Frames(rate);
    const int64_t end = mark.End ? mark.End->Frames(rate) : -1;
    if (start >= held || end > held)
      throw ECutError("line " + std::to_string(mark.Line) + ": the mark at " +
                      Shown(end > held ? end : start, rate) + " lies past the end of the sound (" +
                      Shown(held, rate) + ")");
    placed.push_back({&mark, start, end});
  }
  std::stable_sort(placed.begin(), placed.end(),
                   [](const TPlaced& a, const TPlaced& b) { return a.Start < b.Start; });
  return placed;
}

}  // namespace

std::vector<TSplitPiece> PlanAtMarks(int64_t held, int rate, const TMarkSheet& marks) {
  const std::vector<TPlaced> placed = Placed(held, rate, marks);
  const bool allPoints =
      std::all_of(placed.begin(), placed.end(), [](const TPlaced& p) { return p.Mark->Point; });
  std::vector<TSplitPiece> pieces;
  if (allPoints && !placed.empty() && placed.front().Start > 0)
    pieces.push_back({0, placed.front().Start, {}});
  for (size_t k = 0; k < placed.size(); ++k) {
    const TPlaced& mark = placed[k];
    // A point repeated bounds nothing more.
    if (k > 0 && mark.Mark->Point && placed[k - 1].Mark->Point && placed[k - 1].Start == mark.Start)
      continue;
    int64_t end = held;
    if (mark.End >= 0) {
      end = mark.End;
      for (size_t j = k + 1; j < placed.size() && placed[j].Start < end; ++j)
        if (placed[j].Mark->Point && placed[j].Start > mark.Start) end = placed[j].Start;
    } else {
      for (size_t j = k + 1; j < placed.size(); ++j)
        if (placed[j].Start > mark.Start) {
          end = placed[j].Start;
          break;
        }
      // A point inside a region ends where the region does.
      for (size_t j = 0; j < k; ++j)
        if (placed[j].End > mark.Start) end = std::min(end, placed[j].End);
    }
    if (end > mark.Start) pieces.push_back({mark.Start, end, PieceTexts(marks, *mark.Mark)});
  }
  if (pieces.empty()) throw ECutError("the marks leave no piece to write");
  return pieces;
}
