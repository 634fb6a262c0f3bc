// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "cutting/peaks/peak_overview.h"

// An overview with a coarser level beside it, so that the envelope of a long stretch (a pixel
// of a two-hour file seen whole spans thousands of columns) costs a few coarse columns and
// the partial ones at its two ends, not every column; the answer is the overview's own.
class TPeakLevels {
 public:
  // Overview columns to one coarse column.
  static constexpr int64_t kSpan = 32;

  void Set(TPeakOverview overview);
  const TPeakOverview& Overview() const { return FOverview; }
  // As TPeakOverview::Envelope over every channel: {0, 0} when no column of the stretch is in.
  TPeak Envelope(int64_t first, int64_t last) const;

 private:
  TPeakOverview FOverview;
  TPeakOverview FCoarse;  // column k: the envelope of overview columns [k * kSpan, (k+1) * kSpan)
};
