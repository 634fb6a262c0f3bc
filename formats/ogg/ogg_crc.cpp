// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/ogg/ogg_crc.h"

#include <array>

namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t r = i << 24;
    for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ 0x04c11db7u : r << 1;
    table[i] = r;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kTable = MakeTable();

}  // namespace

uint32_t OggCrc(const uint8_t* data, size_t size, uint32_t crc) {
  for (size_t i = 0; i < size; ++i) crc = (crc << 8) ^ kTable[((crc >> 24) ^ data[i]) & 0xff];
  return crc;
}
