// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// Times in milliseconds and positions in sample frames.

// The frame at `ms`: ms × rate / 1000 rounded to the nearest frame, halves to even.
int64_t MsToSampleFrame(int64_t ms, int64_t rate);
// The time at which frame `frames` starts, in whole milliseconds (rounded down).
int64_t SampleFramesToMs(int64_t frames, int64_t rate);
