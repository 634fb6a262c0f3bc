// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/media_av.h"
#include "platform/media_encoder_lanes.h"
#include "platform/media_pcm_input.h"
#include "platform/media_writer.h"

namespace trimora::media {

// What a writer hands its encoder when writing begins.
struct TEncoderSetup {
  std::string Encoder;  // FFmpeg's name, "wmav2"
  int Rate = 0;
  int Channels = 0;
  int64_t Bitrate = 0;
  TWaveFormat Input;
  std::vector<std::pair<std::string, std::string>> Metadata;  // muxer keys, UTF-8
  int Lanes = 2;  // encoders working at once; 1 on a machine with one core
  // Frames per chunk a lane takes at once: about 3 s at 44.1 kHz, so a chunk's extra
  // leading frame costs 1.5%.
  int ChunkFrames = 64;
};

// PCM in, an ASF file out: FFmpeg's encoder and muxer writing through a caller's stream.
//
// FFmpeg's WMA encoder delays its output by one frame and its decoder drops its first two
// frames, so a plain round trip would lose the first frame of audio. The encoder is fed one
// frame of silence first, and every packet is stamped with the time of the audio a decoder
// keeps from it: the first kept sample plays at 0, and the file's duration is what was
// written.
class TMediaEncoder {
 public:
  // Null when the encoder, the converter or the file header cannot be set up.
  static std::unique_ptr<TMediaEncoder> Start(const TEncoderSetup& setup,
                                              IMediaWriteStream& stream);
  TMediaEncoder() = default;  // use Start
  ~TMediaEncoder();
  TMediaEncoder(const TMediaEncoder&) = delete;
  TMediaEncoder& operator=(const TMediaEncoder&) = delete;

  bool Write(const uint8_t* bytes, uint32_t size);
  // Encodes the rest, pads the last frame and writes the file's trailer.
  bool Finish();
  // The stream refused a write at some point.
  bool StreamFailed() const { return FWriteFailed; }

 private:
  bool Mux(AVPacket& packet);
  bool PutHeld(int64_t duration);

  IMediaWriteStream* FStream = nullptr;
  int64_t FPosition = 0;  // where the stream's next write lands
  TAvioPtr FAvio;
  TAvOutputPtr FOutput;
  std::unique_ptr<TEncoderLanes> FCodec;
  TAvPacketPtr FHeld;  // the newest packet, written when the next comes or at the end
  bool FHasHeld = false;
  std::unique_ptr<TMediaPcmInput> FPcm;
  int FFrameSize = 0;
  int64_t FPackets = 0;
  bool FWriteFailed = false;

  // FFmpeg's I/O callbacks; `opaque` is the encoder.
  static int WritePacket(void* opaque, uint8_t* buffer, int size) noexcept;
  static int64_t SeekPacket(void* opaque, int64_t offset, int whence) noexcept;
};

}  // namespace trimora::media
