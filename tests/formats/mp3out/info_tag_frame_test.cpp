// SPDX-License-Identifier: GPL-3.0-or-later
// The CRC of the tag frame's music and tag fields, which decoders check against the frames.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "formats/mp3out/info_tag_frame.h"

// The CRC-16 with polynomial 0x8005, reflected, from 0, gives 0xBB3D for "123456789"; a
// CRC carried on from piece to piece, as a copy computes it block by block, gives the
// whole's.
TEST(InfoTagFrame, TagCrcIsTheStandardCrc16AndCarriesOnAcrossPieces) {
  constexpr std::string_view check = "123456789";
  EXPECT_EQ(TagCrc16(std::span(reinterpret_cast<const uint8_t*>(check.data()), check.size())),
            0xBB3D);
  std::vector<uint8_t> bytes(70000);
  uint32_t seed = 12345;
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
  const std::span<const uint8_t> all(bytes);
  uint16_t pieces = 0;
  for (size_t at = 0, step = 1; at < all.size(); at += step, step = step * 3 + 1)
    pieces = TagCrc16(all.subspan(at, std::min(step, all.size() - at)), pieces);
  EXPECT_EQ(pieces, TagCrc16(all));
}
