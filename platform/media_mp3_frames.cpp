// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_mp3_frames.h"

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

bool TMp3FrameIndex::ScanNext() {
  if (FEnded) return false;
  TMpegHeader header;
  int64_t at = FNextOffset;
  if (!Matches(at, header)) {
    // A damaged stretch: resume at the next frame that a matching frame follows. Each
    // byte is looked at once, so a long run of garbage costs one pass over it.
    for (++at;; ++at) {
      const auto bytes = FReader.Peek(at, 4);
      if (bytes.size() < 4) {
        FEnded = true;
        return false;
      }
      if (bytes[0] == 0xFF && Matches(at, header) && FitsAndFollows(at, header)) break;
    }
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

}  // namespace trimora::media
