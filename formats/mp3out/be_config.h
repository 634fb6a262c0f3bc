// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/mp3out/mp3_settings.h"

// The encoder's configuration record as its exported interface defines it: 331 bytes,
// packed, little-endian. Booleans are 32-bit words, true being 0xFFFFFFFF as they are stored
// by the settings. Fixed-width fields only: natural alignment or a wider enum would move
// the offsets the encoder reads.
#pragma pack(push, 1)
struct BE_CONFIG {
  uint32_t dwConfig;
  uint32_t dwStructVersion;
  uint32_t dwStructSize;
  uint32_t dwSampleRate;
  uint32_t dwReSampleRate;
  int32_t nMode;
  uint32_t dwBitrate;
  uint32_t dwMaxBitrate;
  int32_t nPreset;
  uint32_t dwMpegVersion;
  uint32_t dwPsyModel;
  uint32_t dwEmphasis;
  uint32_t bPrivate;
  uint32_t bCRC;
  uint32_t bCopyright;
  uint32_t bOriginal;
  uint32_t bWriteVBRHeader;
  uint32_t bEnableVBR;
  int32_t nVBRQuality;
  uint32_t dwVbrAbr_bps;
  int32_t nVbrMethod;
  uint32_t bNoRes;
  uint32_t bStrictIso;
  uint16_t nQuality;
  uint8_t btReserved[237];
};
#pragma pack(pop)

static_assert(sizeof(BE_CONFIG) == 331, "the encoder reads exactly 331 bytes");
static_assert(offsetof(BE_CONFIG, nMode) == 20 && offsetof(BE_CONFIG, dwBitrate) == 24);
static_assert(offsetof(BE_CONFIG, bCRC) == 52 && offsetof(BE_CONFIG, bWriteVBRHeader) == 64);
static_assert(offsetof(BE_CONFIG, dwVbrAbr_bps) == 76 && offsetof(BE_CONFIG, bNoRes) == 84);
static_assert(offsetof(BE_CONFIG, nQuality) == 92 && offsetof(BE_CONFIG, btReserved) == 94);

inline constexpr uint32_t BE_CONFIG_LAME = 256;
inline constexpr uint32_t BE_TRUE = 0xFFFFFFFF;

// nMode values.
inline constexpr int32_t BE_MP3_MODE_STEREO = 0;
inline constexpr int32_t BE_MP3_MODE_JSTEREO = 1;
inline constexpr int32_t BE_MP3_MODE_DUALCHANNEL = 2;
inline constexpr int32_t BE_MP3_MODE_MONO = 3;

// nVbrMethod values.
inline constexpr int32_t VBR_METHOD_OLD = 1;
inline constexpr int32_t VBR_METHOD_NEW = 2;
inline constexpr int32_t VBR_METHOD_MTRH = 3;
inline constexpr int32_t VBR_METHOD_ABR = 4;

// The record the MP3 sink hands the encoder for a source of `sampleRate` Hz and `channels`
// channels. Every field not set from the settings is zero.
BE_CONFIG MakeBeConfig(const TMP3Settings& settings, uint32_t sampleRate, int channels);
