// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace trimora::media {

// How a decoder's raw output (every sample it puts out, counted from the first packet)
// maps onto the samples a straight decode of the file delivers: the first `Leading` raw
// samples are dropped (encoder delay, decoder start-up), and so is the raw stretch
// [DiscardBegin, DiscardEnd) (an MP3 encoder's padding at the end of the frames its tag
// counts). Both are what FFmpeg's own decoding of the file drops.
struct TMediaTimeline {
  int64_t Leading = 0;
  int64_t DiscardBegin = 0;
  int64_t DiscardEnd = 0;  // not after DiscardBegin: nothing discarded

  bool Discarded(int64_t raw) const {
    return raw < Leading || (raw >= DiscardBegin && raw < DiscardEnd);
  }
  // The straight-decode index of a raw position that is not discarded.
  int64_t ToIndex(int64_t raw) const;
  int64_t ToRaw(int64_t index) const;
  // Samples a straight decode delivers from `rawCount` raw samples.
  int64_t Kept(int64_t rawCount) const;
};

// How many samples `samples` at rate `from` make at rate `to`, to the nearest: what a
// stretch of sound at another rate counts once converted. Every caller counts a converted
// stretch by this one rule, so lengths told before a decode are those the decode gives.
int64_t ConvertedSamples(int64_t samples, int from, int to);

}  // namespace trimora::media
