// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/flac/flac_stream.h"
#include "platform/media_av.h"

// FFmpeg's FLAC decoder fed one frame at a time. It hands out interleaved samples in 16-bit
// words up to 16 bits per sample and in 32-bit words above, shifted to the top of the word.
class TFlacFrameDecoder {
 public:
  // Raises EAuException when the stream's sample size is one FFmpeg cannot decode.
  explicit TFlacFrameDecoder(const TFlacStreamInfo& info);

  struct TDecoded {
    const uint8_t* Data = nullptr;  // interleaved words, valid until the next Decode
    uint32_t Samples = 0;           // per channel
    bool Wide = false;              // 32-bit words, else 16-bit
    int Shift = 0;                  // the word's value is the sample shifted left this far
  };
  // Decodes the whole frame at `frame`; EAuException when it does not decode to `samples`.
  TDecoded Decode(const uint8_t* frame, size_t bytes, uint32_t samples);

 private:
  trimora::media::TAvCodecPtr FCodec;
  trimora::media::TAvPacketPtr FPacket;
  trimora::media::TAvFramePtr FFrame;
  uint32_t FChannels = 0;
  uint32_t FBits = 0;
};

// The samples [first, first + count) of `decoded`, interleaved, as their true values.
void AppendSamples(const TFlacFrameDecoder::TDecoded& decoded, uint32_t channels, uint32_t first,
                   uint32_t count, std::vector<int32_t>& out);
