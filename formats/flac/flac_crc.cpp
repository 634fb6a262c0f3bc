// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/flac/flac_crc.h"

#include <array>

namespace {

constexpr std::array<uint8_t, 256> MakeCrc8Table() {
  std::array<uint8_t, 256> table{};
  for (int n = 0; n < 256; ++n) {
    auto c = static_cast<uint8_t>(n);
    for (int bit = 0; bit < 8; ++bit)
      c = static_cast<uint8_t>((c & 0x80) ? (c << 1) ^ 0x07 : c << 1);
    table[static_cast<size_t>(n)] = c;
  }
  return table;
}

// Eight tables, so that the check over the frames, which every copied byte passes through
// twice, takes eight bytes a step: table k holds the CRC of byte n followed by k zero bytes.
using TCrc16Tables = std::array<std::array<uint16_t, 256>, 8>;

constexpr TCrc16Tables MakeCrc16Tables() {
  TCrc16Tables tables{};
  for (int n = 0; n < 256; ++n) {
    auto c = static_cast<uint16_t>(n << 8);
    for (int bit = 0; bit < 8; ++bit)
      c = static_cast<uint16_t>((c & 0x8000) ? (c << 1) ^ 0x8005 : c << 1);
    tables[0][static_cast<size_t>(n)] = c;
  }
  for (size_t k = 1; k < 8; ++k)
    for (size_t n = 0; n < 256; ++n) {
      const uint16_t prev = tables[k - 1][n];
      tables[k][n] = static_cast<uint16_t>((prev << 8) ^ tables[0][prev >> 8]);
    }
  return tables;
}

constexpr std::array<uint8_t, 256> kCrc8 = MakeCrc8Table();
constexpr TCrc16Tables kCrc16 = MakeCrc16Tables();

}  // namespace

uint8_t FlacCrc8(const uint8_t* data, size_t count, uint8_t crc) {
  for (size_t i = 0; i < count; ++i) crc = kCrc8[crc ^ data[i]];
  return crc;
}

uint16_t FlacCrc16(const uint8_t* data, size_t count, uint16_t crc) {
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const uint8_t* p = data + i;
    crc = static_cast<uint16_t>(kCrc16[7][static_cast<uint8_t>(p[0] ^ (crc >> 8))] ^
                                kCrc16[6][static_cast<uint8_t>(p[1] ^ crc)] ^ kCrc16[5][p[2]] ^
                                kCrc16[4][p[3]] ^ kCrc16[3][p[4]] ^ kCrc16[2][p[5]] ^
                                kCrc16[1][p[6]] ^ kCrc16[0][p[7]]);
  }
  for (; i < count; ++i)
    crc = static_cast<uint16_t>((crc << 8) ^ kCrc16[0][static_cast<uint8_t>((crc >> 8) ^ data[i])]);
  return crc;
}

namespace {

// A linear map of the 16-bit state: column i is the image of bit i.
using TCrcMatrix = std::array<uint16_t, 16>;

uint16_t Apply(const TCrcMatrix& m, uint16_t v) {
  uint16_t r = 0;
  for (int i = 0; i < 16; ++i)
    if (v & (1u << i)) r ^= m[static_cast<size_t>(i)];
  return r;
}

// Powers[k] carries the state over 2^k zero bytes.
std::array<TCrcMatrix, 64> MakeZeroPowers() {
  std::array<TCrcMatrix, 64> powers{};
  for (int i = 0; i < 16; ++i) {
    const auto v = static_cast<uint16_t>(1u << i);
    powers[0][static_cast<size_t>(i)] =
        static_cast<uint16_t>((v << 8) ^ kCrc16[0][static_cast<uint8_t>(v >> 8)]);
  }
  for (size_t k = 1; k < powers.size(); ++k)
    for (size_t i = 0; i < 16; ++i) powers[k][i] = Apply(powers[k - 1], powers[k - 1][i]);
  return powers;
}

}  // namespace

uint16_t FlacCrc16Zeros(uint16_t crc, uint64_t count) {
  static const std::array<TCrcMatrix, 64> powers = MakeZeroPowers();
  for (size_t k = 0; count != 0; ++k, count >>= 1)
    if (count & 1) crc = Apply(powers[k], crc);
  return crc;
}
