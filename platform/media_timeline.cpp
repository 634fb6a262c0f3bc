// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_timeline.h"

#include <algorithm>

namespace trimora::media {
namespace {

// The discarded stretch as it lies after the leading samples.
struct TWindow {
  int64_t Begin;
  int64_t Length;
};

TWindow Window(const TMediaTimeline& t) {
  const int64_t begin = std::max(t.DiscardBegin, t.Leading);
  return {begin, std::max<int64_t>(0, t.DiscardEnd - begin)};
}

}  // namespace

int64_t TMediaTimeline::ToIndex(int64_t raw) const {
  const TWindow w = Window(*this);
  int64_t index = raw - Leading;
  if (w.Length > 0 && raw >= w.Begin + w.Length) index -= w.Length;
  return index;
}

int64_t TMediaTimeline::ToRaw(int64_t index) const {
  const TWindow w = Window(*this);
  int64_t raw = index + Leading;
  if (w.Length > 0 && raw >= w.Begin) raw += w.Length;
  return raw;
}

int64_t TMediaTimeline::Kept(int64_t rawCount) const {
  const TWindow w = Window(*this);
  int64_t kept = std::max<int64_t>(0, rawCount - Leading);
  const int64_t to = std::min(w.Begin + w.Length, rawCount);
  if (to > w.Begin) kept -= to - w.Begin;
  return kept;
}

int64_t ConvertedSamples(int64_t samples, int from, int to) {
  if (from <= 0 || from == to) return samples;
  return (samples * to + from / 2) / from;
}

}  // namespace trimora::media
