// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// FFmpeg's ADPCM decoder, fed one WAV block per packet: the independent reference our
// decoders are compared with.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/media_av.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

class FfmpegBlockDecoder {
 public:
  // formatTag 0x11 (IMA) or 2 (Microsoft ADPCM).
  FfmpegBlockDecoder(int formatTag, int channels, int sampleRate, int blockAlign);

  bool IsOpen() const { return Context != nullptr; }
  // Interleaved samples of one block, or nothing when FFmpeg rejects the block.
  std::optional<std::vector<int16_t>> Decode(std::span<const uint8_t> block);

 private:
  trimora::media::TAvCodecPtr Context;
  trimora::media::TAvPacketPtr Packet{av_packet_alloc()};
  trimora::media::TAvFramePtr Frame{av_frame_alloc()};
};
