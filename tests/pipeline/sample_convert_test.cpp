// SPDX-License-Identifier: GPL-3.0-or-later
#include "pipeline/sample_convert.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct FloatToIntCase {
  float Value;
  int32_t Expected;
};

// One value through a float-to-PCM conversion, as the sample type T.
template <typename T>
T ConvertOne(void (*convert)(float*, void*, std::size_t), float value) {
  T out{};
  convert(&value, &out, 1);
  return out;
}

std::vector<int32_t> RunSingleToInt32(const std::vector<float>& values) {
  std::vector<unsigned char> bytes(values.size() * 4);
  std::memcpy(bytes.data(), values.data(), bytes.size());
  SingleToInt32InPlace(bytes.data(), bytes.size());
  std::vector<int32_t> out(values.size());
  std::memcpy(out.data(), bytes.data(), bytes.size());
  return out;
}

TEST(SingleToInt32InPlace, FloorsTheProductAndSaturatesOutsideTheRange) {
  const FloatToIntCase cases[] = {
      {1.0f, 2147483647},
      {2.0f, 2147483647},
      {kInf, 2147483647},
      {-1.0f, -2147483647 - 1},
      {-kInf, -2147483647 - 1},
      {kNaN, -2147483647 - 1},
      {0.0f, 0},
      {-0.0f, 0},
      {0.5f, 1073741823},    // floor(1073741823.5)
      {-0.5f, -1073741824},  // floor(-1073741823.5)
      {1e-10f, 0},
      {-1e-10f, -1},
      // Next to -1 the exact product lies 2^-24 below an integer: a plain double product
      // rounds onto the integer and floors one too high.
      {-0x1.fffffep-1f, -2147483520},
      {-0x1.fffffcp-1f, -2147483392},
      {0x1.fffffep-1f, 2147483519},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RunSingleToInt32({c.Value}).front(), c.Expected) << "value " << c.Value;
  }
}

TEST(SingleToInt32InPlace, ConvertsWholeValuesOnlyAndLeavesTheRestAlone) {
  std::array<unsigned char, 10> bytes;
  const float values[2] = {0.5f, -1.0f};
  std::memcpy(bytes.data(), values, 8);
  bytes[8] = 0xAB;
  bytes[9] = 0xCD;
  SingleToInt32InPlace(bytes.data(), bytes.size());
  int32_t out[2];
  std::memcpy(out, bytes.data(), 8);
  EXPECT_EQ(out[0], 1073741823);
  EXPECT_EQ(out[1], -2147483647 - 1);
  EXPECT_EQ(bytes[8], 0xAB);
  EXPECT_EQ(bytes[9], 0xCD);

  SingleToInt32InPlace(bytes.data() + 8, 2);  // less than one value: nothing happens
  EXPECT_EQ(bytes[8], 0xAB);
}

TEST(DoubleToInt32InPlace, PacksTheIntegersIntoTheFirstHalf) {
  const double values[5] = {1.0, -1.0, 0.0, 0.5, -0.25};
  std::array<unsigned char, sizeof values + 3> bytes;
  std::memcpy(bytes.data(), values, sizeof values);
  bytes[40] = bytes[41] = bytes[42] = 0x5A;
  DoubleToInt32InPlace(bytes.data(), bytes.size());
  int32_t out[5];
  std::memcpy(out, bytes.data(), sizeof out);
  EXPECT_EQ(out[0], 2147483647);
  EXPECT_EQ(out[1], -2147483647 - 1);
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(out[3], 1073741823);
  EXPECT_EQ(out[4], -536870912);  // floor(-536870911.75)
  double untouched;
  std::memcpy(&untouched, bytes.data() + 24, 8);
  EXPECT_EQ(untouched, 0.5);  // values past the packed integers are not rewritten
  EXPECT_EQ(bytes[42], 0x5A);
}

TEST(DoubleToInt32InPlace, FloorsInExtendedPrecision) {
  // 1/2147483647 rounded to a double is slightly more than the exact quotient's reciprocal:
  // the product is just below 1, which a double product would round up to 1.
  const double values[3] = {0x1.00000002p-31, kNaN, -2.5};
  std::array<unsigned char, sizeof values> bytes;
  std::memcpy(bytes.data(), values, sizeof values);
  DoubleToInt32InPlace(bytes.data(), bytes.size());
  int32_t out[3];
  std::memcpy(out, bytes.data(), sizeof out);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], -2147483647 - 1);
  EXPECT_EQ(out[2], -2147483647 - 1);
}

TEST(FloatToPCM16, RoundsTheSinglePrecisionProductHalfToEven) {
  const FloatToIntCase cases[] = {
      {0.0f, 0},
      {0.5f, 16384},  // 16383.5
      {-0.5f, -16384},
      {0x1.920324p-9f, 100},  // product 100.5
      {0x1.96032cp-9f, 102},  // product 101.5
      {-0x1.920324p-9f, -100},
      {0x1.fffep-1f, 32766},  // product 32766.5
      {1.0f, 32767},
      {-1.0f, -32767},
      {1.5f, 32767},
      {-kInf, -32767},
      {kNaN, -32767},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConvertOne<int16_t>(FloatToPCM16, c.Value), c.Expected) << "value " << c.Value;
  }
}

