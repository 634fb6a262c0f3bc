// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "formats/flac/flac_frame_decoder.h"

struct AVMD5;

// The MD5 of a stream's audio as STREAMINFO holds it: over the samples interleaved, each as
// a little-endian signed integer of just enough whole bytes for the sample size.
class TFlacAudioMd5 {
 public:
  explicit TFlacAudioMd5(uint32_t bitsPerSample);
  ~TFlacAudioMd5();

  void Add(const int32_t* samples, size_t count);
  // `count` frames of `decoded` from `first` on, `channels` samples each.
  void Add(const TFlacFrameDecoder::TDecoded& decoded, uint32_t channels, uint32_t first,
           uint32_t count);
  std::array<uint8_t, 16> Digest();

 private:
  struct TMd5Freer {
    void operator()(AVMD5* md5) const;
  };
  std::unique_ptr<AVMD5, TMd5Freer> FMd5;
  uint32_t FBytes;  // per sample
  std::vector<uint8_t> FPacked;
  std::vector<int32_t> FSamples;
};
