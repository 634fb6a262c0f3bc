// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// In-memory sources of any sample width and channel count for the mixer, and helpers that
// build and read back PCM.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "pipeline/au_exception.h"
#include "pipeline/au_input.h"

namespace mix_test {

// Little-endian PCM of `width` bytes per sample from integer values (8-bit ones unsigned).
inline std::vector<uint8_t> Pcm(int width, const std::vector<int64_t>& values) {
  std::vector<uint8_t> bytes;
  for (const int64_t v : values)
    for (int b = 0; b < width; ++b) bytes.push_back(static_cast<uint8_t>(v >> (8 * b)));
  return bytes;
}

inline std::vector<int64_t> Values(int width, const std::vector<uint8_t>& bytes) {
  std::vector<int64_t> values;
  for (std::size_t i = 0; i + width <= bytes.size(); i += width) {
    uint64_t u = 0;
    for (int b = 0; b < width; ++b) u |= static_cast<uint64_t>(bytes[i + b]) << (8 * b);
    if (width == 1) {
      values.push_back(static_cast<int64_t>(u));
    } else {
      const int shift = 64 - 8 * width;  // sign-extend
      values.push_back(static_cast<int64_t>(u << shift) >> shift);
    }
  }
  return values;
}

// `frames` frames whose channel c holds values(frame, c).
template <typename F>
std::vector<int64_t> Frames(int64_t frames, int channels, F values) {
  std::vector<int64_t> out;
  out.reserve(static_cast<std::size_t>(frames * channels));
  for (int64_t f = 0; f < frames; ++f)
    for (int c = 0; c < channels; ++c) out.push_back(values(f, c));
  return out;
}

// A source over bytes in memory, handing them out in blocks of at most MaxBlock bytes.
class TMemoryIn : public TAuInput {
 public:
  TMemoryIn(int bits, int channels, std::vector<uint8_t> data, int rate = 8000)
      : Data(std::move(data)), Bits(bits), ChannelCount(channels), Rate(rate) {}

  std::vector<uint8_t> Data;
  int Bits;
  int ChannelCount;
  int Rate;
  uint32_t MaxBlock = 1u << 20;
  bool UnknownSize = false;
  std::string FailStart;  // when set, StartRead raises it
  int Starts = 0;
  int Ends = 0;

 protected:
  int QueryBitsPerSample() override { return Bits; }
  int QueryChannels() override { return ChannelCount; }
  int QuerySampleRate() override { return Rate; }
  void DoStartRead() override {
    if (!FailStart.empty()) throw EAuException(FailStart);
    if (Busy) throw EAuException("The component is Busy");
    Busy = true;
    ++Starts;
    Offset = 0;
    FSize = UnknownSize ? -1 : static_cast<int64_t>(Data.size());
  }
  void DoEndRead() override {
    Busy = false;
    ++Ends;
  }
  void ReadBlock(uint8_t*& buffer, uint32_t& bytes) override {
    bytes = static_cast<uint32_t>(std::min<std::size_t>({bytes, MaxBlock, Data.size() - Offset}));
    buffer = Data.data() + Offset;
    Offset += bytes;
  }

 private:
  std::size_t Offset = 0;
};

// Reads a started source to its end in requests of `request` bytes. A read that never ends is
// cut off after `limit` bytes so that a broken source fails the test instead of hanging it.
inline std::vector<uint8_t> ReadToEnd(TAuInput& source, uint32_t request,
                                      std::size_t limit = 64u << 20) {
  std::vector<uint8_t> out;
  std::vector<uint8_t> block(request);
  while (out.size() <= limit) {
    const uint32_t n = source.ReadInto(block.data(), request);
    if (n == 0) break;
    out.insert(out.end(), block.begin(), block.begin() + n);
  }
  return out;
}

// One whole read: StartRead, everything, EndRead.
inline std::vector<uint8_t> ReadAll(TAuInput& source, uint32_t request = 16384) {
  source.StartRead();
  auto out = ReadToEnd(source, request);
  source.EndRead();
  return out;
}

}  // namespace mix_test
