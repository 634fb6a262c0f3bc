// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_mp3_frames.h"

#include <algorithm>
#include <cstring>

namespace trimora::media {
namespace {

constexpr int64_t kJunkSearch = 64 * 1024;
constexpr int kMaxId3Tags = 64;
// The frame header fields that stay the same from frame to frame of one stream, as two
// neighbours must show before we believe a sync word found in unknown bytes.
constexpr uint32_t kNeighbourMask = 0xFFFE0CCFu;

bool Fits(TMediaByteReader& reader, int64_t offset, int bytes) {
  if (reader.Size() >= 0) return offset + bytes <= reader.Size();
  return reader.Peek(offset + bytes - 1, 1).size() == 1;
}

bool EndsHere(TMediaByteReader& reader, int64_t offset) {
  const auto rest = reader.Peek(offset, 4);
  return rest.size() < 4 || std::memcmp(rest.data(), "TAG", 3) == 0;
}

}  // namespace

TMediaTimeline Mp3DecodeTimeline(const TMpegVbrTag& tag, int samplesPerFrame) {
  TMediaTimeline timeline;
  if (!tag.HasEncoderDelays) return timeline;
  timeline.Leading = tag.Delay + kMp3DecoderDelay;
  if (tag.Frames && *tag.Frames > 0) {
    timeline.DiscardEnd = *tag.Frames * int64_t{samplesPerFrame};
    timeline.DiscardBegin = timeline.DiscardEnd - tag.Padding + kMp3DecoderDelay;
  }
  return timeline;
}

std::optional<TMp3Start> LocateMp3Audio(TMediaByteReader& reader) {
  int64_t offset = 0;
  for (int i = 0; i < kMaxId3Tags; ++i) {
    const int64_t length = Id3v2TagLength(reader.Peek(offset, 10));
    if (length == 0) break;
    offset += length;
  }
  // A Xing, Info or VBRI tag counts only in a frame right after the tags, as FFmpeg reads
  // it; its header may differ from the audio frames' (an encoder's stereo mode, say).
  TMpegVbrTag tag;
  if (const auto first = ParseMpegHeader(reader.Peek(offset, 4)); first) {
    std::vector<uint8_t> frame(static_cast<size_t>(first->FrameBytes));
    frame.resize(reader.ReadAt(offset, frame));
    tag = ParseMpegVbrTag(frame, *first);
    if (tag.Kind != TMpegVbrTag::TKind::None) offset += first->FrameBytes;
  }
  for (int64_t at = offset; at < offset + kJunkSearch; ++at) {
    const auto bytes = reader.Peek(at, 4);
    if (bytes.size() < 4) return std::nullopt;
    if (bytes[0] != 0xFF) continue;
    const auto header = ParseMpegHeader(bytes);
    if (!header || !Fits(reader, at, header->FrameBytes)) continue;
    const int64_t next = at + header->FrameBytes;
    const auto following = ParseMpegHeader(reader.Peek(next, 4));
    const bool neighbour =
        following && (following->Word & kNeighbourMask) == (header->Word & kNeighbourMask);
    if (!neighbour && !EndsHere(reader, next)) continue;
    return TMp3Start{*header, at, tag};
  }
  return std::nullopt;
}

TMp3FrameIndex::TMp3FrameIndex(TMediaByteReader& reader, const TMp3Start& start)
    : FReader(reader), FReference(start.Header), FNextOffset(start.AudioOffset) {}

bool TMp3FrameIndex::Reach(int64_t index) {
  while (Known() <= index)
    if (!ScanNext()) return false;
  return index >= 0;
}

bool TMp3FrameIndex::Matches(int64_t offset, TMpegHeader& header) {
  const auto found = ParseMpegHeader(FReader.Peek(offset, 4));
  if (!found || !SameMpegStream(*found, FReference)) return false;
  header = *found;
  return Fits(FReader, offset, found->FrameBytes);
}

bool TMp3FrameIndex::FitsAndFollows(int64_t offset, const TMpegHeader& header) {
  const int64_t next = offset + header.FrameBytes;
  TMpegHeader following;
  return Matches(next, following) || EndsHere(FReader, next);
}

bool TMp3FrameIndex::StartsOtherFormat(int64_t offset, TMpegHeader& header) {
  const auto found = ParseMpegHeader(FReader.Peek(offset, 4));
  // Frames of another layer among one layer's are damage to skip, as they always were.
  if (!found || found->Layer != FReference.Layer || SameMpegStream(*found, FReference) ||
      !Fits(FReader, offset, found->FrameBytes))
    return false;
  // Two more frames of the new format, or the end: a lone sync word in damaged bytes that
  // happened to look like another format would otherwise end the sound early or change its
  // channels.
  int64_t next = offset + found->FrameBytes;
  for (int i = 0; i < 2; ++i) {
    if (EndsHere(FReader, next)) break;
    const auto following = ParseMpegHeader(FReader.Peek(next, 4));
    if (!following || (following->Word & kNeighbourMask) != (found->Word & kNeighbourMask) ||
        !Fits(FReader, next, following->FrameBytes))
      return false;
    next += following->FrameBytes;
  }
  header = *found;
  return true;
}

bool TMp3FrameIndex::ScanNext() {
  if (FEnded) return false;
  TMpegHeader header;
  int64_t at = FNextOffset;
  bool changed = false;
  if (!Matches(at, header) && !(changed = StartsOtherFormat(at, header))) {
    // A damaged stretch: resume at the next frame that a matching frame follows (or at a
    // change of format). Each byte is looked at once, so a long run of garbage costs one
    // pass over it.
    for (++at;; ++at) {
      const auto bytes = FReader.Peek(at, 4);
      if (bytes.size() < 4) {
        FEnded = true;
        return false;
      }
      if (bytes[0] != 0xFF) continue;
      if (Matches(at, header) && FitsAndFollows(at, header)) break;
      if ((changed = StartsOtherFormat(at, header))) break;
    }
  }
  if (changed) {
    FChanges.push_back({Known(), header, FrameRaw(Known())});
    FReference = header;
  }
  if (FFrames.empty())
    FFirstAudio = header;
  else if (header.Bitrate != FFirstAudio.Bitrate)
    FMixed = true;
  FFrames.push_back({at, static_cast<uint32_t>(header.FrameBytes)});
  FBytes += static_cast<uint64_t>(header.FrameBytes);
  FNextOffset = at + header.FrameBytes;
  return true;
}

const TMp3FormatChange* TMp3FrameIndex::ChangeBefore(int64_t index) const {
  const auto after = std::upper_bound(
      FChanges.begin(), FChanges.end(), index,
      [](int64_t frame, const TMp3FormatChange& change) { return frame < change.Frame; });
  return after == FChanges.begin() ? nullptr : &*(after - 1);
}

int64_t TMp3FrameIndex::FrameRaw(int64_t index) const {
  const TMp3FormatChange* change = ChangeBefore(index);
  if (change == nullptr) return index * FFirstAudio.SamplesPerFrame;
  return change->Raw + ConvertedSamples((index - change->Frame) * change->Header.SamplesPerFrame,
                                        change->Header.SampleRate, FFirstAudio.SampleRate);
}

int64_t TMp3FrameIndex::FrameAt(int64_t raw) {
  while (FrameRaw(Known()) <= raw)
    if (!ScanNext()) return Known();
  return KnownFrameAt(raw);
}

int64_t TMp3FrameIndex::KnownFrameAt(int64_t raw) const {
  if (Known() == 0) return 0;
  const TMp3FormatChange* change = ChangeBefore(Known() - 1);
  while (change != nullptr && change->Raw > raw) change = ChangeBefore(change->Frame - 1);
  const int64_t first = change == nullptr ? 0 : change->Frame;
  const int64_t from = change == nullptr ? 0 : change->Raw;
  const TMpegHeader& header = change == nullptr ? FFirstAudio : change->Header;
  // The estimate on the stretch's own clock, then the step either way that rounding needs.
  int64_t frame = first + ConvertedSamples(raw - from, FFirstAudio.SampleRate, header.SampleRate) /
                              header.SamplesPerFrame;
  frame = std::clamp<int64_t>(frame, first, Known() - 1);
  while (frame > first && FrameRaw(frame) > raw) --frame;
  while (frame + 1 < Known() && FrameRaw(frame + 1) <= raw) ++frame;
  return frame;
}

int TMp3FrameIndex::RateOf(int64_t index) const {
  const TMp3FormatChange* change = ChangeBefore(index);
  return (change != nullptr ? change->Header : FFirstAudio).SampleRate;
}

bool TMp3FrameIndex::Resampled(int64_t index) const {
  return RateOf(index) != FFirstAudio.SampleRate;
}

int64_t TMp3FrameIndex::StretchStart(int64_t index) const {
  const TMp3FormatChange* change = ChangeBefore(index);
  return change == nullptr ? 0 : change->Frame;
}

TMp3Measure MeasureMp3(TMp3FrameIndex& index, const TMp3Start& start) {
  index.ReachEnd();
  TMp3Measure measure;
  measure.Frames = index.Known();
  const TMpegVbrTag& tag = start.Tag;
  measure.TagAgrees = tag.Frames && *tag.Frames > 0 && int64_t{*tag.Frames} == measure.Frames;
  measure.Timeline = Mp3DecodeTimeline(tag, start.Header.SamplesPerFrame);
  if (!measure.TagAgrees) measure.Timeline.DiscardBegin = measure.Timeline.DiscardEnd = 0;
  measure.Samples = measure.Timeline.Kept(index.FrameRaw(measure.Frames));
  return measure;
}

int64_t Mp3FrameSample(const TMp3Measure& measure, const TMp3FrameIndex& index, int64_t frame) {
  return std::clamp<int64_t>(measure.Timeline.ToIndex(index.FrameRaw(frame)), 0, measure.Samples);
}

}  // namespace trimora::media
