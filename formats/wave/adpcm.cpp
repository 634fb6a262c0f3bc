// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/wave/adpcm.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

// Working copy of one IMA channel in plain ints, so the inner loops stay in registers.
struct TImaChannel {
  int Predictor;
  int Index;

  explicit TImaChannel(const TImaChannelState& state)
      : Predictor(state.Predictor), Index(std::min<int>(state.StepIndex, kImaMaxStepIndex)) {}

  void StoreTo(TImaChannelState& state) const {
    state.Predictor = static_cast<int16_t>(Predictor);
    state.StepIndex = static_cast<uint8_t>(Index);
  }

  // The lower bound is -32767 rather than -32768 so that decoded audio stays symmetric.
  int16_t Expand(unsigned code) {
    const int step = kImaStepTable[Index];
    int diff = step >> 3;
    if (code & 4) diff += step;
    if (code & 2) diff += step >> 1;
    if (code & 1) diff += step >> 2;
    if (code & 8) diff = -diff;
    Predictor = std::clamp(Predictor + diff, -32767, 32767);
    Index = std::clamp(Index + kImaIndexTable[code], 0, kImaMaxStepIndex);
    return static_cast<int16_t>(Predictor);
  }

  unsigned Encode(int sample) {
    const int step = kImaStepTable[Index];
    int diff = sample - Predictor;
    unsigned code = 0;
    if (diff < 0) {
      code = 8;
      diff = -diff;
    }
    if (diff >= step) {
      code |= 4;
      diff -= step;
    }
    if (diff >= step >> 1) {
      code |= 2;
      diff -= step >> 1;
    }
    if (diff >= step >> 2) code |= 1;
    Expand(code);  // track exactly what a decoder will reconstruct
    return code;
  }
};

// Stereo IMA data comes in groups of 8 bytes: 4 bytes (8 codes) of the left channel, then 4 of
// the right, low nibble first.
constexpr std::size_t kImaStereoGroup = 8;

void DecodeImaStereoGroup(const uint8_t* group, std::size_t frames, TImaChannel& left,
                          TImaChannel& right, int16_t* dst) {
  for (std::size_t k = 0; k < frames; ++k) {
    const unsigned shift = (k & 1) * 4;
    dst[2 * k] = left.Expand((group[k / 2] >> shift) & 0x0F);
    dst[2 * k + 1] = right.Expand((group[4 + k / 2] >> shift) & 0x0F);
  }
}

void EncodeImaStereoGroup(const int16_t* src, std::size_t frames, TImaChannel& left,
                          TImaChannel& right, uint8_t* group) {
  for (std::size_t k = 0; k < frames; ++k) {
    const unsigned shift = (k & 1) * 4;
    group[k / 2] |= static_cast<uint8_t>(left.Encode(src[2 * k]) << shift);
    group[4 + k / 2] |= static_cast<uint8_t>(right.Encode(src[2 * k + 1]) << shift);
  }
}

void PutImaHeader(const TImaChannel& channel, uint8_t* header) {
  const auto p = static_cast<uint16_t>(channel.Predictor);
  header[0] = static_cast<uint8_t>(p & 0xFF);
  header[1] = static_cast<uint8_t>(p >> 8);
  header[2] = static_cast<uint8_t>(channel.Index);
  header[3] = 0;
}

// Deltas grow by up to 3x per code. The cap keeps delta * 768 and code * delta inside int on
// hostile input; real encoders stay far below it.
constexpr int kMsMaxDelta = INT_MAX / 768;

struct TMsChannel {
  int Coef1;
  int Coef2;
  int Delta;
  int Sample1;
  int Sample2;

  TMsChannel(const TMsChannelState& state, std::span<const TMsCoefficientPair> coefficients)
      : Delta(state.Delta), Sample1(state.Sample1), Sample2(state.Sample2) {
    // A predictor index beyond the file's table is damage; pair 0 keeps decoding sensible.
    TMsCoefficientPair pair;
    if (state.PredictorIndex < coefficients.size()) {
      pair = coefficients[state.PredictorIndex];
    } else if (!coefficients.empty()) {
      pair = coefficients[0];
    }
    Coef1 = pair.Coef1;
    Coef2 = pair.Coef2;
  }

