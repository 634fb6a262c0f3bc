// SPDX-License-Identifier: GPL-3.0-or-later
// The converting source in front of a mixer's second input: rate, channels and sample width
// of another source, with the length and pitch kept.

#include "mix/converting_input.h"

#include <gtest/gtest.h>

#include <cmath>

#include "mix_test_support.h"

using namespace mix_test;

namespace {

// `frames` frames of a sine of `hz` at `rate`, the same in every channel, at half scale.
std::vector<int64_t> Sine(int64_t frames, int channels, int rate, double hz, int bits) {
  const double scale = bits == 8 ? 63 : std::ldexp(1.0, bits - 2);
  return Frames(frames, channels, [&](int64_t f, int) {
    const auto v = std::lround(scale * std::sin(2 * M_PI * hz * f / rate));
    return bits == 8 ? v + 128 : v;
  });
}

// Rising zero crossings of channel `channel` per second.
double Pitch(const std::vector<int64_t>& values, int channels, int channel, int rate, int bits) {
  const int64_t zero = bits == 8 ? 128 : 0;
  const std::size_t frames = values.size() / channels;
  int rises = 0;
  for (std::size_t f = 1; f < frames; ++f)
    rises += values[(f - 1) * channels + channel] < zero && values[f * channels + channel] >= zero;
  return rises * static_cast<double>(rate) / static_cast<double>(frames);
}

TEST(ConvertingInput, ConvertsRateChannelsAndWidthKeepingLengthAndPitch) {
  const struct {
    int InRate, InChannels, InBits, OutRate, OutChannels, OutBits;
  } rows[] = {
      {22050, 1, 8, 44100, 2, 16},  {44100, 2, 16, 22050, 1, 8},  {8000, 1, 24, 48000, 2, 24},
      {48000, 2, 32, 44100, 2, 16}, {16000, 2, 16, 16000, 1, 16},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::to_string(r.InRate) + "/" + std::to_string(r.InChannels) + "/" +
                 std::to_string(r.InBits) + " to " + std::to_string(r.OutRate) + "/" +
                 std::to_string(r.OutChannels) + "/" + std::to_string(r.OutBits));
    TMemoryIn in(r.InBits, r.InChannels,
                 Pcm(r.InBits / 8, Sine(r.InRate, r.InChannels, r.InRate, 500, r.InBits)),
                 r.InRate);
    in.MaxBlock = 1001;  // pieces that end inside a frame
    TConvertingInput converter;
    converter.SetInput(&in);
    converter.SetOutputFormat(r.OutRate, r.OutChannels, r.OutBits);
    EXPECT_EQ(converter.SampleRate(), r.OutRate);
    EXPECT_EQ(converter.Channels(), r.OutChannels);
    EXPECT_EQ(converter.BitsPerSample(), r.OutBits);
    converter.StartRead();
    const int64_t size = converter.Size();
    const auto out = Values(r.OutBits / 8, ReadToEnd(converter, 4096));
    EXPECT_EQ(converter.Position(), static_cast<int64_t>(out.size()) * (r.OutBits / 8));
    converter.EndRead();
    EXPECT_EQ(in.Ends, 1);
    EXPECT_EQ(static_cast<int64_t>(out.size()), size / (r.OutBits / 8)) << "as announced";
    EXPECT_EQ(out.size(), static_cast<std::size_t>(r.OutRate * r.OutChannels)) << "one second";
    for (int c = 0; c < r.OutChannels; ++c)
      EXPECT_NEAR(Pitch(out, r.OutChannels, c, r.OutRate, r.OutBits), 500, 3);
    const int64_t zero = r.OutBits == 8 ? 128 : 0;
    int64_t peak = 0;
    for (const int64_t v : out) peak = std::max(peak, std::abs(v - zero));
    const double full = r.OutBits == 8 ? 128 : std::ldexp(1.0, r.OutBits - 1);
    EXPECT_NEAR(peak / full, 0.5, 0.03) << "the level is kept, mono or not";
  }
}

TEST(ConvertingInput, PassesTheSameFormatOnUntouchedAndRefusesChangesWhileBusy) {
  const auto pcm = Pcm(2, Frames(5000, 2, [](int64_t f, int c) { return f * 3 - c; }));
  TMemoryIn in(16, 2, pcm, 44100);
  TConvertingInput converter;
  converter.SetInput(&in);
  converter.SetOutputFormatOf(in);
  converter.StartRead();
  EXPECT_THROW(converter.SetInput(nullptr), EAuException);
  EXPECT_EQ(ReadToEnd(converter, 777), pcm);
  converter.EndRead();
  converter.SetInput(nullptr);
  EXPECT_THROW(converter.StartRead(), EAuException);
}

}  // namespace
