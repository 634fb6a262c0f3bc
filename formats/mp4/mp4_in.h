// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "formats/coded/coded_in.h"
#include "formats/mp4/mp4_track.h"

// The M4A source: FFmpeg decodes AAC or ALAC as for the other coded kinds, and our own walk
// over the boxes first refuses what FFmpeg would read wrongly or not at all (protected,
// fragmented or broken files, edit lists it cannot follow) and states the exact length: the
// edit list's duration, or the iTunSMPB tag's, which FFmpeg 5.1 does not honour at the end.
class TMp4In : public TCodedIn {
 public:
  TMp4In();
  ~TMp4In() override;

  // Why the file was refused, or empty.
  std::string Refusal();
  // The track as its boxes describe it (empty when refused).
  TMp4Track Track();

 protected:
  void OpenFile() override;

 private:
  TMp4Reading ReadBoxes();

  std::string FRefusal;
  TMp4Track FTrack;
};
