// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cutting/kinds/kind.h"
#include "cutting/operations/split_plan.h"

class TAuFileStream;
class TOutputRun;

// The names of a split's `count` pieces of `source` (of `kind`). In `pattern`, "{name}"
// stands for the source's base name and "{n}" for the piece's number, zero-padded to the
// width of the count and at least two digits; the kind's extension is added unless the
// pattern ends in it. An empty pattern is "{name} - {n}" beside the source. ECutError when
// the pattern ends in another kind's extension, or gives more than one piece a single name.
std::vector<std::filesystem::path> SplitPieceNames(const std::filesystem::path& source,
                                                   const TKind& kind, const std::string& pattern,
                                                   size_t count);
// The same for `pieces` made at marks: "{title}", "{artist}" and "{album}" stand for their
// texts, with "/", control characters and a leading dot replaced by "_", and a name longer
// than the file system takes is cut. Where every piece has a title the empty pattern is
// "{n} - {title}". ECutError when two pieces would get one name.
std::vector<std::filesystem::path> SplitPieceNames(const std::filesystem::path& source,
                                                   const TKind& kind, const std::string& pattern,
                                                   const std::vector<TSplitPiece>& pieces);

// What a front end gives a split's run: how a target is opened, and where its events go. All
// are called on the main thread.
struct TSplitEvents {
  // Opens `run`'s safe save of `target` in the front end's way (refusals raise); the path the
  // piece's sink writes to.
  std::function<std::filesystem::path(TOutputRun& run, const std::filesystem::path& target,
                                      bool replace)>
      OpenTarget;
  // Runs `step` once the engine's call under way has returned (a piece's sink ends inside
  // its own handler, and the next piece's sink replaces it).
  std::function<void(std::function<void()> step)> Defer;
  std::function<void(size_t piece, int percent)> Progress;  // the piece being written
  std::function<void(size_t piece)> Written;                // moved into place
  // The split has ended: `error` (naming the piece and what was written) empty when every
  // piece was written.
  std::function<void(const std::string& error)> Done;
};

// Writes the pieces of one file one after another, each as a cut of its own: the source's
// format, its tags with the track numbered k/N, through the safe save and the read-back check
// of a TOutputRun of its own. Run() starts the first piece; each piece's end starts the next,
// so a front end only starts, stops and shows the events. A failure part-way leaves the pieces
// already finished, which Written() lists. Every piece reads the one file opened when the run
// starts, so that an input renamed, replaced or deleted meanwhile still gives all of them.
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

  // Starts writing the pieces, replacing targets that exist when `replace`.
  void Run(TSplitEvents events, bool replace);
  // Stops the piece being written (nothing of it is left); the pieces written stay.
  void Stop();
  bool Running() const { return FRunning; }
  // The run of the piece last started: its frames and rate once it was written.
  const TOutputRun& PieceRun() const { return *FRun; }

  const std::vector<std::filesystem::path>& Written() const { return FWritten; }
  // The pieces written, quoted and separated by commas ("'a - 01.mp3', 'a - 02.mp3'").
  std::string WrittenText() const;

 private:
  // What to tell when piece `index` failed with `error`: which piece, and what was written.
  std::string Failure(size_t index, const std::string& error) const;
  // Why one of the targets cannot be written, or empty.
  std::string TargetRefusal() const;
  void StartPiece(size_t index);
  void PieceDone(size_t index);
  void End(const std::string& error);
  void Later(std::function<void()> step);
  // The source reads the file held open from the run's start to its end.
  void HoldInput();
  void ReleaseInput();

  const TKind& FKind;
  TAuFileIn& FSource;
  std::vector<TSplitPiece> FPieces;
  std::vector<std::filesystem::path> FTargets;
  bool FKeepFrames;
  int64_t FHeld;
  std::unique_ptr<TAuFileStream> FInput;  // before the sink, which reads it
  std::unique_ptr<TAuFileOut> FSink;
  std::unique_ptr<TOutputRun> FRun;  // after the sink, so that it stops the sink first
  std::vector<std::filesystem::path> FWritten;
  TSplitEvents FEvents;
  bool FReplace = false;
  bool FRunning = false;
  size_t FPiece = 0;
  std::shared_ptr<int> FAlive = std::make_shared<int>(0);  // for the steps deferred
};
