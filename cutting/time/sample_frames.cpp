// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/time/sample_frames.h"

int64_t MsToSampleFrame(int64_t ms, int64_t rate) {
  // Exact integer arithmetic: a floating-point product would round differently on long files.
  const int64_t product = ms * rate;
  int64_t frame = product / 1000;
  const int64_t rest = product % 1000;
  if (rest > 500 || (rest == 500 && frame % 2 != 0))
    ++frame;
  else if (rest < -500 || (rest == -500 && frame % 2 != 0))
    --frame;
  return frame;
}

int64_t SampleFramesToMs(int64_t frames, int64_t rate) {
  return rate > 0 ? frames * 1000 / rate : 0;
}
