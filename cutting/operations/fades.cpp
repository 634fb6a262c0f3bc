// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/operations/fades.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "cutting/time/sample_frames.h"

namespace {

int64_t FadeFrames(int32_t ms, int rate) {
  return ms > 0 && rate > 0 ? MsToSampleFrame(ms, rate) : 0;
}

// One sample at `at`, scaled by `gain` in its own format.
void Scale(uint8_t* at, int bytes, bool floats, double gain) {
  if (floats) {
    if (bytes == 4) {
      float v;
      std::memcpy(&v, at, 4);
      v = static_cast<float>(v * gain);
      std::memcpy(at, &v, 4);
    } else {
      double v;
      std::memcpy(&v, at, 8);
      v *= gain;
      std::memcpy(at, &v, 8);
    }
    return;
  }
  if (bytes == 1) {  // unsigned, 128 is silence
    *at = static_cast<uint8_t>(std::lround(128 + (*at - 128) * gain));
    return;
  }
  uint32_t raw = 0;
  for (int i = 0; i < bytes; ++i) raw |= uint32_t{at[i]} << (8 * i);
  const int shift = 32 - 8 * bytes;
  const int32_t value = static_cast<int32_t>(raw << shift) >> shift;  // sign-extended
  const auto scaled = static_cast<uint32_t>(static_cast<int32_t>(std::lround(value * gain)));
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(scaled >> (8 * i));
}

}  // namespace

std::vector<TStretchFades> FadesOfCut(const TFades& fades, int rate) {
  return {{FadeFrames(fades.InMs, rate), FadeFrames(fades.OutMs, rate)}};
}

std::vector<TStretchFades> FadesAtJoins(const TFades& fades, int rate, size_t stretches) {
  std::vector<TStretchFades> result(stretches);
  for (size_t k = 0; k < stretches; ++k) {
    if (k > 0) result[k].In = FadeFrames(fades.InMs, rate);
    if (k + 1 < stretches) result[k].Out = FadeFrames(fades.OutMs, rate);
  }
  return result;
}

double RampGain(int64_t index, int64_t length) {
  if (length <= 0 || index >= length) return 1.0;
  // Past the frames a stretch was to hold (a compressed source's last frame of slack): silent.
  if (index < 0) return 0.0;
  return std::sin(std::numbers::pi / 2 * static_cast<double>(index) / static_cast<double>(length));
}

void ApplyFades(uint8_t* data, size_t bytes, int channels, int bitsPerSample, bool floats,
                int64_t first, int64_t frames, const TStretchFades& fades) {
  const int sampleBytes = bitsPerSample / 8;
  if (channels <= 0 || sampleBytes <= 0 || sampleBytes > 8) return;
  const size_t frameBytes = static_cast<size_t>(sampleBytes) * static_cast<size_t>(channels);
  const size_t samples = bytes / static_cast<size_t>(sampleBytes);
  for (size_t s = 0; s < samples; ++s) {
    const int64_t frame =
        first + static_cast<int64_t>(s * static_cast<size_t>(sampleBytes) / frameBytes);
    const double gain = RampGain(frame, fades.In) * RampGain(frames - 1 - frame, fades.Out);
    if (gain != 1.0) Scale(data + s * static_cast<size_t>(sampleBytes), sampleBytes, floats, gain);
  }
}
