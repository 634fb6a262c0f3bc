// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cutting/kinds/kind.h"
#include "cutting/operations/split_plan.h"

class TOutputRun;

// The names of a split's `count` pieces of `source` (of `kind`). In `pattern`, "{name}"
// stands for the source's base name and "{n}" for the piece's number, zero-padded to the
// width of the count and at least two digits; the kind's extension is added unless the
// pattern ends in it. An empty pattern is "{name} - {n}" beside the source. ECutError when
// the pattern ends in another kind's extension, or gives more than one piece a single name.
std::vector<std::filesystem::path> SplitPieceNames(const std::filesystem::path& source,
                                                   const TKind& kind, const std::string& pattern,
                                                   size_t count);

// Writes the pieces of one file one after another, each as a cut of its own: the source's
// format, its tags with the track numbered k/N, through the safe save and the read-back check
// of a TOutputRun. A front end opens each target, makes its sink here and serves the run's
// events; a failure part-way leaves the pieces already finished, which Written() lists.
class TSplitRun {
 public:
  // `source` (of `kind`) stays owned by the caller; `keepFrames` writes by frame copy where
  // the kind can (TKind::KeepsFramesByCopy).
  TSplitRun(const TKind& kind, TAuFileIn& source, std::vector<TSplitPiece> pieces,
            std::vector<std::filesystem::path> targets, bool keepFrames);
  ~TSplitRun();

  size_t Count() const { return FPieces.size(); }
  const std::filesystem::path& Target(size_t index) const { return FTargets.at(index); }
  // The targets that exist already, in order.
  std::vector<std::filesystem::path> TakenTargets() const;

  // A fresh sink for piece `index` reading the source; the caller gives it the path the
  // target's run writes to.
  TAuFileOut& MakeSink(size_t index);
  // Sets the source's range to piece `index` and starts its sink through `run`.
  void Start(TOutputRun& run, size_t index);
  // Piece `index` has been written and moved into place.
  void Finished(size_t index);

  const std::vector<std::filesystem::path>& Written() const { return FWritten; }
  // The pieces written, quoted and separated by commas ("'a - 01.mp3', 'a - 02.mp3'").
  std::string WrittenText() const;
  // What to tell when piece `index` failed with `error`: which piece, and what was written.
  std::string Failure(size_t index, const std::string& error) const;

 private:
  const TKind& FKind;
  TAuFileIn& FSource;
  std::vector<TSplitPiece> FPieces;
  std::vector<std::filesystem::path> FTargets;
  bool FKeepFrames;
  int64_t FHeld;
  std::unique_ptr<TAuFileOut> FSink;
  std::vector<std::filesystem::path> FWritten;
};
