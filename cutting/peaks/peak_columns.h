// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "cutting/peaks/peak_overview.h"

// Turns interleaved integer PCM, as the sources deliver it (8-bit unsigned, 16-, 24- or
// 32-bit signed, little-endian), into the columns of a TPeakOverview. Blocks may end in the
// middle of a frame or of a column; both carry over to the next block.
class TPeakColumns {
 public:
  // False from Valid() when the format cannot be read (no channels, no rate, odd sizes).
  // Columns come `columnsPerSecond` to a second: the overview's hundred, or finer for a close
  // view of a stretch.
  TPeakColumns(int channels, int bitsPerSample, int sampleRate,
               int columnsPerSecond = TPeakOverview::kPeaksPerSecond);

  bool Valid() const { return FValid; }
  // Channels of the overview: the source's, or 1 when it has more than two.
  int OutputChannels() const { return FOutChannels; }
  int64_t Frames() const { return FFrames; }

  // Appends the columns this block finishes to `out`.
  void Add(const uint8_t* data, size_t bytes, std::vector<TPeak>& out);
  // Appends the last, unfinished column, if any frame lies in it.
  void Finish(std::vector<TPeak>& out);

 private:
  template <int Bytes>
  void Scan(const uint8_t* data, int64_t frames);
  void AddFrames(const uint8_t* data, int64_t frames, std::vector<TPeak>& out);
  void EmitColumn(std::vector<TPeak>& out);
  int64_t Boundary(int64_t column) const;

  bool FValid = false;
  int FChannels = 0;
  int FOutChannels = 0;
  int FSampleBytes = 0;
  int FFrameBytes = 0;
  int FRate = 0;
  int FColumnsPerSecond = TPeakOverview::kPeaksPerSecond;
  int64_t FFrames = 0;     // frames taken in so far
  int64_t FColumn = 0;     // the column being filled
  int64_t FColumnEnd = 0;  // first frame of the next column
  bool FColumnEmpty = true;
  std::array<int32_t, 2> FMin{};
  std::array<int32_t, 2> FMax{};
  std::vector<uint8_t> FPartial;  // bytes of a frame cut by the end of a block
};
