// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The headers the WAV writer produces, byte for byte, and the little-endian field access
// it patches them with. Sizes are the low 32 bits of the caller's 64-bit values.

#include <array>
#include <cstdint>

inline constexpr int kPcmHeaderLength = 44;
inline constexpr int kExtensibleHeaderLength = 68;
inline constexpr int kImaHeaderLength = 60;
inline constexpr int kFloatHeaderLength = 58;

// Offsets of the fields that the end of a run rewrites.
inline constexpr int kRiffSizeOffset = 4;
inline constexpr int kPcmDataSizeOffset = 40;
inline constexpr int kExtensibleDataSizeOffset = 64;
inline constexpr int kImaFactOffset = 48;
inline constexpr int kImaDataSizeOffset = 56;
inline constexpr int kFloatFactOffset = 46;
inline constexpr int kFloatDataSizeOffset = 54;

// Every size field is 32 bits, so no file we write may be longer than this.
inline constexpr int64_t kMaxWaveFileLength = 0xFFFFFFFF;

struct TPcmFormat {
  uint16_t Channels = 0;
  uint32_t SampleRate = 0;
  uint16_t BitsPerSample = 0;
};

void PutUInt16(uint8_t* at, uint16_t value);
void PutUInt32(uint8_t* at, uint32_t value);
uint16_t GetUInt16(const uint8_t* at);
uint32_t GetUInt32(const uint8_t* at);

// Integer PCM with the classic `fmt ` chunk of 16 bytes. The RIFF size counts the pad byte
// that follows a data chunk of odd size.
std::array<uint8_t, kPcmHeaderLength> MakePcmHeader(const TPcmFormat& format, int64_t dataSize);

// The extensible `fmt ` chunk, for more than two channels or more than 16 bits, which
// readers expect to carry a channel mask and the valid bits: integer PCM, or IEEE float
// with `isFloat`. The speaker positions are `channelMask`.
std::array<uint8_t, kExtensibleHeaderLength> MakeExtensibleHeader(const TPcmFormat& format,
                                                                  int64_t dataSize,
                                                                  uint32_t channelMask,
                                                                  bool isFloat = false);

// IEEE float (format tag 3, 32 or 64 bits) with the 18-byte `fmt ` chunk and the `fact`
// frame count that non-PCM data carries: the frames of `dataSize`.
std::array<uint8_t, kFloatHeaderLength> MakeFloatHeader(const TPcmFormat& format, int64_t dataSize);

// The speaker positions of the extensible header: the first n positions of the standard
// order (1 channel: front left), none beyond the 18 defined ones.
uint32_t ChannelMask(uint16_t channels);

// Frames per IMA ADPCM block: the header frame plus two codes per data byte and channel.
int32_t ImaSamplesPerBlock(uint16_t blockSize, uint16_t channels);

// The bytes of an IMA block that holds `frames` of its frames: the whole block when they fill
// it, else the block header and the groups of 4 code bytes per channel (8 frames) that hold
// them, so that a decoder that goes by the bytes present (FFmpeg, sox) decodes no block of
// padding after the last frame.
int32_t ImaBlockBytes(int64_t frames, uint16_t blockSize, uint16_t channels);

// Whether the IMA encoder can fill blocks of this size for 1 or 2 channels: room for codes
// after the block header, whole groups of 4 bytes per channel in stereo, and a frame count
// that fits the 16-bit field of the header.
bool ImaBlockSizeFits(uint16_t blockSize, uint16_t channels);

// IMA ADPCM with a `fact` chunk. `frames` is the frame count of the input; the data size
// promised is that count in whole blocks, rounded to the nearest block.
std::array<uint8_t, kImaHeaderLength> MakeImaHeader(const TPcmFormat& format, uint16_t blockSize,
                                                    int64_t frames);
