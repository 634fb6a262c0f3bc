// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "cutting/cut_error.h"
#include "cutting/kinds/kind_registry.h"
#include "cutting/time/selection_frames.h"

// The one rule that turns a selection shown as times into the frames a source reads, for the
// windows and the command line alike.

// A file that holds no sound to cut.
class ENoSound : public ECutError {
 public:
  ENoSound();
};

// A selection that starts at or past the end of the sound the file holds: nothing to read.
class ERangePastEnd : public ECutError {
 public:
  explicit ERangePastEnd(int32_t heldMs);
  int32_t HeldMs() const { return FHeldMs; }  // the length of the sound the file holds

 private:
  int32_t FHeldMs;
};

// The StartSample and EndSample of `source` (of `kind`) for a selection from `startMs` to
// `endMs`, or to the end of the sound when `toEnd`. Each end is the frame at its time
// (SelectionToFrames). An end at or past the frames the file holds (FramesHeld: without an MP3
// source's padding) reads to the end of the data, as EndSample -1. ENoSound when the file
// holds no sound, ERangePastEnd when the start lies at or past its end. Where the kind's
// length is an estimate, the range is left as asked: the read ends where the sound does.
TFrameRange RangeToRead(const TKind& kind, TAuFileIn& source, int32_t startMs, int32_t endMs,
                        bool toEnd);

// The frames a range of RangeToRead covers in a file holding `held` frames.
int64_t RangeFrames(const TFrameRange& range, int64_t held);

// Sets the range on the source for its next read.
void ApplyRange(TAuFileIn& source, const TFrameRange& range);
// The frames the range set on `source` (of `kind`) asks its next read for.
int64_t FramesToRead(const TKind& kind, TAuFileIn& source);

// The length in milliseconds of `frames` frames at `rate`, held to what a window's times hold.
int32_t FramesToMs(int64_t frames, int rate);
