// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/mp4/mp4_track.h"

// Which packets of a track a lossless cut keeps and what its edit list says. Times are samples
// of the media timescale, counted from the first sample the source plays (after its priming).
struct TMp4CopyPlan {
  size_t First = 0;  // the packets kept, First to Last
  size_t Last = 0;
  int64_t MediaTime = 0;  // samples of the kept packets before the range: the new priming
  int64_t Length = 0;     // samples of the range
  // ALAC: the samples of First dropped and of Last kept, where those packets are coded anew
  // (HeadDrop 0 and TailKeep the packet's duration where they are kept as they are).
  int64_t HeadDrop = 0;
  int64_t TailKeep = 0;
};

// The plan for the samples [start, end) of `track`. AAC (`overlapping`) keeps one packet
// before the one holding `start`, whose overlap the decoder needs, and says the rest in the
// edit; ALAC's packets stand alone, so only those holding the range are kept, the partial ones
// at its ends to be coded anew. EAuException for a range outside the track.
TMp4CopyPlan PlanMp4Copy(const TMp4Track& track, int64_t start, int64_t end, bool overlapping);
