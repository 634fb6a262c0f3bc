// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/time/cut_range.h"

#include <algorithm>
#include <climits>

#include "cutting/time/sample_frames.h"
#include "cutting/time/time_text.h"

ERangePastEnd::ERangePastEnd(int32_t heldMs)
    : ECutError("the stretch starts past the end of the sound (" + MsToTimeText(heldMs) + ")"),
      FHeldMs(heldMs) {}

ENoSound::ENoSound() : ECutError("the file holds no sound to cut") {}

TFrameRange RangeToRead(const TKind& kind, TAuFileIn& source, int32_t startMs, int32_t endMs,
                        bool toEnd) {
  const int64_t held = kind.FramesHeld(source);
  const int rate = source.SampleRate();
  if (held <= 0 || rate <= 0) throw ENoSound();
  TFrameRange range = SelectionToFrames(startMs, endMs, toEnd, rate);
  // Past an estimated length there may still be sound; a read tells.
  if (kind.LengthIsEstimate(source)) return range;
  if (range.StartSample >= held) throw ERangePastEnd(FramesToMs(held, rate));
  if (range.EndSample >= held) range.EndSample = -1;
  return range;
}

int64_t RangeFrames(const TFrameRange& range, int64_t held) {
  const int64_t last = range.EndSample < 0 ? held - 1 : std::min(range.EndSample, held - 1);
  return std::max<int64_t>(last - range.StartSample + 1, 0);
}

void ApplyRange(TAuFileIn& source, const TFrameRange& range) {
  source.StartSample = range.StartSample;
  source.EndSample = range.EndSample;
}

int64_t FramesToRead(const TKind& kind, TAuFileIn& source) {
  return RangeFrames({source.StartSample, source.EndSample}, kind.FramesHeld(source));
}

int32_t FramesToMs(int64_t frames, int rate) {
  return static_cast<int32_t>(std::clamp<int64_t>(SampleFramesToMs(frames, rate), 0, INT32_MAX));
}
