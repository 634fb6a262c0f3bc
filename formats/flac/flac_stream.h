// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "pipeline/au_stream.h"

// The parts of a FLAC stream a frame copy needs: the STREAMINFO block, where the frames
// begin, and the header of each frame.

struct TFlacStreamInfo {
  uint32_t MinBlockSize = 0, MaxBlockSize = 0;
  uint32_t MinFrameSize = 0, MaxFrameSize = 0;  // 0: not known
  uint32_t SampleRate = 0;
  uint32_t Channels = 0;
  uint32_t BitsPerSample = 0;
  uint64_t TotalSamples = 0;  // 0: not known
  std::array<uint8_t, 16> Md5{};
};

constexpr size_t kFlacStreamInfoBytes = 34;

// The 34 bytes of a STREAMINFO block's body; nothing when they hold no usable stream (no
// rate, a block size above the maximum the frames can say).
std::optional<TFlacStreamInfo> ParseFlacStreamInfo(const uint8_t* body);
std::array<uint8_t, kFlacStreamInfoBytes> FlacStreamInfoBytes(const TFlacStreamInfo& info);

struct TFlacStart {
  TFlacStreamInfo Info;
  std::array<uint8_t, kFlacStreamInfoBytes> InfoBytes{};  // as the file holds them
  int64_t AudioOffset = 0;  // the byte after the last metadata block: the first frame
};

// Reads the stream marker and walks the metadata blocks; an ID3v2 tag before the marker is
// passed over, as decoders do. Raises EAuException with the reason when the stream is no
// FLAC stream or its metadata is cut short.
TFlacStart ReadFlacStart(TAuStream& stream);

enum class TFlacChannels : uint8_t { Independent, LeftSide, RightSide, MidSide };

struct TFlacFrameHeader {
  bool VariableBlockSize = false;  // the number is a sample number, else a frame number
  uint64_t Number = 0;
  uint32_t BlockSize = 0;
  uint32_t SampleRate = 0;     // 0: the STREAMINFO's
  uint32_t BitsPerSample = 0;  // 0: the STREAMINFO's
  uint32_t Channels = 0;
  TFlacChannels Assignment = TFlacChannels::Independent;
  size_t NumberOffset = 0;  // where the coded number starts (always 4)
  size_t NumberBytes = 0;   // its length in bytes, 1 to 7
  size_t Bytes = 0;         // the whole header with its CRC-8
};

// The longest frame header: sync and codes (4), a 7-byte number, 16-bit block size and rate
// trailers, the CRC-8.
constexpr size_t kFlacMaxHeaderBytes = 16;

// The frame header at `data` (`count` bytes readable): nothing unless the sync code, the
// reserved bits, every code and the CRC-8 are good.
std::optional<TFlacFrameHeader> ParseFlacFrameHeader(const uint8_t* data, size_t count);

// The number as a frame header codes it (the UTF-8 scheme stretched to 36 bits), appended.
void AppendFlacNumber(std::vector<uint8_t>& out, uint64_t number);

// The most bytes a frame of `blockSize` samples can take: every subframe verbatim, one
// channel a bit wider for its side signal, plus header and footer. A frame that has not
// ended by then is damaged.
size_t FlacFrameBytesLimit(uint32_t blockSize, uint32_t channels, uint32_t bitsPerSample);
