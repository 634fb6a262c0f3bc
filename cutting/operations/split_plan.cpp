// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/operations/split_plan.h"

#include <algorithm>

#include "cutting/cut_error.h"
#include "cutting/time/cut_range.h"
#include "cutting/time/sample_frames.h"
#include "cutting/time/time_text.h"

namespace {

std::vector<TSplitPiece> PiecesBetween(int64_t held, const std::vector<int64_t>& boundaries) {
  std::vector<TSplitPiece> pieces;
  int64_t start = 0;
  for (const int64_t boundary : boundaries) {
    pieces.push_back({start, boundary});
    start = boundary;
  }
  pieces.push_back({start, held});
  return pieces;
}

// The piece between two boundary silences (or the file's ends), with or without them.
TSplitPiece PieceBetween(const TSilence* before, const TSilence* after, int64_t held, bool trim) {
  const auto middle = [](const TSilence& s) { return s.Start + (s.End - s.Start) / 2; };
  TSplitPiece piece{0, held};
  if (before != nullptr) piece.Start = trim ? before->End : middle(*before);
  if (after != nullptr) piece.End = trim ? after->Start : middle(*after);
  return piece;
}

}  // namespace

std::vector<TSplitPiece> PlanEqualParts(int64_t held, int parts) {
  if (parts < 1 || held < parts)
    throw ECutError("the sound has too few frames for " + std::to_string(parts) + " parts");
  std::vector<TSplitPiece> pieces;
  const int64_t size = held / parts;
  const int64_t rest = held % parts;
  int64_t start = 0;
  for (int64_t k = 0; k < parts; ++k) {
    const int64_t end = start + size + (k < rest ? 1 : 0);
    pieces.push_back({start, end});
    start = end;
  }
  return pieces;
}

std::vector<TSplitPiece> PlanEvery(int64_t held, int64_t every) {
  if (every < 1) throw ECutError("the length of a piece must be more than nothing");
  std::vector<int64_t> boundaries;
  for (int64_t at = every; at < held; at += every) boundaries.push_back(at);
  return PiecesBetween(held, boundaries);
}

std::vector<TSplitPiece> PlanAtTimes(int64_t held, int rate, std::vector<int32_t> timesMs) {
  std::sort(timesMs.begin(), timesMs.end());
  timesMs.erase(std::unique(timesMs.begin(), timesMs.end()), timesMs.end());
  std::vector<int64_t> boundaries;
  for (const int32_t ms : timesMs) {
    const int64_t frame = MsToSampleFrame(ms, rate);
    // A boundary on the first or past the last frame would leave a piece of nothing.
    if (frame <= 0 || frame >= held)
      throw ECutError("the split time " + MsToShownTimeText(ms) +
                      " does not lie inside the sound (00:00:00.0 to " +
                      MsToShownTimeText(FramesToMs(held, rate)) + ")");
    boundaries.push_back(frame);
  }
  return PiecesBetween(held, boundaries);
}

std::vector<TSplitPiece> PlanAtSilences(int64_t held, const std::vector<TSilence>& silences,
                                        int64_t minPiece, bool trim) {
  std::vector<TSilence> bounds;  // the silences a boundary lies in
  for (const TSilence& s : silences)
    if (s.Start > 0 && s.End < held && s.End > s.Start) bounds.push_back(s);
  const auto pieceAt = [&](size_t k) {
    return PieceBetween(k > 0 ? &bounds[k - 1] : nullptr, k < bounds.size() ? &bounds[k] : nullptr,
                        held, trim);
  };
  // The shortest piece joins its shorter neighbour until none is too short (or one is left).
  while (!bounds.empty()) {
    std::vector<int64_t> lengths;
    for (size_t k = 0; k <= bounds.size(); ++k) lengths.push_back(pieceAt(k).Frames());
    const size_t shortest =
        static_cast<size_t>(std::min_element(lengths.begin(), lengths.end()) - lengths.begin());
    if (lengths[shortest] >= minPiece) break;
    const bool joinBefore = shortest == bounds.size() ||
                            (shortest > 0 && lengths[shortest - 1] <= lengths[shortest + 1]);
    bounds.erase(bounds.begin() +
                 static_cast<std::ptrdiff_t>(joinBefore ? shortest - 1 : shortest));
  }
  std::vector<TSplitPiece> pieces;
  for (size_t k = 0; k <= bounds.size(); ++k) {
    TSplitPiece piece = pieceAt(k);
    if (trim) {
      // The silences at the file's ends are trimmed too.
      for (const TSilence& s : silences) {
        if (s.Start <= piece.Start && s.End > piece.Start) piece.Start = s.End;
        if (s.Start < piece.End && s.End >= piece.End) piece.End = s.Start;
      }
    }
    if (piece.Frames() > 0) pieces.push_back(piece);
  }
  return pieces;
}

TFrameRange PieceRange(const TSplitPiece& piece, int64_t held) {
  return {piece.Start, piece.End >= held ? -1 : piece.End - 1};
}

std::vector<TSplitPiece> PlanSplit(const TSplitChoice& choice,
                                   const std::vector<TSilence>& silences, int64_t held, int rate) {
  std::vector<TSplitPiece> pieces;
  switch (choice.Mode) {
    case TSplitMode::Parts:
      pieces = PlanEqualParts(held, choice.Parts);
      break;
    case TSplitMode::Every: {
      const int64_t every = std::max<int64_t>(1, MsToSampleFrame(choice.EveryMs, rate));
      if ((held + every - 1) / every > static_cast<int64_t>(kMostPieces))
        throw ECutError("a piece every " + MsToPreciseTimeText(choice.EveryMs) +
                        " gives more than " + std::to_string(kMostPieces) + " pieces");
      pieces = PlanEvery(held, every);
      break;
    }
    case TSplitMode::At:
      pieces = PlanAtTimes(held, rate, choice.AtMs);
      break;
    case TSplitMode::Silence:
      pieces =
          PlanAtSilences(held, silences, MsToSampleFrame(choice.MinPieceMs, rate), choice.Trim);
      break;
    case TSplitMode::Marks:
      pieces = PlanAtMarks(held, rate, choice.Marks);
      break;
  }
  if (pieces.size() > kMostPieces)
    throw ECutError("the plan gives " + std::to_string(pieces.size()) + " pieces; at most " +
                    std::to_string(kMostPieces) + " can be written");
  return pieces;
}
