// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "tags/copying_file_out.h"

// The lossless M4A cut as a sink: its input is the file's source with the range set
// (StartSample, EndSample, counted as the source reads the file), and the sink writes a new
// file whose moov box, written first, describes the source's packets, copied byte for byte
// after it. AAC keeps one packet before the one holding the start, whose overlap the decoder
// needs, and says the rest in an edit list (media time: the lead-in; duration: the range) and
// an iTunSMPB item; ALAC keeps the packets inside the range and codes the partial ones at its
// ends anew, losslessly, so it needs no lead-in. The items are the sink's Mp4Tags.
//
// Progress counts the bytes copied; a stopped or failed run removes the file it created.
class TMp4PacketCopyOut : public TCopyingFileOut {
 public:
  TMp4PacketCopyOut();
  ~TMp4PacketCopyOut() override;

  // The samples of the kept packets before the range, which the edit list tells a decoder to
  // pass over (0 for ALAC).
  int64_t LeadInSamples() const { return FLeadIn.load(); }

 protected:
  void PrepareOutput() override;
  bool WriteBlock(bool Abort) override;
  void FinishOutput() override;

 private:
  struct TRunState;

  void Plan(TRunState& run, TAuFileIn& source);
  bool CopyStep(TRunState& run);
  void CompleteFile(TRunState& run);

  std::unique_ptr<TRunState> FRun;  // exists from PrepareOutput to FinishOutput
  std::atomic<int64_t> FLeadIn{0};
};
