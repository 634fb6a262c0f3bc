// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "tags/au_tags.h"

// Byte layouts of ID3v2: the tag header, frame headers and text frames.
namespace id3v2_layout {

inline constexpr std::size_t kHeaderSize = 10;
inline constexpr std::size_t kFooterSize = 10;
// A synchsafe number carries 28 bits.
inline constexpr std::uint32_t kMaxSynchsafe = (1u << 28) - 1;

struct THeader {
  int version = 0;  // major version: 2, 3 or 4
  bool footer = false;
  std::uint32_t size = 0;  // without header and footer
  // Header, body and footer: the bytes from the tag's start to the first byte after it.
  std::int64_t TotalLength() const {
    return std::int64_t{size} + kHeaderSize + (footer ? kFooterSize : 0);
  }
};

// Checks a 10-byte tag header: "ID3", a known version with only its defined flag bits,
// a revision other than 0xFF and a synchsafe size.
std::optional<THeader> ParseHeader(std::span<const std::byte, kHeaderSize> bytes);
std::array<std::byte, kHeaderSize> MakeV4Header(std::uint32_t size);

std::uint32_t ReadSynchsafe(std::span<const std::byte, 4> bytes);
std::array<std::byte, 4> MakeSynchsafe(std::uint32_t value);

// Frame header lengths: 6 bytes in version 2, 10 bytes in versions 3 and 4.
std::size_t FrameHeaderSize(int version);
// The data size of a frame header. Version 4 stores it synchsafe; a size with a high bit
// set cannot be synchsafe, so it is taken as plain big-endian as some writers store it.
std::uint32_t FrameDataSize(std::span<const std::byte> frameHeader, int version);

// Decodes a text frame's data (encoding byte, then text). `data` must be followed by at
// least one zero byte in the span so that a text without terminator still ends. Encodings
// 0 (narrow text), 1 (UTF-16, optional little-endian mark) and 3 (UTF-8) are read; any other
// gives nothing.
std::optional<TAuTagValue> DecodeTextFrame(std::span<const std::byte> data);

// Appends a version 4 frame: identifier, synchsafe data size, zero flags, encoding byte,
// text without terminator.
void AppendV4TextFrame(std::vector<std::byte>& out, std::string_view id, std::uint8_t encoding,
                       std::string_view text);

}  // namespace id3v2_layout
