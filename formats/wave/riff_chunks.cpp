// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/wave/riff_chunks.h"

namespace {

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
  return U16(p) | (static_cast<uint32_t>(U16(p + 2)) << 16);
}

}  // namespace

bool MatchChunkId(const uint8_t* bytes, std::string_view id) {
  if (id.size() != 4) return false;
  for (size_t i = 0; i < 4; ++i) {
    const auto expected = static_cast<uint8_t>(id[i]);
    const uint8_t b = bytes[i];
    if (b != expected && static_cast<uint8_t>(b - expected) != 32 &&
        static_cast<uint8_t>(expected - b) != 32) {
      return false;
    }
  }
  return true;
}

bool TChunkCursor::Find(std::string_view id) {
  for (; Has(4); ++Pos) {
    if (MatchChunkId(At(), id)) {
      Pos += 4;
      return true;
    }
  }
  return false;
}

bool TChunkCursor::Next(std::string_view& id, uint32_t& size) {
  if (!Has(8)) return false;
  id = std::string_view(reinterpret_cast<const char*>(At()), 4);
  size = U32(At() + 4);
  Pos += 8;
  return true;
}

bool TChunkCursor::Skip(uint32_t size) {
  if (!Has(size)) return false;
  Pos += size;
  if (size % 2 == 1 && Has(1) && *At() == 0) ++Pos;
  return true;
}

bool TChunkCursor::Chunk(std::string_view id, uint32_t& size) {
  std::string_view found;
  while (Next(found, size)) {
    if (MatchChunkId(reinterpret_cast<const uint8_t*>(found.data()), id)) return true;
    if (!Skip(size)) return false;
  }
  return false;
}
