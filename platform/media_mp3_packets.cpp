// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_mp3_packets.h"

namespace trimora::media {
namespace {

// A Layer III frame may take up to 511 bytes of its data from the frames before it, and
// its output overlaps the frame before it. Decoding from at least 4 frames back, and from
// at least this many bytes before the frame ahead of the target, leaves every sample from
// the target on as an undisturbed decode gives it.
constexpr int64_t kMinFramesBack = 4;
constexpr uint64_t kMinBytesBack = 1536;

}  // namespace

TMp3PacketSource::TMp3PacketSource(TMediaByteReader& reader, TMp3FrameIndex& frames,
                                   int samplesPerFrame, int sampleRate)
    : FReader(reader), FFrames(frames), FSamplesPerFrame(samplesPerFrame), FRate(sampleRate) {}

bool TMp3PacketSource::Next(AVPacket& packet) {
  if (!FFrames.Reach(FNextFrame)) return false;
  const auto& frame = FFrames.Frame(FNextFrame);
  av_packet_unref(&packet);
  if (av_new_packet(&packet, static_cast<int>(frame.Bytes)) < 0) return false;
  const size_t got = FReader.ReadAt(frame.Offset, {packet.data, frame.Bytes});
  if (got < frame.Bytes) return false;
  packet.pts = packet.dts = FFrames.FrameRaw(FNextFrame);
  packet.duration = FSamplesPerFrame;
  packet.pos = frame.Offset;
  ++FNextFrame;
  return true;
}

int64_t TMp3PacketSource::FramesBack(int64_t target) const {
  int64_t start = target - kMinFramesBack;
  uint64_t bytes = 0;
  for (int64_t i = start; i >= 0 && i < target - 1; ++i) bytes += FFrames.Frame(i).Bytes;
  while (start > 0 && bytes < kMinBytesBack) {
    --start;
    bytes += FFrames.Frame(start).Bytes;
  }
  return start;
}

bool TMp3PacketSource::SeekBefore(int64_t raw) {
  const int64_t target = FFrames.FrameAt(raw);
  if (target >= FFrames.Known()) {
    // Past the last frame: nothing is left to decode.
    FNextFrame = FFrames.Known();
    return true;
  }
  int64_t start = FramesBack(target);
  // Frames converted from another rate come out as the resampler, started at their change,
  // makes them: the decode starts before that change.
  while (start > 0 && FFrames.Resampled(start)) start = FramesBack(FFrames.StretchStart(start));
  if (start <= 0) return false;
  FNextFrame = start;
  return true;
}

int TMp3PacketSource::PacketRate(int64_t pts) const {
  return FFrames.RateOf(FFrames.KnownFrameAt(pts));
}

bool TMp3PacketSource::Rewind() {
  FNextFrame = 0;
  return true;
}

}  // namespace trimora::media
