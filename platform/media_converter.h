// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "platform/media_av.h"

namespace trimora::media {

// `given`, or the usual layout for its channel count where it is unspecified (FFmpeg's WMA
// decoders leave it so): libswresample needs one.
void UsableLayout(const AVChannelLayout& given, AVChannelLayout& layout);

// Turns decoded frames into interleaved integer PCM of a chosen width (8-bit unsigned,
// 16- or 24-bit signed) and channel count, at the frame's own rate, through libswresample.
// Fewer channels than the decoder gives means a downmix by libswresample's default matrix.
class TMediaConverter {
 public:
  TMediaConverter(int channels, int bitsPerSample);
  ~TMediaConverter();
  TMediaConverter(const TMediaConverter&) = delete;
  TMediaConverter& operator=(const TMediaConverter&) = delete;

  // Writes frames [first, first + count) of `frame` into `out`, replacing its contents.
  // False when the conversion cannot be set up or fails.
  bool Convert(const AVFrame& frame, int first, int count, std::vector<uint8_t>& out);

 private:
  bool Prepare(const AVFrame& frame);

  int FChannels;
  int FBits;
  TSwrPtr FSwr;
  int FInFormat = -1;
  int FInRate = 0;
  AVChannelLayout FInLayout{};
  std::vector<uint8_t> FStaging;  // 32-bit samples on their way to 24 bits
  std::vector<const uint8_t*> FPlanes;
};

}  // namespace trimora::media
