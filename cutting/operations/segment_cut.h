// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "cutting/kinds/kind_registry.h"
#include "cutting/operations/ranges_input.h"
#include "cutting/operations/segment_plan.h"

class TOutputRun;
class TPiecesCopyOut;

// The segment cut in one pass: the kept pieces of one file are read one after another
// through a TRangesInput into one sink, each sample-exact at its ends. The sound is encoded
// once, and nothing is written but the output, through the safe save. The Segment Cut window
// and trimora-cli remove both drive it.
class TSegmentCut {
 public:
  // The frames of each kept piece of `source` (of `kind`) by the one range rule; a piece that
  // starts past the sound the file holds is dropped. ECutError when nothing is left.
  static std::vector<TFrameRange> PieceRanges(const TKind& kind, TAuFileIn& source,
                                              const std::vector<TKeptPiece>& pieces);

  // Owns `opened` and makes the sink of its kind; with `keepFrames` the one that keeps the
  // frames away from the joins where the kind has it (TKind::MakePieceKeepingSink: ECutError
  // with the kind's reason where it cannot).
  explicit TSegmentCut(TOpenedSource opened, bool keepFrames = false);
  ~TSegmentCut();

  const TKind& Kind() const { return *FOpened.Kind; }
  TAuFileIn& Source() { return *FOpened.Source; }
  // The sink: the caller gives it the path the run writes to, and its handlers.
  TAuFileOut& Sink() { return *FSink; }

  // Wires the sink (writing to `run`'s temporary file) to the kept `pieces` of the source,
  // carries the source's tags and settings into it and starts it through `run`. `fades` fade
  // out before each join and in after it. Raises ECutError or EAuException when it cannot
  // start.
  void Start(TOutputRun& run, const std::vector<TKeptPiece>& pieces, const TFades& fades = {});

  // The frames of the pieces the run has read.
  int64_t FramesRead() const { return FInput.FramesRead(); }
  // The sink when it keeps the frames away from the joins; nothing otherwise.
  TPiecesCopyOut* PieceKeepingSink() const;
  // Where each join of `pieces` lands when the frames are kept: the output's sample and how
  // far from the asked one (see TPiecesCopyOut::PlannedJoins); all exact otherwise.
  std::vector<std::pair<int64_t, int64_t>> PlannedJoins(const std::vector<TKeptPiece>& pieces,
                                                        const TFades& fades = {});

 private:
  void SetUpPieceCopy(TPiecesCopyOut& copy, const std::vector<TFrameRange>& ranges,
                      const TFades& fades);

  TOpenedSource FOpened;
  TRangesInput FInput;
  std::unique_ptr<TAuFileOut> FSink;
};
