// SPDX-License-Identifier: GPL-3.0-or-later
#include "pipeline/sample_convert.h"

#include <bit>
#include <cstring>

// Samples are read and written with memcpy: the PCM buffers are little-endian like the host,
// and may lie at any byte offset.
static_assert(std::endian::native == std::endian::little);
static_assert(sizeof(long double) > sizeof(double),
              "the float-to-integer rules need extended precision");

namespace {

constexpr float kPCM8ToFloat = 0.0078125f;                // 1/128
constexpr float kPCM16ToFloat = 3.0517578125e-05f;        // 1/32768
constexpr float kPCM24ToFloat = 1.1920928955078125e-07f;  // 1/8388608
constexpr float kPCM32ToFloat = 4.656612873077393e-10f;   // 1/2147483648
constexpr float kFloatToPCM16 = 32767.0f;
constexpr float kFloatToPCM24 = 8388607.0f;
constexpr double kFloatToPCM32 = 2147483647.0;
constexpr int32_t kInt32Max = 2147483647;
constexpr int32_t kInt32Min = -2147483647 - 1;

// Adding and removing 1.5 * 2^23 (2^52 for doubles) leaves an integer rounded to nearest with
// ties to even under the default rounding mode, without a library call per sample. Valid for
// magnitudes below 2^22 (2^51).
constexpr float kRoundFloat = 12582912.0f;
constexpr double kRoundDouble = 6755399441055744.0;

// floor for values that fit in int32: truncate, then step down when truncation went up.
template <typename Real>
inline int32_t FloorToInt32(Real x) {
  const auto t = static_cast<int32_t>(x);
  return t - (static_cast<Real>(t) > x ? 1 : 0);
}

// The exact product of a float and 2147483647 needs 55 bits and the rule takes its floor in
// extended precision. Doubles get there without x87 code: v * 2147483647 = v * 2^31 - v, where
// v * 2^31 is exact, and the subtraction's rounding error is recovered exactly (Fast2Sum), so
// a product that rounded up onto an integer is stepped back down.
inline int32_t SingleToInt32(float v) {
  if (v >= 1.0f) return kInt32Max;
  if (!(v > -1.0f)) return kInt32Min;  // also NaN
  const double x = v;
  const double scaled = x * 2147483648.0;
  const double product = scaled - x;
  const double error = (scaled - product) - x;
  const int32_t floored = FloorToInt32(product);
  return floored - (static_cast<double>(floored) == product && error < 0.0 ? 1 : 0);
}

// A double's product with 2147483647 needs 84 bits; the rule is defined by extended precision.
inline int32_t DoubleToInt32(double v) {
  if (v >= 1.0) return kInt32Max;
  if (!(v > -1.0)) return kInt32Min;
  return FloorToInt32(static_cast<long double>(v) * 2147483647.0L);
}

// Only values of magnitude 0.5 or more (biased exponent above 126), infinities and NaNs can lie
// outside -1 .. 1, so the exponent test lets most samples through without comparisons.
void ClampInPlace(float* samples, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const uint32_t exponent = (std::bit_cast<uint32_t>(samples[i]) >> 23) & 0xFF;
    if (exponent > 126) {
      const float v = samples[i];
      if (v >= 1.0f) {
        samples[i] = 1.0f;
      } else if (!(v > -1.0f)) {
        samples[i] = -1.0f;
      }
    }
  }
}

// Integer i lands on bytes 4i..4i+3, inside value i * 4 / sizeof(T), which has been read
// already: the buffer is converted front to back in place.
template <typename T>
void ToInt32InPlace(void* buffer, std::size_t byteCount, int32_t (*convert)(T)) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  for (std::size_t i = 0; i < byteCount / sizeof(T); ++i) {
    T v;
    std::memcpy(&v, bytes + sizeof(T) * i, sizeof(T));
    const int32_t r = convert(v);
    std::memcpy(bytes + 4 * i, &r, 4);
  }
}

}  // namespace

