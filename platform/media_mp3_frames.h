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

// Where the frames take on another format part-way (a join of unlike files): from frame
// `Frame` on, they have `Header`'s sample rate and channels. They are decoded on and
// converted to the first frames' channels and rate (the layer stays: another layer's frames
// are damage). `Raw` is where the frame's output starts on the first frames' clock: the
// decoder's raw output, with every frame of another rate counted as converted.
struct TMp3FormatChange {
  int64_t Frame = 0;
  TMpegHeader Header;
  int64_t Raw = 0;
};

// Nothing when no two consecutive matching frames (or one frame that ends the file) are
// found within 64 KiB after the tags.
std::optional<TMp3Start> LocateMp3Audio(TMediaByteReader& reader);

// The audio frames of an MP3 file, found by walking their headers only, as far as anyone
// has asked. Damaged stretches are skipped by looking for the next two matching frames; a
// last frame cut short by the end of the file is left out. Two consecutive frames of
// another format, where the frames before stop, are a change of format (see
// TMp3FormatChange).
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
  // The changes of format among the frames found so far, in order.
  const std::vector<TMp3FormatChange>& FormatChanges() const { return FChanges; }
  // Whether frame `index` (a known one) has the channels of frame 0.
  bool InFirstFormat(int64_t index) const {
    return FChanges.empty() || index < FChanges.front().Frame;
  }
  // Where frame `index` (a known one, or the one after the last) starts on frame 0's clock.
  int64_t FrameRaw(int64_t index) const;
  // The frame whose output holds raw position `raw`, walking on to it; Known() past the end.
  int64_t FrameAt(int64_t raw);
  // The same among the frames known (the last of them past their end).
  int64_t KnownFrameAt(int64_t raw) const;
  // The sample rate of frame `index` (a known one).
  int RateOf(int64_t index) const;
  // Whether frame `index` (a known one) is converted from another rate, and so comes out
  // as a decode from the change before it gives it (the resampler's state runs on).
  bool Resampled(int64_t index) const;
  // The first frame of the stretch of one format that frame `index` lies in.
  int64_t StretchStart(int64_t index) const;

 private:
  bool ScanNext();
  bool Matches(int64_t offset, TMpegHeader& header);
  bool FitsAndFollows(int64_t offset, const TMpegHeader& header);
  // Whether a frame of another format than the reference starts at `offset` and a frame of
  // that format follows it.
  bool StartsOtherFormat(int64_t offset, TMpegHeader& header);
  // The last change at or before frame `index`; nothing within the first format.
  const TMp3FormatChange* ChangeBefore(int64_t index) const;

  TMediaByteReader& FReader;
  TMpegHeader FReference;
  TMpegHeader FFirstAudio;
  std::vector<TFrame> FFrames;
  int64_t FNextOffset;
  bool FEnded = false;
  bool FMixed = false;
  uint64_t FBytes = 0;
  std::vector<TMp3FormatChange> FChanges;
};

// What a straight decode of an MP3 file gives, measured on all its frames.
struct TMp3Measure {
  int64_t Frames = 0;       // audio frames decoded
  int64_t Samples = 0;      // samples a straight decode delivers
  TMediaTimeline Timeline;  // what it drops of the decoder's output
  bool TagAgrees = false;   // the tag's frame count is the frames' count
};

// Walks `index` to the end. The tag's encoder delay always counts; its frame count (and
// with it the padding at the end) only when the frames agree with it: a file joined to
// another by copying, or a count written wrong, would otherwise end where the count says
// or lose samples in the middle.
TMp3Measure MeasureMp3(TMp3FrameIndex& index, const TMp3Start& start);

// The straight-decode sample at which frame `frame` (a known one) starts.
int64_t Mp3FrameSample(const TMp3Measure& measure, const TMp3FrameIndex& index, int64_t frame);

}  // namespace trimora::media
