// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Short fades at the edges of what a cut keeps, so that a cut in the middle of a sound does
// not click. A fade is an equal-power ramp (a quarter of a sine wave): the first frame of a
// fade-in and the last frame of a fade-out are silent.

// The fades asked for, in milliseconds; 0: none.
struct TFades {
  int32_t InMs = 0;
  int32_t OutMs = 0;
  bool Any() const { return InMs > 0 || OutMs > 0; }
};

// The fades of one stretch read, in frames from its start and towards its end.
struct TStretchFades {
  int64_t In = 0;
  int64_t Out = 0;
};

// A cut's one stretch: a fade-in at its start and a fade-out at its end, at `rate`.
std::vector<TStretchFades> FadesOfCut(const TFades& fades, int rate);
// The stretches a segment cut joins: a fade-out before each join and a fade-in after it; the
// start and end of the file written stay as they are.
std::vector<TStretchFades> FadesAtJoins(const TFades& fades, int rate, size_t stretches);

// The gain of frame `index` of a ramp `length` frames long that rises from 0.
double RampGain(int64_t index, int64_t length);

// Applies `fades` to `bytes` of interleaved samples (integer PCM of `bitsPerSample`, 8-bit
// unsigned, or floats when `floats`) whose first frame is frame `first` of a stretch of
// `frames` frames. A trailing partial sample is left as it is.
void ApplyFades(uint8_t* data, size_t bytes, int channels, int bitsPerSample, bool floats,
                int64_t first, int64_t frames, const TStretchFades& fades);
