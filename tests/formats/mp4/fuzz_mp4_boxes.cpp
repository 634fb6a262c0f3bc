// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes, as an M4A file, to the box walk that reads the sound track and its
// edit list, then plans cuts of what it found and writes their heads. Nothing may crash, hang
// or read outside the buffer.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "formats/mp4/mp4_copy_plan.h"
#include "formats/mp4/mp4_head_writer.h"
#include "formats/mp4/mp4_track.h"
#include "pipeline/au_exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto read = [data, size](uint64_t offset, uint8_t* into, size_t count) {
    if (offset > size || count > size - offset) return false;
    if (count > 0) std::memcpy(into, data + offset, count);
    return true;
  };
  const TMp4Reading reading = ReadMp4Track(read, size);
  if (!reading.Refusal.empty()) return 0;
  const TMp4Track& track = reading.Track;
  const TMp4Span span = PlayedSpan(track);
  if (span.Length <= 0 || track.Durations.size() > 100000) return 0;
  for (const bool overlapping : {true, false}) {
    try {
      const TMp4CopyPlan plan = PlanMp4Copy(track, span.Length / 3, span.Length - 1, overlapping);
      TMp4Layout layout;
      layout.Timescale = track.MediaTimescale;
      layout.SampleDescription = track.SampleDescription;
      layout.EditMediaTime = plan.MediaTime;
      layout.EditDuration = plan.Length;
      for (size_t k = plan.First; k <= plan.Last; ++k) {
        layout.Sizes.push_back(track.Sizes[k]);
        layout.Durations.push_back(track.Durations[k]);
      }
      (void)MakeMp4Head(layout);
    } catch (const EAuException&) {
    }
  }
  return 0;
}
