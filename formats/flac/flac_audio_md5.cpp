// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/flac/flac_audio_md5.h"

extern "C" {
#include <libavutil/md5.h>
#include <libavutil/mem.h>
}

#include <bit>

#include "pipeline/au_exception.h"

void TFlacAudioMd5::TMd5Freer::operator()(AVMD5* md5) const {
  av_free(md5);
}

TFlacAudioMd5::TFlacAudioMd5(uint32_t bitsPerSample)
    : FMd5(av_md5_alloc()), FBytes((bitsPerSample + 7) / 8) {
  if (!FMd5) throw EAuException("Out of memory for the FLAC check sum");
  av_md5_init(FMd5.get());
}

TFlacAudioMd5::~TFlacAudioMd5() = default;

void TFlacAudioMd5::Add(const int32_t* samples, size_t count) {
  FPacked.resize(count * FBytes);
  uint8_t* out = FPacked.data();
  for (size_t i = 0; i < count; ++i) {
    const auto v = static_cast<uint32_t>(samples[i]);
    for (uint32_t b = 0; b < FBytes; ++b) *out++ = static_cast<uint8_t>(v >> (8 * b));
  }
  av_md5_update(FMd5.get(), FPacked.data(), FPacked.size());
}

void TFlacAudioMd5::Add(const TFlacFrameDecoder::TDecoded& decoded, uint32_t channels,
                        uint32_t first, uint32_t count) {
  // 16-bit samples in the machine's little-endian 16-bit words are already the bytes the sum
  // is over.
  if (std::endian::native == std::endian::little && !decoded.Wide && decoded.Shift == 0 &&
      FBytes == 2) {
    av_md5_update(FMd5.get(), decoded.Data + static_cast<size_t>(first) * channels * 2,
                  static_cast<size_t>(count) * channels * 2);
    return;
  }
  FSamples.clear();
  AppendSamples(decoded, channels, first, count, FSamples);
  Add(FSamples.data(), FSamples.size());
}

std::array<uint8_t, 16> TFlacAudioMd5::Digest() {
  std::array<uint8_t, 16> digest{};
  av_md5_final(FMd5.get(), digest.data());
  return digest;
}
