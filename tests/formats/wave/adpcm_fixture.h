// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Just enough RIFF WAVE parsing to reach the ADPCM blocks of a test fixture: the `fmt ` and
// `data` chunks. The real reader lives in the library; the tests keep their own so that the
// codec tests do not depend on it.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "formats/wave/adpcm.h"

struct AdpcmFixture {
  uint16_t FormatTag = 0;  // 0x11 IMA, 2 Microsoft
  uint16_t Channels = 0;
  uint32_t SampleRate = 0;
  uint16_t BlockAlign = 0;
  uint16_t BitsPerSample = 0;
  uint16_t SamplesPerBlock = 0;
  std::vector<TMsCoefficientPair> Coefficients;
  std::vector<uint8_t> Data;

  std::size_t BlockCount() const { return (Data.size() + BlockAlign - 1) / BlockAlign; }
  // Block `index`; the last one may be shorter than the block align.
  std::span<const uint8_t> Block(std::size_t index) const;
};

std::optional<AdpcmFixture> ReadAdpcmFixture(const std::filesystem::path& path);

// Our decoders applied to one block as the WAV reader will apply them: the header parsed into
// channel states, a short block padded with zero bytes. Returns interleaved samples.
std::vector<int16_t> DecodeBlockWithOurs(const AdpcmFixture& format,
                                         std::span<const uint8_t> block);
