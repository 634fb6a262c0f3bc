// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/peaks/peak_columns.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

// One little-endian sample of `Bytes` bytes, centred on zero.
template <int Bytes>
int32_t Sample(const uint8_t* p) {
  if constexpr (Bytes == 1) {
    return int32_t{p[0]} - 128;
  } else if constexpr (Bytes == 2) {
    int16_t v;
    std::memcpy(&v, p, 2);
    return v;
  } else if constexpr (Bytes == 3) {
    return int32_t{p[0]} | (int32_t{p[1]} << 8) | (int32_t{static_cast<int8_t>(p[2])} * 65536);
  } else {
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
}

// A sample of `bytes` bytes scaled to 16 bits, rounded to the nearest step: a lossless copy
// of 16-bit data comes back at the very same values, including a float copy, which the WAV
// reader scales by 2^31 - 1 rather than 2^31.
int16_t To16(int32_t v, int bytes) {
  int64_t scaled = v;
  switch (bytes) {
    case 1:
      scaled = int64_t{v} * 256;
      break;
    case 3:
      scaled = (int64_t{v} + 128) >> 8;
      break;
    case 4:
      scaled = (int64_t{v} + 32768) >> 16;
      break;
    default:
      break;
  }
  return static_cast<int16_t>(std::clamp<int64_t>(scaled, INT16_MIN, INT16_MAX));
}

constexpr int kMaxChannels = 1024;

}  // namespace

TPeakColumns::TPeakColumns(int channels, int bitsPerSample, int sampleRate, int columnsPerSecond)
    : FChannels(channels), FRate(sampleRate), FColumnsPerSecond(std::max(columnsPerSecond, 1)) {
  FSampleBytes = bitsPerSample / 8;
  FValid = channels > 0 && channels <= kMaxChannels && sampleRate > 0 && bitsPerSample % 8 == 0 &&
           FSampleBytes >= 1 && FSampleBytes <= 4;
  if (!FValid) return;
  FFrameBytes = FSampleBytes * channels;
  FOutChannels = channels <= 2 ? channels : 1;
  FColumnEnd = Boundary(1);
  FMin.fill(std::numeric_limits<int32_t>::max());
  FMax.fill(std::numeric_limits<int32_t>::min());
}

int64_t TPeakColumns::Boundary(int64_t column) const {
  return column * FRate / FColumnsPerSecond;
}

void TPeakColumns::Add(const uint8_t* data, size_t bytes, std::vector<TPeak>& out) {
  if (!FValid || data == nullptr) return;
  const auto frameBytes = static_cast<size_t>(FFrameBytes);
  if (!FPartial.empty()) {
    const size_t take = std::min(frameBytes - FPartial.size(), bytes);
    FPartial.insert(FPartial.end(), data, data + take);
    data += take;
    bytes -= take;
    if (FPartial.size() < frameBytes) return;
    AddFrames(FPartial.data(), 1, out);
    FPartial.clear();
  }
  const auto frames = static_cast<int64_t>(bytes / frameBytes);
  AddFrames(data, frames, out);
  const size_t whole = static_cast<size_t>(frames) * frameBytes;
  FPartial.assign(data + whole, data + bytes);
}

// Whole frames, cut at column boundaries. A column is emitted when the first frame after it
// comes (or at Finish), so that no column follows the last frame; a column of no frames
// (rates below 100 Hz) is emitted empty so that column k always starts at Boundary(k).
void TPeakColumns::AddFrames(const uint8_t* data, int64_t frames, std::vector<TPeak>& out) {
  while (frames > 0) {
    while (FColumnEnd <= FFrames) EmitColumn(out);
    const int64_t n = std::min(frames, FColumnEnd - FFrames);
    switch (FSampleBytes) {
      case 1:
        Scan<1>(data, n);
        break;
      case 2:
        Scan<2>(data, n);
        break;
      case 3:
        Scan<3>(data, n);
        break;
      default:
        Scan<4>(data, n);
        break;
    }
    FColumnEmpty = false;
    FFrames += n;
    data += n * FFrameBytes;
    frames -= n;
  }
}

template <int Bytes>
void TPeakColumns::Scan(const uint8_t* p, int64_t frames) {
  if (FChannels == 2) {
    int32_t min0 = FMin[0], max0 = FMax[0], min1 = FMin[1], max1 = FMax[1];
    for (int64_t f = 0; f < frames; ++f, p += 2 * Bytes) {
      const int32_t a = Sample<Bytes>(p);
      const int32_t b = Sample<Bytes>(p + Bytes);
      min0 = std::min(min0, a);
      max0 = std::max(max0, a);
      min1 = std::min(min1, b);
      max1 = std::max(max1, b);
    }
    FMin = {min0, min1};
    FMax = {max0, max1};
    return;
  }
  // One channel, or every channel of a wider source folded into one envelope.
  int32_t lo = FMin[0], hi = FMax[0];
  const int64_t samples = frames * FChannels;
  for (int64_t s = 0; s < samples; ++s, p += Bytes) {
    const int32_t v = Sample<Bytes>(p);
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  FMin[0] = lo;
  FMax[0] = hi;
}

void TPeakColumns::EmitColumn(std::vector<TPeak>& out) {
  for (int c = 0; c < FOutChannels; ++c) {
    if (FColumnEmpty)
      out.push_back({});
    else
      out.push_back({To16(FMin[c], FSampleBytes), To16(FMax[c], FSampleBytes)});
  }
  FMin.fill(std::numeric_limits<int32_t>::max());
  FMax.fill(std::numeric_limits<int32_t>::min());
  FColumnEmpty = true;
  ++FColumn;
  FColumnEnd = Boundary(FColumn + 1);
}

void TPeakColumns::Finish(std::vector<TPeak>& out) {
  if (FValid && !FColumnEmpty) EmitColumn(out);
}
