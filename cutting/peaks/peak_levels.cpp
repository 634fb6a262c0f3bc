// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/peaks/peak_levels.h"

#include <algorithm>
#include <utility>

namespace {

// The envelope of two stretches, either of which may have had no columns.
void Widen(TPeak& into, bool& any, TPeak part, bool partAny) {
  if (!partAny) return;
  into = any ? TPeak{std::min(into.Min, part.Min), std::max(into.Max, part.Max)} : part;
  any = true;
}

}  // namespace

void TPeakLevels::Set(TPeakOverview overview) {
  FOverview = std::move(overview);
  FCoarse = TPeakOverview{};
  FCoarse.Channels = FOverview.Channels;
  FCoarse.SampleRate = FOverview.SampleRate;
  const int64_t whole = FOverview.Columns() / kSpan;
  FCoarse.Peaks.reserve(static_cast<size_t>(whole * FOverview.Channels));
  for (int64_t k = 0; k < whole; ++k)
    for (int c = 0; c < FOverview.Channels; ++c)
      FCoarse.Peaks.push_back(FOverview.Envelope(k * kSpan, (k + 1) * kSpan, c));
}

TPeak TPeakLevels::Envelope(int64_t first, int64_t last) const {
  first = std::max<int64_t>(first, 0);
  last = std::min(last, FOverview.Columns());
  if (first >= last) return {};
  const int64_t coarseFirst = (first + kSpan - 1) / kSpan;
  const int64_t coarseLast = std::min(last / kSpan, FCoarse.Columns());
  if (coarseLast - coarseFirst < 2) return FOverview.Envelope(first, last);
  TPeak result;
  bool any = false;
  Widen(result, any, FOverview.Envelope(first, coarseFirst * kSpan), first < coarseFirst * kSpan);
  Widen(result, any, FCoarse.Envelope(coarseFirst, coarseLast), true);
  Widen(result, any, FOverview.Envelope(coarseLast * kSpan, last), coarseLast * kSpan < last);
  return result;
}
