// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The frames a selection shown as times covers, as a source's StartSample and EndSample
// (inclusive; -1: to the end of the data).
struct TFrameRange {
  int64_t StartSample = 0;
  int64_t EndSample = -1;
};

// A selection from `startMs` to `endMs` of a source at `sampleRate`: each end is the frame at
// its time, round(ms × rate / 1000), so the cut holds the audio of exactly the times the
// window shows, whatever the file's length. `toEnd` (the end thumb at the end of the bar,
// or a file too short for the bar) takes everything after the start, up to the last frame
// the source really delivers. An end before the start is taken as the start.
TFrameRange SelectionToFrames(int32_t startMs, int32_t endMs, bool toEnd, int sampleRate);
