// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The one conversion our compression manager offers: MPEG Layer-3 frames to interleaved
// 16-bit PCM, through FFmpeg's parser (which finds the frames in raw data) and decoder.

#include <cstdint>
#include <span>

namespace trimora::acm {

struct [[nodiscard]] TMp3DecodeResult {
  bool Failed = false;         // FFmpeg could not be set up, or ran out of memory
  uint32_t SourceUsed = 0;     // bytes of the source consumed
  uint32_t PcmBytes = 0;       // bytes written to the destination
  uint64_t FramesDecoded = 0;  // MPEG frames that gave PCM of the wanted rate
};

// The upper bound of PCM bytes `sourceBytes` can decode to at this rate and channel count:
// the number of the smallest frames the MPEG version of that rate has that fit, times the
// samples each frame decodes to.
uint64_t Mp3PcmBound(uint64_t sourceBytes, uint32_t sampleRate, uint16_t channels);

// Whether a rate is one of the nine that MPEG-1, 2 and 2.5 Layer-3 define.
bool IsMp3SampleRate(uint32_t sampleRate);

// Decodes all of `source` into `destination` as `channels` x 16-bit PCM at `sampleRate`, until
// the source ends or the destination is full (only whole frames are written). Frames of
// another rate are dropped; mono is doubled to stereo and stereo averaged to mono when the
// stream says otherwise. Damaged frames are passed over.
TMp3DecodeResult DecodeMp3(std::span<const uint8_t> source, std::span<uint8_t> destination,
                           uint32_t sampleRate, uint16_t channels);

}  // namespace trimora::acm
