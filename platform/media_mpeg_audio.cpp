// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_mpeg_audio.h"

#include <algorithm>

#include <array>
#include <cstring>

namespace trimora::media {
namespace {

// kbit/s by [MPEG-1 or not][layer - 1][index]
constexpr std::array<std::array<std::array<int, 16>, 3>, 2> kBitrates = {{
    {{{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}}},
    {{{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}},
}};
constexpr std::array<int, 3> kMpeg1Rates = {44100, 48000, 32000};

uint32_t BigEndian32(std::span<const uint8_t> b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) |
         uint32_t{b[at + 3]};
}

bool HasText(std::span<const uint8_t> b, size_t at, const char* text) {
  const size_t n = std::strlen(text);
  return at + n <= b.size() && std::memcmp(b.data() + at, text, n) == 0;
}

}  // namespace

bool HasCrc(const TMpegHeader& header) {
  return ((header.Word >> 16) & 1) == 0;
}

int SideInfoBytes(const TMpegHeader& h) {
  const bool mono = h.Channels == 1;
  if (h.Version == 0) return mono ? 17 : 32;
  return mono ? 9 : 17;
}

int MainDataBegin(std::span<const uint8_t> frame, const TMpegHeader& header) {
  const size_t at = HasCrc(header) ? 6 : 4;
  if (frame.size() < at + 2) return -1;
  // Nine bits in MPEG-1, eight in MPEG-2 and 2.5.
  const int bits = (frame[at] << 8) | frame[at + 1];
  return header.Version == 0 ? bits >> 7 : bits >> 8;
}

bool IsFreeFormatHeader(uint32_t word) {
  const uint32_t versionBits = (word >> 19) & 3;
  const uint32_t layerBits = (word >> 17) & 3;
  return (word & 0xFFE00000u) == 0xFFE00000u && versionBits != 1 && layerBits != 0 &&
         ((word >> 12) & 15) == 0 && ((word >> 10) & 3) != 3;
}

std::optional<TMpegHeader> ParseMpegHeader(uint32_t word) {
  if ((word & 0xFFE00000u) != 0xFFE00000u) return std::nullopt;
  const uint32_t versionBits = (word >> 19) & 3;
  const uint32_t layerBits = (word >> 17) & 3;
  const uint32_t bitrateIndex = (word >> 12) & 15;
  const uint32_t rateIndex = (word >> 10) & 3;
  if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
      rateIndex == 3)
    return std::nullopt;

  TMpegHeader h;
  h.Word = word;
  h.Version = versionBits == 3 ? 0 : (versionBits == 2 ? 1 : 2);
  h.Layer = 4 - static_cast<int>(layerBits);
  h.Bitrate = kBitrates[h.Version == 0 ? 0 : 1][h.Layer - 1][bitrateIndex] * 1000;
  h.SampleRate = kMpeg1Rates[rateIndex] >> h.Version;
  h.Channels = ((word >> 6) & 3) == 3 ? 1 : 2;
  const int padding = static_cast<int>((word >> 9) & 1);
  if (h.Layer == 1) {
    h.SamplesPerFrame = 384;
    h.FrameBytes = (12 * h.Bitrate / h.SampleRate + padding) * 4;
  } else if (h.Layer == 2 || h.Version == 0) {
    h.SamplesPerFrame = 1152;
    h.FrameBytes = 144 * h.Bitrate / h.SampleRate + padding;
  } else {
    h.SamplesPerFrame = 576;
    h.FrameBytes = 72 * h.Bitrate / h.SampleRate + padding;
  }
  return h;
}

std::optional<TMpegHeader> ParseMpegHeader(std::span<const uint8_t> bytes) {
  if (bytes.size() < 4) return std::nullopt;
  return ParseMpegHeader(BigEndian32(bytes, 0));
}

bool SameMpegStream(const TMpegHeader& a, const TMpegHeader& b) {
  return (a.Word & 0xFFFE0C00u) == (b.Word & 0xFFFE0C00u) && a.Channels == b.Channels;
}

