// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The plan of a segment cut: which stretches of a file are kept when a list of segments is
// removed. The segment cut window and trimora-cli remove both follow it, so they write the
// same file from the same list.

// One row of the segment list: start and end as time texts ("00:00:05.0").
struct TSegmentRow {
  std::string Start;
  std::string End;
};

// A kept stretch: from StartMs to EndMs (inclusive, as a selection), or to the last frame of
// the file when ToEnd.
struct TKeptPiece {
  int32_t StartMs = 0;
  int32_t EndMs = 0;
  bool ToEnd = false;
};

struct TSegmentPlan {
  // Time texts, two per stretch before empty ones are dropped; a last row reaching the end
  // leaves its widened end as an odd last entry, which starts no stretch.
  std::vector<std::string> CutPoints;
  // The stretches left after dropping those that do not end after they start.
  std::vector<TKeptPiece> Pieces;
};

// Each removed segment is widened by this much on either side, so that a click or breath
// at a segment's edge does not survive the cut.
inline constexpr int32_t kSegmentMarginMs = 100;

// The time text `text` moved by the margin, later or earlier.
std::string ShiftedTimeText(std::string_view text, bool later, int32_t marginMs = kSegmentMarginMs);

// Whether no row starts before the end of an earlier row (touching rows pass).
bool RowsInSequence(const std::vector<TSegmentRow>& rows);

// The number of stretches between, before and after the rows, counted as the window counts
// them: one per row, one more when the last row ends in an earlier second than the file
// (`fileTimeText`), one less when the first row starts at 0. 0 for no rows.
int CountPieces(const std::vector<TSegmentRow>& rows, std::string_view fileTimeText);

// The plan for rows in sequence (RowsInSequence) in a file of `fileLengthMs` milliseconds.
// A last row that ends within the file's last whole second counts as reaching the end.
// `marginMs` 0 removes exactly the stretches given. Pieces that end where or before they
// start (rows less than two margins apart), or start past the file's end, are dropped; a
// plan without pieces keeps nothing and must be refused.
TSegmentPlan PlanSegmentCut(const std::vector<TSegmentRow>& rows, int32_t fileLengthMs,
                            int32_t marginMs = kSegmentMarginMs);