  void StoreTo(TMsChannelState& state) const {
    state.Delta = static_cast<int16_t>(std::min(Delta, int{INT16_MAX}));
    state.Sample1 = static_cast<int16_t>(Sample1);
    state.Sample2 = static_cast<int16_t>(Sample2);
  }

  int16_t Expand(unsigned code) {
    // 64-bit sum: two products of int16 extremes add up to 2^31.
    const int predicted =
        static_cast<int>((int64_t{Sample1} * Coef1 + int64_t{Sample2} * Coef2) / 256);
    const int error = code >= 8 ? static_cast<int>(code) - 16 : static_cast<int>(code);
    const int sample = std::clamp(predicted + error * Delta, -32768, 32767);
    Delta = std::clamp(Delta * kMsAdaptationTable[code] / 256, 16, kMsMaxDelta);
    Sample2 = Sample1;
    Sample1 = sample;
    return static_cast<int16_t>(sample);
  }
};

// Each code byte gives two samples, the high nibble first: both of one channel in mono, left
// then right in stereo. Codes missing from a short block decode as zero.
void ExpandMsCodes(TMsChannel& high, TMsChannel& low, std::span<const uint8_t> codes,
                   std::size_t bytes, int16_t* dst) {
  for (std::size_t i = 0; i < bytes; ++i) {
    const unsigned b = i < codes.size() ? codes[i] : 0;
    dst[2 * i] = high.Expand(b >> 4);
    dst[2 * i + 1] = low.Expand(b & 0x0F);
  }
}

}  // namespace

std::size_t DecodeImaMono(TImaChannelState& state, std::span<const uint8_t> codes,
                          std::span<int16_t> out) {
  if (out.empty()) return 0;
  TImaChannel channel(state);
  out[0] = state.Predictor;
  const std::size_t bytes = std::min(codes.size(), (out.size() - 1) / 2);
  int16_t* dst = out.data() + 1;
  for (std::size_t i = 0; i < bytes; ++i) {
    const unsigned b = codes[i];
    dst[2 * i] = channel.Expand(b & 0x0F);
    dst[2 * i + 1] = channel.Expand(b >> 4);
  }
  channel.StoreTo(state);
  return 1 + 2 * bytes;
}

std::size_t DecodeImaStereo(TImaChannelState& left, TImaChannelState& right,
                            std::span<const uint8_t> codes, std::span<int16_t> out) {
  if (out.size() < 2) return 0;
  TImaChannel l(left);
  TImaChannel r(right);
  out[0] = left.Predictor;
  out[1] = right.Predictor;
  const std::size_t frames = std::min(codes.size(), out.size() / 2 - 1);
  int16_t* dst = out.data() + 2;
  const std::size_t fullGroups = frames / kImaStereoGroup;
  for (std::size_t g = 0; g < fullGroups; ++g) {
    DecodeImaStereoGroup(codes.data() + g * kImaStereoGroup, kImaStereoGroup, l, r,
                         dst + g * kImaStereoGroup * 2);
  }
  if (const std::size_t tail = frames % kImaStereoGroup; tail != 0) {
    // A block whose data is not a whole number of groups: decode from a zero-padded copy.
    uint8_t group[kImaStereoGroup] = {};
    const std::size_t offset = fullGroups * kImaStereoGroup;
    std::memcpy(group, codes.data() + offset, std::min(kImaStereoGroup, codes.size() - offset));
    DecodeImaStereoGroup(group, tail, l, r, dst + offset * 2);
  }
  l.StoreTo(left);
  r.StoreTo(right);
  return 1 + frames;
}

std::size_t DecodeMsMono(TMsChannelState& state, std::span<const TMsCoefficientPair> coefficients,
                         std::span<const uint8_t> codes, int count, std::span<int16_t> out) {
  if (out.size() < 2) return 0;
  TMsChannel channel(state, coefficients);
  out[0] = state.Sample2;
  out[1] = state.Sample1;
  const std::size_t bytes =
      std::min(static_cast<std::size_t>(std::max(count, 0)) / 2, (out.size() - 2) / 2);
  ExpandMsCodes(channel, channel, codes, bytes, out.data() + 2);
  channel.StoreTo(state);
  return (2 + 2 * bytes) * sizeof(int16_t);
}

