// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "tags/copying_file_out.h"

// The lossless Ogg Opus and Vorbis cut as a sink: its input is the file's source with the
// range set (StartSample, EndSample, counted as FFmpeg decodes the file), and the sink copies
// the source's packets byte for byte into a new stream whose granules, and for Opus the
// pre-skip, say the range (see TOggCopyPlan). Opus starts 200 ms early so the decoder has
// settled by the range; Vorbis one packet early for the first half of the window. The
// headers are the source's, but for the comment header: the source's vendor string with the
// fields and pictures of XiphTags.
//
// Progress counts the bytes copied; a stopped or failed run removes the file it created.
class TOggPacketCopyOut : public TCopyingFileOut {
 public:
  TOggPacketCopyOut();
  ~TOggPacketCopyOut() override;

  // Vorbis says where its range starts only through its first granule, which FFmpeg 5.1 and
  // GStreamer 1.22 pass over: they play these samples from before the range first.
  int64_t LeadInSamples() const { return FLeadIn.load(); }

 protected:
  void PrepareOutput() override;
  bool WriteBlock(bool Abort) override;
  void FinishOutput() override;

 private:
  struct TRunState;

  void WriteHeaders(TRunState& run);
  bool CopyStep(TRunState& run);
  void CompleteFile(TRunState& run);
  void DiscardFile(TRunState& run);

  std::unique_ptr<TRunState> FRun;  // exists from PrepareOutput to FinishOutput
  std::atomic<int64_t> FLeadIn{0};
};
