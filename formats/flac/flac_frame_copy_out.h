// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "tags/copying_file_out.h"

// The lossless FLAC cut as a sink: its input is the FLAC source with the range set
// (StartSample, EndSample) as for any cut, but instead of reading its samples the sink copies
// the source file's frames that lie wholly in the range, byte for byte under a new header,
// and re-encodes only the first and last frame's samples that the range keeps (losslessly,
// checked by decoding them again). Every frame is numbered by its first sample, so that a
// short first frame is a valid stream. STREAMINFO gets the cut's length, block and frame
// sizes and the MD5 of its audio; the source's comments and pictures go in afterwards from
// XiphTags, as the other tagged sinks write theirs.
//
// Progress counts the source's bytes passed; a stopped or failed run removes the file it
// created. A source that is no FLAC stream, or that is damaged before the range's end, fails
// the run with the reason.
//
// Given pieces (and a following file of the same format), it writes them one after another
// in the same way: the frames wholly inside a piece are copied, and only the samples of the
// frames cut at each join are coded afresh, so every join is exact.
class TFlacFrameCopyOut : public TPiecesCopyOut {
 public:
  TFlacFrameCopyOut();
  ~TFlacFrameCopyOut() override;

  std::vector<TJoin> PlannedJoins() override;

 protected:
  void PrepareOutput() override;
  bool WriteBlock(bool Abort) override;
  void FinishOutput() override;

 private:
  struct TRunState;

  // The run's source files opened and its stretches listed, none started.
  std::unique_ptr<TRunState> OpenRun();
  static void SelectRange(TRunState& run, size_t range);
  bool CopyStep(TRunState& run);
  bool CopyFrame(TRunState& run, std::vector<uint8_t>& out);
  void HandOverFrames(TRunState& run);
  void FlushPending(TRunState& run, std::vector<uint8_t>& out);
  void CompleteFile(TRunState& run);
  void DiscardFile(TRunState& run);

  std::unique_ptr<TRunState> FRun;  // exists from PrepareOutput to FinishOutput
};
