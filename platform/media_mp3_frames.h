// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/media_byte_reader.h"
#include "platform/media_mpeg_audio.h"
#include "platform/media_timeline.h"

namespace trimora::media {

// Where the audio of an MP3 file starts: past any ID3v2 tags and leading junk, and past the
// first frame when that frame holds a Xing, Info or VBRI tag instead of audio.
struct TMp3Start {
  TMpegHeader Header;  // of the first audio frame; every later frame matches it
  int64_t AudioOffset = 0;
  TMpegVbrTag Tag;
};

// The MP3 decoder's own delay, which FFmpeg adds to the encoder delay of a LAME tag.
constexpr int64_t kMp3DecoderDelay = 528 + 1;

// What a decode keeps of the decoder's output, in samples from the first audio frame's: it
// drops the encoder delay (and the decoder's) at the start and the encoder padding at the
// end of the frames the tag counts, as FFmpeg does. A file without a LAME tag is decoded
// whole: its own encoder delay is part of the sound FFmpeg and our source give.
TMediaTimeline Mp3DecodeTimeline(const TMpegVbrTag& tag, int samplesPerFrame);

// Nothing when no two consecutive matching frames (or one frame that ends the file) are
// found within 64 KiB after the tags.
std::optional<TMp3Start> LocateMp3Audio(TMediaByteReader& reader);

// The audio frames of an MP3 file, found by walking their headers only, as far as anyone
// has asked. Damaged stretches are skipped by looking for the next two matching frames; a
// last frame cut short by the end of the file is left out.
class TMp3FrameIndex {
 public:
  struct TFrame {
    int64_t Offset;
    uint32_t Bytes;
  };

  TMp3FrameIndex(TMediaByteReader& reader, const TMp3Start& start);

  // Whether frame `index` exists (walking on to it when needed).
  bool Reach(int64_t index);
  void ReachEnd() {
    while (ScanNext()) {
    }
  }
  // Frames found so far.
  int64_t Known() const { return static_cast<int64_t>(FFrames.size()); }
  const TFrame& Frame(int64_t index) const { return FFrames[static_cast<size_t>(index)]; }
  // Whether frames of different bit rates were seen so far.
  bool MixedBitrates() const { return FMixed; }
  uint64_t AudioBytes() const { return FBytes; }
  // The header of frame 0, once it is known.
  const TMpegHeader& FirstAudioHeader() const { return FFirstAudio; }

 private:
  bool ScanNext();
  bool Matches(int64_t offset, TMpegHeader& header);
  bool FitsAndFollows(int64_t offset, const TMpegHeader& header);

  TMediaByteReader& FReader;
  TMpegHeader FReference;
  TMpegHeader FFirstAudio;
  std::vector<TFrame> FFrames;
  int64_t FNextOffset;
  bool FEnded = false;
  bool FMixed = false;
  uint64_t FBytes = 0;
};

}  // namespace trimora::media
