// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media_mp3_frames.h"
#include "platform/media_packet_source.h"

namespace trimora::media {

// MP3 frames as packets, one frame each, cut by our own frame index rather than by FFmpeg's
// demuxer: the index knows every frame's place, which is what makes a seek land on an exact
// frame. Time stamps count samples on the first frame's clock (TMp3FrameIndex::FrameRaw).
class TMp3PacketSource final : public TMediaPacketSource {
 public:
  TMp3PacketSource(TMediaByteReader& reader, TMp3FrameIndex& frames, int samplesPerFrame,
                   int sampleRate);

  AVRational TimeBase() const override { return {1, FRate}; }
  bool Next(AVPacket& packet) override;
  int64_t RawPosition(int64_t pts) const override { return pts; }
  int PacketRate(int64_t pts) const override;
  bool SeeksExactly() const override { return true; }
  bool SeekBefore(int64_t raw) override;
  bool Rewind() override;

 private:
  // The frame from which a decode gives frame `target` as a straight decode does.
  int64_t FramesBack(int64_t target) const;

  TMediaByteReader& FReader;
  TMp3FrameIndex& FFrames;
  int FSamplesPerFrame;
  int FRate;
  int64_t FNextFrame = 0;
};

}  // namespace trimora::media
