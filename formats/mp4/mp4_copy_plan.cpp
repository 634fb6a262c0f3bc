// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp4/mp4_copy_plan.h"

#include <algorithm>
#include <vector>

#include "pipeline/au_exception.h"

TMp4CopyPlan PlanMp4Copy(const TMp4Track& track, int64_t start, int64_t end, bool overlapping) {
  const TMp4Span span = PlayedSpan(track);
  if (start < 0 || start >= span.Length) throw EAuException("The range begins beyond the end");
  if (end > span.Length) throw EAuException("The range ends beyond the end of the stream");
  if (end <= start) throw EAuException("The range holds no samples");
  // Where each packet starts on the media's clock.
  std::vector<int64_t> starts(track.Durations.size() + 1, 0);
  for (size_t k = 0; k < track.Durations.size(); ++k)
    starts[k + 1] = starts[k] + track.Durations[k];
  const auto holding = [&](int64_t sample) {
    const auto after = std::upper_bound(starts.begin(), starts.end() - 1, sample);
    return static_cast<size_t>(after - starts.begin()) - 1;
  };
  const int64_t from = span.Start + start, to = span.Start + end;
  TMp4CopyPlan plan;
  plan.Length = end - start;
  plan.First = holding(from);
  plan.Last = holding(to - 1);
  if (overlapping) {
    if (plan.First > 0) --plan.First;
    plan.MediaTime = from - starts[plan.First];
    plan.TailKeep = track.Durations[plan.Last];
    return plan;
  }
  plan.HeadDrop = from - starts[plan.First];
  plan.TailKeep = to - starts[plan.Last];
  return plan;
}