TEST(FloatToPCM24, FloorsThePackedProduct) {
  struct Case {
    float Value;
    std::array<uint8_t, 3> Bytes;
  };
  const Case cases[] = {
      {0.0f, {0x00, 0x00, 0x00}},  {-1.0f / 8388607.0f, {0xFF, 0xFF, 0xFF}},
      {1.0f, {0xFF, 0xFF, 0x7F}},   // 8388607
      {-1.0f, {0x01, 0x00, 0x80}},  // -8388607
      {0.5f, {0xFF, 0xFF, 0x3F}},   // floor(4194303.5)
      {-0.5f, {0x00, 0x00, 0xC0}},  // floor(-4194303.5)
      {kNaN, {0x01, 0x00, 0x80}},
  };
  for (const auto& c : cases) {
    using TPacked = std::array<uint8_t, 3>;
    EXPECT_EQ(ConvertOne<TPacked>(FloatToPCM24, c.Value), c.Bytes) << "value " << c.Value;
  }
}

TEST(FloatToPCM32, RoundsTheDoubleProductHalfToEven) {
  const FloatToIntCase cases[] = {
      {1.0f, 2147483647},   {-1.0f, -2147483647},
      {0.5f, 1073741824},  // 1073741823.5
      {-0.5f, -1073741824}, {0.0f, 0},
      {kInf, 2147483647},   {0x1p-31f, 1},  // 0.99999999953
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConvertOne<int32_t>(FloatToPCM32, c.Value), c.Expected) << "value " << c.Value;
  }
}

TEST(FloatToPCM, ClampsTheSourceBufferInPlace) {
  const std::vector<float> input = {1.5f, -2.0f, kNaN, kInf, 0.75f, -0.999f, 0.25f, 1.0f};
  const std::vector<float> clamped = {1.0f, -1.0f, -1.0f, 1.0f, 0.75f, -0.999f, 0.25f, 1.0f};
  std::vector<unsigned char> out(input.size() * 4);

  auto src = input;
  FloatToPCM16(src.data(), out.data(), src.size());
  EXPECT_EQ(src, clamped);
  src = input;
  FloatToPCM24(src.data(), out.data(), src.size());
  EXPECT_EQ(src, clamped);
  src = input;
  FloatToPCM32(src.data(), out.data(), src.size());
  EXPECT_EQ(src, clamped);
}

TEST(FloatToPCM8, OffsetsAndFloorsInExtendedPrecision) {
  const FloatToIntCase cases[] = {
      {1.0f, 255},
      {0.999f, 255},
      {2.0f, 255},
      {-1.0f, 0},
      {-0.999f, 0},
      {kNaN, 0},
      {0.0f, 128},
      {0.5f, 192},
      {-0.5f, 64},
      {-0x1p-30f, 127},
      // v + 1.0 rounds to 1.0 in extended precision when v is above -2^-65.
      {-0x1p-70f, 128},
  };
  for (const auto& c : cases) {
    uint8_t out = 0;
    FloatToPCM8(&c.Value, &out, 1);
    EXPECT_EQ(out, c.Expected) << "value " << c.Value;
  }
  const float nan = kNaN;
  uint8_t out = 0;
  FloatToPCM8(&nan, &out, 1);
  EXPECT_TRUE(std::isnan(nan));  // no clamping pass: the source stays as it was
}

TEST(PCMToFloat, ScalesByPowersOfTwo) {
  const uint8_t pcm8[3] = {0, 128, 255};
  float f8[3];
  PCM8ToFloat(pcm8, f8, 3);
  EXPECT_EQ(f8[0], -1.0f);
  EXPECT_EQ(f8[1], 0.0f);
  EXPECT_EQ(f8[2], 0.9921875f);

  const int16_t pcm16[3] = {-32768, 32767, 1};
  float f16[3];
  PCM16ToFloat(pcm16, f16, 3);
  EXPECT_EQ(f16[0], -1.0f);
  EXPECT_EQ(f16[1], 32767.0f / 32768.0f);
  EXPECT_EQ(f16[2], 0x1p-15f);

  const uint8_t pcm24[] = {0x80, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F};
  float f24[4];
  PCM24ToFloat(pcm24, f24, 4);
  EXPECT_EQ(f24[0], 128.0f / 8388608.0f);
  EXPECT_EQ(f24[1], -1.0f / 8388608.0f);
  EXPECT_EQ(f24[2], -1.0f);
  EXPECT_EQ(f24[3], 8388607.0f / 8388608.0f);

  const int32_t pcm32[3] = {-2147483647 - 1, 2147483647, 1};
  float f32[3];
  PCM32ToFloat(pcm32, f32, 3);
  EXPECT_EQ(f32[0], -1.0f);
  EXPECT_EQ(f32[1], 1.0f);  // 2147483647 has no single-precision form; it rounds to 2^31
  EXPECT_EQ(f32[2], 0x1p-31f);
}

