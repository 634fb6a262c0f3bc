// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "cutting/operations/fades.h"
#include "cutting/time/selection_frames.h"
#include "pipeline/au_input.h"
#include "pipeline/file_input.h"

// A source that hands out stretches of one file source one after another, as one sound: each
// stretch is a read of the source over its own range, so it starts and ends on exactly the
// frames asked for, and nothing of what lies between is decoded into the result. The segment
// cut feeds a sink from it in one pass, without work files.
class TRangesInput : public TAuInput {
 public:
  TRangesInput() = default;
  ~TRangesInput() override;

  // The source to read (not owned) and its stretches, in order (EndSample -1: to the end of
  // the data). `heldFrames`, the frames the file holds, sizes a stretch to the end for the
  // progress shown. Both refuse with "The component is busy." during a read.
  void SetSource(TAuFileIn* source);
  void SetRanges(std::vector<TFrameRange> ranges, int64_t heldFrames);
  // Fades at the edges of each stretch, in the order of the ranges (missing ones: none).
  // Without fades the source's samples are handed out untouched.
  void SetFades(std::vector<TStretchFades> fades);
  TAuFileIn* Source() const { return FSource; }
  // The frames handed out since the read started. Position stops at Size, which for a
  // compressed source is an estimate; this count does not.
  int64_t FramesRead() const;

 protected:
  // The source's format; "Input not assigned" without one.
  int QueryBitsPerSample() override;
  int QueryChannels() override;
  int QuerySampleRate() override;
  bool QueryFloatSamples() override;
  // The frames of all stretches together.
  int64_t QueryTotalSamples() override;

  void DoStartRead() override;
  void DoEndRead() override;
  void ReadBlock(uint8_t*& buffer, uint32_t& bytes) override;
  void Notification(TComponent* destroyed) override;

 private:
  TAuFileIn& RequireSource();
  void RefuseWhileBusy() const;
  // Starts the read of stretch `index` on the source.
  void OpenRange(size_t index);
  void CloseRange();
  // The block of `bytes` at `buffer` just read from the current stretch, faded where a fade
  // lies in it: a copy in FFaded then.
  void Fade(uint8_t*& buffer, uint32_t bytes);

  TAuFileIn* FSource = nullptr;
  std::vector<TFrameRange> FRanges;
  int64_t FHeldFrames = 0;
  std::atomic<int64_t> FFrameBytes{0};
  std::atomic<int64_t> FBytesRead{0};
  std::vector<TStretchFades> FFades;
  std::vector<uint8_t> FFaded;
  int64_t FStretchBytes = 0;     // bytes read of the stretch being read
  int FChannels = 0, FBits = 0;  // the source's format, taken when the read starts
  bool FFloats = false;
  size_t FIndex = 0;        // the stretch being read
  bool FRangeOpen = false;  // the source's read of it was started and is owed an EndRead
};