std::size_t DecodeMsStereo(TMsChannelState& left, TMsChannelState& right,
                           std::span<const TMsCoefficientPair> coefficients,
                           std::span<const uint8_t> codes, int count, std::span<int16_t> out) {
  if (out.size() < 4) return 0;
  TMsChannel l(left, coefficients);
  TMsChannel r(right, coefficients);
  out[0] = left.Sample2;
  out[1] = right.Sample2;
  out[2] = left.Sample1;
  out[3] = right.Sample1;
  const std::size_t frames =
      std::min(static_cast<std::size_t>(std::max(count, 0)), (out.size() - 4) / 2);
  ExpandMsCodes(l, r, codes, frames, out.data() + 4);
  l.StoreTo(left);
  r.StoreTo(right);
  return (2 + frames) * 2 * sizeof(int16_t);
}

void EncodeImaMono(std::span<const int16_t> samples, TImaChannelState& state,
                   std::span<uint8_t> block) {
  std::fill(block.begin(), block.end(), uint8_t{0});
  if (block.size() < 4) return;
  TImaChannel channel(state);
  PutImaHeader(channel, block.data());
  const std::size_t count = std::min(samples.size(), 2 * (block.size() - 4));
  uint8_t* codes = block.data() + 4;
  for (std::size_t k = 0; k < count; ++k) {
    codes[k / 2] |= static_cast<uint8_t>(channel.Encode(samples[k]) << ((k & 1) * 4));
  }
  channel.StoreTo(state);
}

void EncodeImaStereo(std::span<const int16_t> frames, TImaChannelState& left,
                     TImaChannelState& right, std::span<uint8_t> block) {
  std::fill(block.begin(), block.end(), uint8_t{0});
  if (block.size() < 8) return;
  TImaChannel l(left);
  TImaChannel r(right);
  PutImaHeader(l, block.data());
  PutImaHeader(r, block.data() + 4);
  const std::size_t dataBytes = block.size() - 8;
  const std::size_t count = std::min(frames.size() / 2, dataBytes);
  uint8_t* codes = block.data() + 8;
  const std::size_t fullGroups = count / kImaStereoGroup;
  for (std::size_t g = 0; g < fullGroups; ++g) {
    EncodeImaStereoGroup(frames.data() + g * kImaStereoGroup * 2, kImaStereoGroup, l, r,
                         codes + g * kImaStereoGroup);
  }
  if (const std::size_t tail = count % kImaStereoGroup; tail != 0) {
    // A block size that is not a whole number of groups leaves no room for the right
    // channel's last codes; encode into a scratch group and keep what fits.
    uint8_t group[kImaStereoGroup] = {};
    const std::size_t offset = fullGroups * kImaStereoGroup;
    EncodeImaStereoGroup(frames.data() + offset * 2, tail, l, r, group);
    std::memcpy(codes + offset, group, std::min(kImaStereoGroup, dataBytes - offset));
  }
  l.StoreTo(left);
  r.StoreTo(right);
}

uint8_t ImaStartStepIndex(int difference) {
  const int wanted = difference < 0 ? -difference : difference;
  const auto at = std::lower_bound(kImaStepTable.begin(), kImaStepTable.end(), wanted);
  return static_cast<uint8_t>(
      std::min<std::ptrdiff_t>(at - kImaStepTable.begin(), kImaMaxStepIndex));
}

void EncodeImaBlock(std::span<const int16_t> frames, int channels, TImaChannelState& left,
                    TImaChannelState& right, std::span<uint8_t> block) {
  const auto first = static_cast<std::size_t>(channels);
  if (frames.size() < first) {
    std::fill(block.begin(), block.end(), uint8_t{0});
    return;
  }
  left.Predictor = frames[0];
  if (channels == 2) {
    right.Predictor = frames[1];
    EncodeImaStereo(frames.subspan(first), left, right, block);
  } else {
    EncodeImaMono(frames.subspan(first), left, block);
  }
}
