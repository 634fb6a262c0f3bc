// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp3out/info_tag_frame.h"

#include <algorithm>
#include <array>

namespace {

// Layer III bit rates in kbps by bit-rate index, MPEG-1 and MPEG-2/2.5.
constexpr std::array<int, 15> kMpeg1Kbps = {0,   32,  40,  48,  56,  64,  80, 96,
                                            112, 128, 160, 192, 224, 256, 320};
constexpr std::array<int, 15> kMpeg2Kbps = {0,  8,  16, 24,  32,  40,  48, 56,
                                            64, 80, 96, 112, 128, 144, 160};
constexpr std::array<int, 3> kMpeg1Rates = {44100, 48000, 32000};

// Bytes of the "Info" tag (with its seek table and quality) and of LAME's extension.
constexpr int kXingBytes = 120;
constexpr int kExtensionBytes = 36;
constexpr uint32_t kXingFlags = 0x0F;  // frames, bytes, seek table and quality present

struct TLayout {
  bool Mpeg1 = false;
  int Rate = 0;
  int SideInfo = 0;
};

// Nothing usable (Rate 0) unless the word is an MPEG layer III header.
TLayout LayoutOf(uint32_t header) {
  const uint32_t version = (header >> 19) & 3;
  const uint32_t layer = (header >> 17) & 3;
  const uint32_t rateIndex = (header >> 10) & 3;
  if ((header & 0xFFE00000u) != 0xFFE00000u || version == 1 || layer != 1 || rateIndex == 3)
    return {};
  TLayout layout;
  layout.Mpeg1 = version == 3;
  const int shift = version == 3 ? 0 : version == 2 ? 1 : 2;
  layout.Rate = kMpeg1Rates[rateIndex] >> shift;
  const bool mono = ((header >> 6) & 3) == 3;
  layout.SideInfo = layout.Mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  return layout;
}

int FrameBytes(const TLayout& layout, int kbps) {
  return (layout.Mpeg1 ? 144000 : 72000) * kbps / layout.Rate;
}

// The stream's own bit-rate index when its frames hold the header, the side information and
// the tag (as the encoder's own tag frame would be), else the lowest index whose frames do.
int TagBitrateIndex(const TLayout& layout, uint32_t header) {
  if (layout.Rate == 0) return 0;
  const auto& kbps = layout.Mpeg1 ? kMpeg1Kbps : kMpeg2Kbps;
  const int needed = 4 + layout.SideInfo + kXingBytes + kExtensionBytes;
  const auto own = static_cast<int>((header >> 12) & 0xF);
  if (own > 0 && own < static_cast<int>(kbps.size()) &&
      FrameBytes(layout, kbps[static_cast<size_t>(own)]) >= needed)
    return own;
  for (int index = 1; index < static_cast<int>(kbps.size()); ++index)
    if (FrameBytes(layout, kbps[static_cast<size_t>(index)]) >= needed) return index;
  return 0;
}

void PutBig32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

void PutBig16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value >> 8);
  at[1] = static_cast<uint8_t>(value);
}

// Slicing by 8: table k holds the CRC-16 (0x8005 reflected, 0xA001) of a byte value followed
// by k zero bytes, so that eight bytes go in with eight independent look-ups.
constexpr std::array<std::array<uint16_t, 256>, 8> kCrc16Tables = [] {
  std::array<std::array<uint16_t, 256>, 8> tables{};
  for (uint32_t value = 0; value < 256; ++value) {
    uint32_t crc = value;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    tables[0][value] = static_cast<uint16_t>(crc);
  }
  for (size_t k = 1; k < tables.size(); ++k)
    for (size_t value = 0; value < 256; ++value) {
      const uint16_t previous = tables[k - 1][value];
      tables[k][value] = static_cast<uint16_t>((previous >> 8) ^ tables[0][previous & 0xFF]);
    }
  return tables;
}();

}  // namespace

