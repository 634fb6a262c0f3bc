// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

// The shape of a sound at a fixed resolution, for drawing it: for every hundredth of a
// second and every channel the lowest and the highest sample, scaled to 16 bits whatever the
// source delivered. Plain data with no library behind it, so that the track bar can draw it
// without linking the decoders.
struct TPeak {
  int16_t Min = 0;
  int16_t Max = 0;
};

struct TPeakOverview {
  // Column k covers the frames from k * SampleRate / 100 up to (k + 1) * SampleRate / 100,
  // so a column is a hundredth of a second at any rate, without drift.
  static constexpr int kPeaksPerSecond = 100;

  // 1 or 2. A source of more than two channels is folded into one envelope.
  int Channels = 0;
  int SampleRate = 0;
  // Frames the columns cover: what the source delivered, not what its header announced.
  int64_t Frames = 0;
  // Columns() * Channels peaks, the channels of one column next to each other.
  std::vector<TPeak> Peaks;
  // Every frame of the source is in; until then the overview grows at its end.
  bool Complete = false;

  int64_t Columns() const {
    return Channels > 0 ? static_cast<int64_t>(Peaks.size()) / Channels : 0;
  }
  double Seconds() const { return SampleRate > 0 ? double(Frames) / SampleRate : 0.0; }
  TPeak At(int64_t column, int channel) const { return Peaks[column * Channels + channel]; }
  // Lowest and highest sample in columns [first, last) of one channel, or of every channel
  // when `channel` is -1; {0, 0} when no such column has arrived.
  TPeak Envelope(int64_t first, int64_t last, int channel = -1) const {
    first = std::max<int64_t>(first, 0);
    last = std::min(last, Columns());
    if (first >= last) return {};
    TPeak e{INT16_MAX, INT16_MIN};
    const int from = channel < 0 ? 0 : channel;
    const int to = channel < 0 ? Channels : channel + 1;
    for (int64_t column = first; column < last; ++column) {
      for (int c = from; c < to; ++c) {
        const TPeak p = At(column, c);
        e.Min = std::min(e.Min, p.Min);
        e.Max = std::max(e.Max, p.Max);
      }
    }
    return e;
  }
};
