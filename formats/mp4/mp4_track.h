// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The sound track of an MP4 file (.m4a) as its boxes describe it: the sample entry, every
// packet's place, size and duration, and the edit that says which samples play. Read by one
// walk over the top-level boxes, which loads only the moov box.
struct TMp4Track {
  uint32_t MovieTimescale = 0;    // of the edit list's durations
  uint32_t MediaTimescale = 0;    // of the packets' durations and the edit's media time
  uint32_t Format = 0;            // the sample entry's four letters: 'mp4a', 'alac'
  std::string SampleDescription;  // the whole stsd box, copied into a cut
  std::vector<uint64_t> Offsets;  // of each packet in the file
  std::vector<uint32_t> Sizes;
  std::vector<uint32_t> Durations;  // in the media timescale
  bool HasEdit = false;
  int64_t EditMediaTime = 0;  // the first sample played, in the media timescale
  uint64_t EditDuration = 0;  // in the movie timescale; 0: to the end of the media
  // From an iTunSMPB tag, where the file carries one; -1 otherwise.
  int64_t SmpbPriming = -1;
  int64_t SmpbLength = -1;

  // The samples of all packets together, in the media timescale.
  uint64_t MediaDuration() const;
};

// The four letters of a box type as a number: Fourcc("moov").
constexpr uint32_t Fourcc(const char (&name)[5]) {
  return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 |
         uint32_t(uint8_t(name[2])) << 8 | uint32_t(uint8_t(name[3]));
}

// Reads `size` bytes at `offset` of the file; false when the file ends before.
using TMp4ReadAt = std::function<bool(uint64_t offset, uint8_t* data, size_t size)>;

// The first sound track of the file of `fileSize` bytes, or the reason it cannot be cut as
// one: "protected", a box whose size runs past its parent, no moov box, a fragmented file, an
// edit list this program cannot follow. The reason is empty on success.
struct TMp4Reading {
  TMp4Track Track;
  std::string Refusal;
};
TMp4Reading ReadMp4Track(const TMp4ReadAt& read, uint64_t fileSize);

// Where the sound the track plays begins and how long it is, in samples of the media
// timescale: the edit list's media time and duration, else the iTunSMPB tag's figures, else
// the whole media. An edit rounded to the movie's coarser clock is taken to mean the media's
// end.
struct TMp4Span {
  int64_t Start = 0;
  int64_t Length = 0;
};
TMp4Span PlayedSpan(const TMp4Track& track);

// `time` on a clock of `from` ticks a second on one of `to`, to the nearest tick.
int64_t RescaleTime(uint64_t time, uint32_t to, uint32_t from);
