#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// The plan of a segment cut: which stretches of a file are kept when a list of segments is
// removed, and the order in which the kept pieces are joined. The segment cut window and
// trimora-cli remove both follow it, so they write the same file from the same list.

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
  // The stretches left after dropping those that do not end after they start; the
  // captions and the join chain count these.
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

// Work file names: piece k (from 1) is "cut<k><ext>", join k is "join<k><ext>".
std::string PieceFileName(int k, std::string_view ext);
std::string JoinFileName(int k, std::string_view ext);

// One join of the chain: the two inputs and the output, as work file names; the last join
// writes the output file, named by an empty Output.
struct TJoinStep {
  std::string First, Second, Output;
};
// The joins of `pieceCount` pieces: cut1 + cut2 -> join1, join1 + cut3 -> join2, ... and the
// last into the output. None for fewer than two pieces.
std::vector<TJoinStep> JoinChain(int pieceCount, std::string_view ext);

// The work files of one batch: a fresh folder of its own under `parent` (named after the
// process, so that two batches, or a batch and the leftovers of a crashed one, never share
// files), removed with everything in it when the batch ends, however it ends.
class TSegmentWorkFolder {
 public:
  // Throws std::runtime_error when the folder cannot be made.
  explicit TSegmentWorkFolder(const std::filesystem::path& parent);
  ~TSegmentWorkFolder();
  TSegmentWorkFolder(const TSegmentWorkFolder&) = delete;
  TSegmentWorkFolder& operator=(const TSegmentWorkFolder&) = delete;

  const std::filesystem::path& Path() const { return Folder; }
  std::filesystem::path operator/(const std::string& name) const { return Folder / name; }

 private:
  std::filesystem::path Folder;
};