TEST(PCMToFloat, ReadsSamplesAtAnyByteOffset) {
  std::array<unsigned char, 9> bytes{};
  const int16_t samples[4] = {-32768, 16384, -1, 32767};
  std::memcpy(bytes.data() + 1, samples, sizeof samples);
  float out[4];
  PCM16ToFloat(bytes.data() + 1, out, 4);
  EXPECT_EQ(out[0], -1.0f);
  EXPECT_EQ(out[1], 0.5f);
  EXPECT_EQ(out[2], -0x1p-15f);
  EXPECT_EQ(out[3], 32767.0f / 32768.0f);

  float back[4] = {out[0], out[1], out[2], out[3]};
  FloatToPCM16(back, bytes.data() + 1, 4);
  int16_t roundTrip[4];
  std::memcpy(roundTrip, bytes.data() + 1, 8);
  EXPECT_EQ(roundTrip[0], -32767);
  EXPECT_EQ(roundTrip[1], 16384);
  EXPECT_EQ(roundTrip[2], -1);
  EXPECT_EQ(roundTrip[3], 32766);
}

// The routines avoid extended-precision arithmetic and library calls per sample; here they are
// held to the rules written out literally, over a spread of every float bit pattern.
TEST(FloatToInteger, MatchesTheLiteralRulesAcrossTheFloatRange) {
  constexpr uint64_t kStride = 4099;  // prime: visits every exponent with varied mantissas
  std::vector<float> values;
  for (uint64_t bits = 0; bits < (uint64_t{1} << 32); bits += kStride) {
    float v;
    const auto b = static_cast<uint32_t>(bits);
    std::memcpy(&v, &b, 4);
    values.push_back(v);
  }
  const auto n = values.size();
  const auto singles = RunSingleToInt32(values);
  std::vector<int16_t> pcm16(n);
  std::vector<uint8_t> pcm24(3 * n), pcm8(n);
  std::vector<int32_t> pcm32(n);
  auto work = values;
  FloatToPCM16(work.data(), pcm16.data(), n);
  work = values;
  FloatToPCM24(work.data(), pcm24.data(), n);
  work = values;
  FloatToPCM32(work.data(), pcm32.data(), n);
  FloatToPCM8(values.data(), pcm8.data(), n);

  for (std::size_t i = 0; i < n; ++i) {
    const float v = values[i];
    const float c = v >= 1.0f ? 1.0f : (v > -1.0f ? v : -1.0f);
    const int32_t single =
        v >= 1.0f   ? 2147483647
        : v > -1.0f ? static_cast<int32_t>(std::floor(static_cast<long double>(v) * 2147483647.0L))
                    : -2147483647 - 1;
    ASSERT_EQ(singles[i], single) << std::hexfloat << v;
    ASSERT_EQ(pcm16[i], static_cast<int16_t>(std::nearbyint(c * 32767.0f))) << std::hexfloat << v;
    const auto x24 = static_cast<uint32_t>(static_cast<int32_t>(std::floor(c * 8388607.0f)));
    ASSERT_EQ(pcm24[3 * i], x24 & 0xFF) << std::hexfloat << v;
    ASSERT_EQ(pcm24[3 * i + 1] | (pcm24[3 * i + 2] << 8), (x24 >> 8) & 0xFFFF);
    ASSERT_EQ(pcm32[i], static_cast<int32_t>(std::nearbyint(static_cast<double>(c) * 2147483647.0)))
        << std::hexfloat << v;
    const int eight =
        v >= 1.0f   ? 255
        : v > -1.0f ? static_cast<int>(std::floor((static_cast<long double>(v) + 1.0L) * 128.0L))
                    : 0;
    ASSERT_EQ(pcm8[i], eight) << std::hexfloat << v;
  }
}

// The two scale factors differ by one part in 32768, so a round trip keeps small values and
// may shrink large ones by one step, never more and never outwards.
TEST(PCM16RoundTrip, KeepsValuesUpTo16368AndShrinksLargerOnesByAtMostOneStep) {
  std::vector<int16_t> all(65536);
  for (int i = 0; i < 65536; ++i) all[i] = static_cast<int16_t>(i - 32768);
  std::vector<float> floats(all.size());
  PCM16ToFloat(all.data(), floats.data(), all.size());
  std::vector<int16_t> back(all.size());
  FloatToPCM16(floats.data(), back.data(), all.size());
  for (std::size_t i = 0; i < all.size(); ++i) {
    const int s = all[i];
    const int r = back[i];
    if (std::abs(s) <= 16368) {
      ASSERT_EQ(r, s);
    } else {
      ASSERT_TRUE(r == s || r == s - (s > 0 ? 1 : -1)) << s << " came back as " << r;
    }
  }
  EXPECT_EQ(back[32767 + 32768], 32766);
  EXPECT_EQ(back[0], -32767);
}

}  // namespace
