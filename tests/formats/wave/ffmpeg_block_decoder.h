#pragma once

// FFmpeg's ADPCM decoder, fed one WAV block per packet: the independent reference our
// decoders are compared with.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

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
  struct ContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
  };
  struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
  };
  struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
  };
  std::unique_ptr<AVCodecContext, ContextFree> Context;
  std::unique_ptr<AVPacket, PacketFree> Packet{av_packet_alloc()};
  std::unique_ptr<AVFrame, FrameFree> Frame{av_frame_alloc()};
};