void SingleToInt32InPlace(void* buffer, std::size_t byteCount) {
  ToInt32InPlace<float>(buffer, byteCount, SingleToInt32);
}

void DoubleToInt32InPlace(void* buffer, std::size_t byteCount) {
  ToInt32InPlace<double>(buffer, byteCount, DoubleToInt32);
}

void FloatToPCM8(const float* src, void* dst, std::size_t count) {
  auto* out = static_cast<uint8_t*>(dst);
  for (std::size_t i = 0; i < count; ++i) {
    const float v = src[i];
    if (v >= 1.0f) {
      out[i] = 255;
    } else if (!(v > -1.0f)) {
      out[i] = 0;
    } else {
      // In extended precision, as the rule says: -2^-65 <= v < 0 rounds v + 1 up to 1.0.
      const long double x = (static_cast<long double>(v) + 1.0L) * 128.0L;
      out[i] = static_cast<uint8_t>(FloorToInt32(x));
    }
  }
}

void FloatToPCM16(float* src, void* dst, std::size_t count) {
  ClampInPlace(src, count);
  auto* out = static_cast<unsigned char*>(dst);
  for (std::size_t i = 0; i < count; ++i) {
    const float product = src[i] * kFloatToPCM16;
    const auto s = static_cast<int16_t>((product + kRoundFloat) - kRoundFloat);
    std::memcpy(out + 2 * i, &s, 2);
  }
}

void FloatToPCM24(float* src, void* dst, std::size_t count) {
  ClampInPlace(src, count);
  auto* out = static_cast<uint8_t*>(dst);
  for (std::size_t i = 0; i < count; ++i) {
    const auto x = static_cast<uint32_t>(FloorToInt32(src[i] * kFloatToPCM24));
    out[3 * i] = static_cast<uint8_t>(x);
    out[3 * i + 1] = static_cast<uint8_t>(x >> 8);
    out[3 * i + 2] = static_cast<uint8_t>(x >> 16);
  }
}

void FloatToPCM32(float* src, void* dst, std::size_t count) {
  ClampInPlace(src, count);
  auto* out = static_cast<unsigned char*>(dst);
  for (std::size_t i = 0; i < count; ++i) {
    const double product = static_cast<double>(src[i]) * kFloatToPCM32;
    const auto s = static_cast<int32_t>((product + kRoundDouble) - kRoundDouble);
    std::memcpy(out + 4 * i, &s, 4);
  }
}

void PCM8ToFloat(const void* src, float* dst, std::size_t count) {
  const auto* in = static_cast<const uint8_t*>(src);
  for (std::size_t i = 0; i < count; ++i) {
    dst[i] = static_cast<float>(in[i]) * kPCM8ToFloat - 1.0f;
  }
}

void PCM16ToFloat(const void* src, float* dst, std::size_t count) {
  const auto* in = static_cast<const unsigned char*>(src);
  for (std::size_t i = 0; i < count; ++i) {
    int16_t s;
    std::memcpy(&s, in + 2 * i, 2);
    dst[i] = static_cast<float>(s) * kPCM16ToFloat;
  }
}

void PCM24ToFloat(const void* src, float* dst, std::size_t count) {
  const auto* in = static_cast<const uint8_t*>(src);
  for (std::size_t i = 0; i < count; ++i) {
    const auto high = static_cast<int16_t>(in[3 * i + 1] | (in[3 * i + 2] << 8));
    const int32_t s = high * 256 + in[3 * i];
    dst[i] = static_cast<float>(s) * kPCM24ToFloat;
  }
}

void PCM32ToFloat(const void* src, float* dst, std::size_t count) {
  const auto* in = static_cast<const unsigned char*>(src);
  for (std::size_t i = 0; i < count; ++i) {
    int32_t s;
    std::memcpy(&s, in + 4 * i, 4);
    dst[i] = static_cast<float>(s) * kPCM32ToFloat;
  }
}
