// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/operations/fades.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

// One value written and read back in a sample format: integer PCM of `bytes` (8-bit
// unsigned) or floats.
struct TFormat {
  const char* Name;
  int Bits;
  bool Floats;
  double Full;  // the value of the test signal, in the format's own steps
};

void Put(uint8_t* at, const TFormat& f, double v) {
  if (f.Floats && f.Bits == 32) {
    const auto x = static_cast<float>(v);
    std::memcpy(at, &x, 4);
  } else if (f.Floats) {
    std::memcpy(at, &v, 8);
  } else {
    const auto x = static_cast<int32_t>(f.Bits == 8 ? v + 128 : v);
    for (int i = 0; i < f.Bits / 8; ++i) at[i] = static_cast<uint8_t>(x >> (8 * i));
  }
}

double Get(const uint8_t* at, const TFormat& f) {
  if (f.Floats && f.Bits == 32) {
    float x;
    std::memcpy(&x, at, 4);
    return x;
  }
  if (f.Floats) {
    double x;
    std::memcpy(&x, at, 8);
    return x;
  }
  if (f.Bits == 8) return at[0] - 128.0;
  uint32_t raw = 0;
  for (int i = 0; i < f.Bits / 8; ++i) raw |= uint32_t{at[i]} << (8 * i);
  const int shift = 32 - f.Bits;
  return static_cast<int32_t>(raw << shift) >> shift;
}

// Ten stereo frames of a negative full value, faded in over 4 and out over 3, read in two
// blocks split inside the fade-out: each frame is the value times both ramps, within a step.
TEST(Fades, EveryFormatRampsFromAndToSilence) {
  const TFormat formats[] = {{"u8", 8, false, -100},       {"s16", 16, false, -30000},
                             {"s24", 24, false, -8000000}, {"s32", 32, false, -2000000000},
                             {"f32", 32, true, -0.9},      {"f64", 64, true, -0.9}};
  const TStretchFades fades{4, 3};
  for (const auto& f : formats) {
    SCOPED_TRACE(f.Name);
    const int bytes = f.Bits / 8;
    std::vector<uint8_t> data(static_cast<size_t>(10 * 2 * bytes));
    for (size_t s = 0; s < 20; ++s) Put(&data[s * static_cast<size_t>(bytes)], f, f.Full);
    const size_t split = static_cast<size_t>(8 * 2 * bytes);
    ApplyFades(data.data(), split, 2, f.Bits, f.Floats, 0, 10, fades);
    ApplyFades(data.data() + split, data.size() - split, 2, f.Bits, f.Floats, 8, 10, fades);
    for (int64_t frame = 0; frame < 10; ++frame) {
      const double want = f.Full * RampGain(frame, 4) * RampGain(9 - frame, 3);
      for (int channel = 0; channel < 2; ++channel)
        EXPECT_NEAR(Get(&data[static_cast<size_t>((frame * 2 + channel) * bytes)], f), want,
                    f.Floats ? 1e-6 : 1.0)
            << "frame " << frame;
    }
    EXPECT_EQ(Get(&data[0], f), 0.0);
    EXPECT_EQ(Get(&data[data.size() - static_cast<size_t>(bytes)], f), 0.0);
  }
}

// Equal power half way; a segment cut's file keeps its own first and last frames.
TEST(Fades, TheRampIsAQuarterSineAndJoinsFadeOnlyInside) {
  EXPECT_NEAR(RampGain(50, 100), std::sqrt(0.5), 1e-12);
  const auto joins = FadesAtJoins({10, 20}, 1000, 3);
  ASSERT_EQ(joins.size(), 3u);
  EXPECT_EQ(joins.front().In, 0);
  EXPECT_EQ(joins.back().Out, 0);
  EXPECT_EQ(joins[1].In + joins[1].Out, 30);
}

}  // namespace
