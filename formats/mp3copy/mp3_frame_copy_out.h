// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "tags/copying_file_out.h"

// The lossless MP3 cut as a sink: its input is the MP3 source with the range set
// (StartSample, EndSample) as for any cut, but instead of decoding it, the sink copies the
// source file's frames byte for byte, with a new tag frame whose delay and padding make a
// gapless decoder give exactly the range (see TMp3CopyPlan). Then, as the MP3 sink does, it
// appends the ID3v1 record and writes the ID3v2 tag from Id3v1Tags and Id3v2Tags.
//
// Progress counts the bytes copied; a stopped or failed run removes the file it created. A
// source whose frames cannot be kept (another layer, mixed layers, free format) fails the run
// with the reason.
class TMP3FrameCopyOut : public TCopyingFileOut {
 public:
  TMP3FrameCopyOut();
  ~TMP3FrameCopyOut() override;

 protected:
  void PrepareOutput() override;
  bool WriteBlock(bool Abort) override;
  void FinishOutput() override;

 private:
  struct TRunState;

  bool CopyStep(TRunState& run);
  void CompleteFile(TRunState& run);
  void DiscardFile(TRunState& run);

  std::unique_ptr<TRunState> FRun;  // exists from PrepareOutput to FinishOutput
};
