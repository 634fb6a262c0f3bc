// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/wave/wave_out_headers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

void PutId(uint8_t* at, const char (&id)[5]) {
  std::memcpy(at, id, 4);
}

// The common start of the PCM and extensible headers: RIFF, WAVE and the first 16 bytes of
// the `fmt ` body.
template <size_t N>
void PutRiffAndFormat(std::array<uint8_t, N>& h, const TPcmFormat& f, uint32_t riffSize,
                      uint32_t fmtSize, uint16_t formatTag) {
  const uint16_t blockAlign = static_cast<uint16_t>((f.BitsPerSample * f.Channels) / 8);
  PutId(&h[0], "RIFF");
  PutUInt32(&h[4], riffSize);
  PutId(&h[8], "WAVE");
  PutId(&h[12], "fmt ");
  PutUInt32(&h[16], fmtSize);
  PutUInt16(&h[20], formatTag);
  PutUInt16(&h[22], f.Channels);
  PutUInt32(&h[24], f.SampleRate);
  PutUInt32(&h[28], f.SampleRate * blockAlign);
  PutUInt16(&h[32], blockAlign);
  PutUInt16(&h[34], f.BitsPerSample);
}

// 00000001-0000-0010-8000-00AA00389B71, the first three groups little-endian.
constexpr uint8_t kPcmSubformat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// 00000003-..., the same but for the first group.
constexpr uint8_t kFloatSubformat[16] = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                         0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

}  // namespace

void PutUInt16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void PutUInt32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint16_t GetUInt16(const uint8_t* at) {
  return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

uint32_t GetUInt32(const uint8_t* at) {
  return uint32_t{at[0]} | (uint32_t{at[1]} << 8) | (uint32_t{at[2]} << 16) |
         (uint32_t{at[3]} << 24);
}

std::array<uint8_t, kPcmHeaderLength> MakePcmHeader(const TPcmFormat& format, int64_t dataSize) {
  std::array<uint8_t, kPcmHeaderLength> h{};
  const auto size = static_cast<uint32_t>(dataSize);
  PutRiffAndFormat(h, format, size + 36 + size % 2, 16, 1);
  PutId(&h[36], "data");
  PutUInt32(&h[40], size);
  return h;
}

std::array<uint8_t, kExtensibleHeaderLength> MakeExtensibleHeader(const TPcmFormat& format,
                                                                  int64_t dataSize,
                                                                  uint32_t channelMask,
                                                                  bool isFloat) {
  std::array<uint8_t, kExtensibleHeaderLength> h{};
  const auto size = static_cast<uint32_t>(dataSize);
  PutRiffAndFormat(h, format, size + 60 + size % 2, 40, 0xFFFE);
  PutUInt16(&h[36], 22);
  PutUInt16(&h[38], format.BitsPerSample);
  PutUInt32(&h[40], channelMask);
  std::memcpy(&h[44], isFloat ? kFloatSubformat : kPcmSubformat, 16);
  PutId(&h[60], "data");
  PutUInt32(&h[64], size);
  return h;
}

std::array<uint8_t, kFloatHeaderLength> MakeFloatHeader(const TPcmFormat& format,
                                                        int64_t dataSize) {
  std::array<uint8_t, kFloatHeaderLength> h{};
  const auto size = static_cast<uint32_t>(dataSize);
  const uint32_t frameBytes = uint32_t{format.Channels} * format.BitsPerSample / 8;
  PutRiffAndFormat(h, format, size + 50 + size % 2, 18, 3);
  PutUInt16(&h[36], 0);  // no extension
  PutId(&h[38], "fact");
  PutUInt32(&h[42], 4);
  PutUInt32(&h[46], frameBytes > 0 ? size / frameBytes : 0);
  PutId(&h[50], "data");
  PutUInt32(&h[54], size);
  return h;
}

uint32_t ChannelMask(uint16_t channels) {
  constexpr uint16_t kDefinedPositions = 18;
  if (channels > kDefinedPositions) return 0;
  return (uint32_t{1} << channels) - 1;
}

int32_t ImaSamplesPerBlock(uint16_t blockSize, uint16_t channels) {
  if (channels == 0) return 0;
  return (2 / channels) * (blockSize - 4 * channels) + 1;
}

int32_t ImaBlockBytes(int64_t frames, uint16_t blockSize, uint16_t channels) {
  if (frames <= 0 || channels == 0) return 0;
  if (frames >= ImaSamplesPerBlock(blockSize, channels)) return blockSize;
  const int64_t groups = (frames - 1 + 7) / 8;
  return static_cast<int32_t>(std::min<int64_t>(blockSize, 4 * channels * (1 + groups)));
}

bool ImaBlockSizeFits(uint16_t blockSize, uint16_t channels) {
  if (channels == 1) return blockSize > 4 && ImaSamplesPerBlock(blockSize, 1) <= 0xFFFF;
  if (channels == 2) return blockSize > 8 && (blockSize - 8) % 8 == 0;
  return false;
}

std::array<uint8_t, kImaHeaderLength> MakeImaHeader(const TPcmFormat& format, uint16_t blockSize,
                                                    int64_t frames) {
  std::array<uint8_t, kImaHeaderLength> h{};
  const int32_t s = ImaSamplesPerBlock(blockSize, format.Channels);
  const auto blocks = static_cast<int64_t>(std::nearbyint(static_cast<double>(frames) / s));
  const auto dataSize = static_cast<uint32_t>(blocks * blockSize);
  PutId(&h[0], "RIFF");
  PutUInt32(&h[4], dataSize + 52);
  PutId(&h[8], "WAVE");
  PutId(&h[12], "fmt ");
  PutUInt32(&h[16], 20);
  PutUInt16(&h[20], 0x11);
  PutUInt16(&h[22], format.Channels);
  PutUInt32(&h[24], format.SampleRate);
  PutUInt32(&h[28], (format.SampleRate / static_cast<uint32_t>(s)) * blockSize);
  PutUInt16(&h[32], blockSize);
  PutUInt16(&h[34], 4);
  PutUInt16(&h[36], 2);
  PutUInt16(&h[38], static_cast<uint16_t>(s));
  PutId(&h[40], "fact");
  PutUInt32(&h[44], 4);
  PutUInt32(&h[48], static_cast<uint32_t>(frames));
  PutId(&h[52], "data");
  PutUInt32(&h[56], dataSize);
  return h;
}
