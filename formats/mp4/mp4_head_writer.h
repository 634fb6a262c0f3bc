// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the moov box of a cut says: the source's sample description, the packets kept (laid
// out one after another in one mdat box) and the edit that says which of their samples play.
struct TMp4Layout {
  uint32_t Timescale = 0;  // the media's; the movie's clock is the same, so the edit is exact
  std::string SampleDescription;  // the source's stsd box
  std::vector<uint32_t> Sizes;
  std::vector<uint32_t> Durations;
  int64_t EditMediaTime = 0;  // samples of the first packet before the range
  int64_t EditDuration = 0;   // samples of the range
  std::string UserData;       // a udta box (the tags) for the moov box, or empty
};

// The ftyp box, the moov box and the mdat box's header, which the packets follow in order:
// the moov comes first, so the file plays while it still streams in.
std::string MakeMp4Head(const TMp4Layout& layout);