uint16_t TagCrc16(std::span<const uint8_t> bytes, uint16_t crc) {
  // The music field covers every byte of a cut's frames: a bitwise loop cost a lossless MP3
  // cut half of its time.
  const auto& t = kCrc16Tables;
  const uint8_t* p = bytes.data();
  size_t left = bytes.size();
  for (; left >= 8; left -= 8, p += 8) {
    const uint32_t low = (crc ^ p[0]) & 0xFF, high = ((crc >> 8) ^ p[1]) & 0xFF;
    crc = static_cast<uint16_t>(t[7][low] ^ t[6][high] ^ t[5][p[2]] ^ t[4][p[3]] ^ t[3][p[4]] ^
                                t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]]);
  }
  for (; left > 0; --left, ++p) crc = static_cast<uint16_t>((crc >> 8) ^ t[0][(crc ^ *p) & 0xFF]);
  return crc;
}

int MP3FrameBytes(uint32_t header) {
  const TLayout layout = LayoutOf(header);
  const auto index = static_cast<size_t>((header >> 12) & 0xF);
  if (layout.Rate == 0 || index == 0 || index >= kMpeg1Kbps.size()) return 0;
  const int kbps = layout.Mpeg1 ? kMpeg1Kbps[index] : kMpeg2Kbps[index];
  return FrameBytes(layout, kbps) + static_cast<int>((header >> 9) & 1);
}

int InfoTagFrameBytes(uint32_t audioHeader) {
  const TLayout layout = LayoutOf(audioHeader);
  const int index = TagBitrateIndex(layout, audioHeader);
  if (index == 0) return 0;
  const auto& kbps = layout.Mpeg1 ? kMpeg1Kbps : kMpeg2Kbps;
  return FrameBytes(layout, kbps[static_cast<size_t>(index)]);
}

std::vector<uint8_t> MakeInfoTagFrame(const TInfoTagFacts& facts) {
  const TLayout layout = LayoutOf(facts.AudioHeader);
  const int index = TagBitrateIndex(layout, facts.AudioHeader);
  if (index == 0) return {};
  std::vector<uint8_t> frame(static_cast<size_t>(InfoTagFrameBytes(facts.AudioHeader)), 0);
  // The stream's header with the tag's bit rate, no CRC, no padding and no joint-stereo
  // extension; version, rate, channel mode and the copyright bits stay.
  uint32_t header = facts.AudioHeader & ~((0xFu << 12) | (1u << 9) | (3u << 4));
  header |= (1u << 16) | (static_cast<uint32_t>(index) << 12);
  PutBig32(frame.data(), header);

  uint8_t* xing = frame.data() + 4 + layout.SideInfo;
  std::copy_n(facts.Vbr ? "Xing" : "Info", 4, xing);
  PutBig32(xing + 4, kXingFlags);
  PutBig32(xing + 8, facts.Frames);
  const uint64_t streamBytes = facts.AudioBytes + frame.size();
  const auto streamBytes32 = static_cast<uint32_t>(std::min<uint64_t>(streamBytes, 0xFFFFFFFF));
  PutBig32(xing + 12, streamBytes32);
  // A constant bit rate makes the seek table a straight line.
  for (int i = 0; i < 100; ++i)
    xing[16 + i] = facts.Toc.size() == 100 ? facts.Toc[static_cast<size_t>(i)]
                                           : static_cast<uint8_t>(i * 256 / 100);
  PutBig32(xing + 116, 0);  // quality: not known here

  uint8_t* extension = xing + kXingBytes;
  std::string name = facts.Encoder.substr(0, 9);
  name.resize(9, ' ');
  std::copy(name.begin(), name.end(), extension);
  extension[9] = facts.Vbr ? 0x04 : 0x01;  // tag revision 0, variable or constant bit rate
  extension[20] = static_cast<uint8_t>(std::clamp(facts.Kbps, 0, 255));
  const auto delay = static_cast<uint32_t>(std::clamp(facts.Delay, 0, 4095));
  const auto padding = static_cast<uint32_t>(std::clamp(facts.Padding, 0, 4095));
  const uint32_t delays = (delay << 12) | padding;
  extension[21] = static_cast<uint8_t>(delays >> 16);
  extension[22] = static_cast<uint8_t>(delays >> 8);
  extension[23] = static_cast<uint8_t>(delays);
  PutBig32(extension + 28, streamBytes32);
  PutBig16(extension + 32, facts.MusicCrc);
  const auto tagEnd = static_cast<size_t>(extension + 34 - frame.data());
  PutBig16(extension + 34, TagCrc16(std::span(frame).first(tagEnd)));
  return frame;
}