TMpegVbrTag ParseMpegVbrTag(std::span<const uint8_t> frame, const TMpegHeader& header) {
  TMpegVbrTag tag;
  // The Xing tag sits after the header and the side information.
  size_t at = 4 + static_cast<size_t>(SideInfoBytes(header));
  const bool xing = HasText(frame, at, "Xing");
  if (xing || HasText(frame, at, "Info")) {
    tag.Kind = xing ? TMpegVbrTag::TKind::Xing : TMpegVbrTag::TKind::Info;
    if (at + 8 > frame.size()) return tag;
    const uint32_t flags = BigEndian32(frame, at + 4);
    at += 8;
    if ((flags & 1) && at + 4 <= frame.size()) tag.Frames = BigEndian32(frame, at);
    if (flags & 1) at += 4;
    if ((flags & 2) && at + 4 <= frame.size()) tag.Bytes = BigEndian32(frame, at);
    if (flags & 2) at += 4;
    if (flags & 4) at += 100;  // seek table
    if ((flags & 8) && at + 4 <= frame.size()) tag.Quality = BigEndian32(frame, at);
    if (flags & 8) at += 4;
    // LAME's extension: a 9-byte encoder name, then 12 bytes of gains and flags, then the
    // delay and padding as two 12-bit numbers. Only encoders known to fill it are believed.
    const size_t delays = at + 21;
    if (delays + 3 <= frame.size() &&
        (HasText(frame, at, "LAME") || HasText(frame, at, "Lavf") || HasText(frame, at, "Lavc"))) {
      const uint32_t v = (uint32_t{frame[delays]} << 16) | (uint32_t{frame[delays + 1]} << 8) |
                         uint32_t{frame[delays + 2]};
      tag.HasEncoderDelays = true;
      tag.Encoder.assign(reinterpret_cast<const char*>(frame.data() + at), 9);
      tag.Delay = v >> 12;
      tag.Padding = v & 4095;
      tag.VbrMethod = frame[at + 9] & 0x0F;
    }
    return tag;
  }
  // VBRI sits at a fixed place after a 32-byte gap: version, delay, quality, bytes, frames.
  if (HasText(frame, 36, "VBRI") && frame.size() >= 36 + 18 && frame[40] == 0 && frame[41] == 1) {
    tag.Kind = TMpegVbrTag::TKind::Vbri;
    tag.Bytes = BigEndian32(frame, 36 + 10);
    tag.Frames = BigEndian32(frame, 36 + 14);
  }
  return tag;
}

std::optional<int> LameVbrQuality(const TMpegVbrTag& tag) {
  const bool vbr = tag.VbrMethod >= 3 && tag.VbrMethod <= 5;
  if (!vbr || !tag.Encoder.starts_with("LAME") || !tag.Quality || *tag.Quality > 100)
    return std::nullopt;
  return std::min<int>(9, static_cast<int>(100 - *tag.Quality) / 10);
}

// The tags/ folder has the full ID3v2 header parser, but the media runtime lies below it and
// needs only the length, so it reads the header itself: any tag with a synchsafe size is
// passed over, whatever its version, so that the audio after it is still found.
int64_t Id3v2TagLength(std::span<const uint8_t> bytes) {
  if (bytes.size() < 10 || !HasText(bytes, 0, "ID3")) return 0;
  for (size_t i = 6; i < 10; ++i)
    if (bytes[i] & 0x80) return 0;  // not a syncsafe size: not a tag
  const int64_t size = (int64_t{bytes[6]} << 21) | (int64_t{bytes[7]} << 14) |
                       (int64_t{bytes[8]} << 7) | int64_t{bytes[9]};
  const bool footer = (bytes[5] & 0x10) != 0;
  return 10 + size + (footer ? 10 : 0);
}

}  // namespace trimora::media
