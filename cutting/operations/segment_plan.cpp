// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/operations/segment_plan.h"

#include "cutting/time/time_text.h"

namespace {

// The hours, minutes and seconds of a time text: a row ending in the same whole second as
// the file reaches its end.
std::string_view WholeSeconds(std::string_view text) {
  return text.substr(0, 8);
}

}  // namespace

std::string ShiftedTimeText(std::string_view text, bool later, int32_t marginMs) {
  const int32_t ms = TimeTextToMs(text);
  return MsToShownTimeText(later ? ms + marginMs : ms - marginMs);
}

bool RowsInSequence(const std::vector<TSegmentRow>& rows) {
  for (size_t i = 0; i < rows.size(); ++i)
    for (size_t j = i + 1; j < rows.size(); ++j)
      if (TimeTextToMs(rows[j].Start) < TimeTextToMs(rows[i].End)) return false;
  return true;
}

int CountPieces(const std::vector<TSegmentRow>& rows, std::string_view fileTimeText) {
  if (rows.empty()) return 0;
  int count = static_cast<int>(rows.size());
  if (WholeSeconds(rows.back().End) != WholeSeconds(fileTimeText)) ++count;
  if (TimeTextToMs(rows.front().Start) == 0) --count;
  return count;
}

TSegmentPlan PlanSegmentCut(const std::vector<TSegmentRow>& rows, int32_t fileLengthMs,
                            int32_t marginMs) {
  TSegmentPlan plan;
  if (rows.empty()) return plan;
  const std::string fileTime = MsToTimeText(fileLengthMs);
  auto& points = plan.CutPoints;
  if (TimeTextToMs(rows.front().Start) != 0) {
    points.push_back(MsToTimeText(0));
    points.push_back(ShiftedTimeText(rows.front().Start, false, marginMs));
  }
  points.push_back(ShiftedTimeText(rows.front().End, true, marginMs));
  for (size_t i = 1; i < rows.size(); ++i) {
    points.push_back(ShiftedTimeText(rows[i].Start, false, marginMs));
    points.push_back(ShiftedTimeText(rows[i].End, true, marginMs));
  }
  const bool keepsTail = WholeSeconds(rows.back().End) != WholeSeconds(fileTime);
  if (keepsTail) points.push_back(fileTime);

  for (size_t i = 0; i + 1 < points.size(); i += 2) {
    TKeptPiece piece{TimeTextToMs(points[i]), TimeTextToMs(points[i + 1]), false};
    piece.ToEnd = keepsTail && i + 2 == points.size();
    // A tail piece runs to the last frame the file holds, which the shown length (cut to a
    // tenth) can fall short of; it is empty only when it starts at or past that length.
    const bool empty = piece.ToEnd ? piece.StartMs >= fileLengthMs : piece.EndMs <= piece.StartMs;
    if (!empty && piece.StartMs < fileLengthMs) plan.Pieces.push_back(piece);
  }
  return plan;
}
