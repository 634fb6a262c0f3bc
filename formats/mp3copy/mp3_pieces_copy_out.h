// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "tags/copying_file_out.h"

// The bridged copy as a sink (see TMp3PiecesPlan): the pieces of its input's MP3 file, and a
// following file's sound after them, written with the frames away from each join copied
// byte for byte and a bridge of fresh frames at each join, under a tag frame whose delay and
// padding make a gapless decoder start and end exactly where the first and last piece do.
// As the frame copy of a cut, it then appends the ID3v1 record and writes the ID3v2 tag.
// A stopped or failed run removes the file it created.
class TMP3PiecesCopyOut : public TPiecesCopyOut {
 public:
  TMP3PiecesCopyOut();
  ~TMP3PiecesCopyOut() override;

  std::vector<TJoin> PlannedJoins() override;

 protected:
  void PrepareOutput() override;
  bool WriteBlock(bool Abort) override;
  void FinishOutput() override;

 private:
  struct TRunState;

  // The source files opened and the output planned.
  std::unique_ptr<TRunState> Plan();
  bool Step(TRunState& run);
  void CopyFrames(TRunState& run);
  void WriteBridge(TRunState& run);
  void CompleteFile(TRunState& run);

  std::unique_ptr<TRunState> FRun;
};
