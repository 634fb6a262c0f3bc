// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The RIFF WAVE header scan shared by the reader and the MP3-in-WAV converter: the kinds of
// WAV data, the chunk-id match, and the scan from "RIFF" to the first byte of `data`.
//
// Layout: "RIFF", uint32 length - 8, "WAVE", then chunks of a 4-byte id, a uint32 body size
// and the body. All integers are little-endian.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/wave/adpcm.h"
#include "formats/wave/wave_info.h"
#include "pipeline/au_stream.h"

// The kinds of WAV data. The ordinals are fixed: the writer's WavType setting uses them too.
enum TWavType : uint8_t {
  wtUnsupported = 0,
  wtPCM = 1,           // format tag 1
  wtDVIADPCM = 2,      // format tag 0x11, IMA ADPCM, 4 bits per sample
  wtMSADPCM = 3,       // format tag 2
  wtACM = 4,           // format tag 0x55, MPEG Layer-3, converted to PCM as a whole
  wtIEEEFloat = 5,     // format tag 3, 32- or 64-bit samples
  wtExtPCM = 6,        // format tag 0xFFFE, PCM subformat
  wtExtIEEEFloat = 7,  // format tag 0xFFFE, IEEE float subformat
};

// A short readable name of the kind, for people: "PCM", "IMA ADPCM", "MP3 (converted)".
std::string_view WavTypeName(TWavType type);

inline constexpr int kMaxMsCoefficientPairs = 32;
// The scan looks no further than this into a file for "RIFF", and reads no longer `fmt `.
inline constexpr uint32_t kWaveHeaderLimit = 65535;
// The chunks the scan walks before it gives up on finding the data.
inline constexpr int kMaxWaveChunks = 4096;
// The sample rates a header may state: anything beyond is a damaged or hostile file, whose
// length and bit rate would come out absurd.
inline constexpr uint32_t kMinWaveRate = 1;
inline constexpr uint32_t kMaxWaveRate = 768000;

// The IMA ADPCM part of the `fmt ` and `fact` chunks.
struct TImaFormat {
  uint16_t BlockAlign = 0;       // bytes per block
  uint16_t SamplesPerBlock = 0;  // as the file states it; the decoder derives its own
  uint32_t TotalFrames = 0;      // from `fact`
};

// The Microsoft ADPCM (and MPEG Layer-3) part of the `fmt ` and `fact` chunks.
struct TMsFormat {
  uint16_t BlockAlign = 0;
  uint16_t SamplesPerBlock = 0;
  uint32_t TotalFrames = 0;
  // The pairs the body really holds, at most 32 whatever the count field says, so that
  // a block's predictor index can be checked against a table that exists.
  uint16_t NumCoef = 0;
  std::array<TMsCoefficientPair, kMaxMsCoefficientPairs> Coefficients{};
};

// What the scan found. Channels, rate and bits are those of the `fmt ` chunk as stored.
struct TWaveHeader {
  TWavType WavType = wtUnsupported;
  uint16_t Channels = 0;
  uint32_t SampleRate = 0;
  uint16_t BitsPerSample = 0;
  uint16_t BlockAlign = 0;  // as stored, for every kind
  // The speaker positions of the extensible form, when its extension holds them.
  bool HasChannelMask = false;
  uint32_t ChannelMask = 0;
  TImaFormat ImaFormat;
  TMsFormat MsFormat;
  uint32_t DataSize = 0;      // the `data` chunk's declared body size
  uint32_t HeaderLength = 0;  // bytes from where the scan started to the first data byte
  // Bytes from where the scan started to the `fact` frame count; 0 when the file has no
  // `fact` chunk of at least 4 bytes before its data.
  uint32_t FactOffset = 0;
  // The INFO texts of the chunks before the data.
  TWaveInfo Info;
  // Why a file was refused, for people ("WAV data of format 6 (A-law) is not supported");
  // empty on success and when the bytes are no RIFF WAVE file at all.
  std::string Refusal;
};

// Scans `stream` from its position for "RIFF", "WAVE", `fmt `, `fact` (ADPCM and MPEG
// Layer-3 only, required there) and `data`, passing over bytes before "RIFF" (within the first
// kWaveHeaderLimit bytes) and any other chunk, of whatever size, by seeking past it. A W64
// file, more than kMaxWaveChunks chunks before `data`, a `fmt ` longer than kWaveHeaderLimit,
// a format tag or subformat of no known kind, a rate outside kMinWaveRate..kMaxWaveRate, no
// channels, a block size that cannot hold what the format puts in a block, and the end of the
// stream before `data` give wtUnsupported, with the reason in Refusal. On success the stream is left
// at the first data byte, and the INFO texts of the chunks passed over are in Info.
TWaveHeader ScanWaveHeader(TAuStream& stream);
