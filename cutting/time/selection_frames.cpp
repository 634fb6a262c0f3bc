// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/time/selection_frames.h"

#include <algorithm>

#include "cutting/time/sample_frames.h"

TFrameRange SelectionToFrames(int32_t startMs, int32_t endMs, bool toEnd, int sampleRate) {
  TFrameRange range;
  range.StartSample = MsToSampleFrame(std::max(startMs, 0), sampleRate);
  if (!toEnd)
    range.EndSample = std::max(MsToSampleFrame(endMs, sampleRate), range.StartSample);
  return range;
}
