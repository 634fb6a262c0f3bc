// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <span>

// What every walk over ASF objects needs: the GUIDs as ASF stores them, and the size of an
// object's own header.
namespace trimora::media {

using TGuid = std::array<uint8_t, 16>;

// A GUID as ASF stores it: the first three fields little-endian, the last eight bytes as
// written.
constexpr TGuid MakeGuid(uint32_t a, uint16_t b, uint16_t c, uint64_t d) {
  TGuid g{};
  for (int i = 0; i < 4; ++i) g[i] = static_cast<uint8_t>(a >> (8 * i));
  for (int i = 0; i < 2; ++i) g[4 + i] = static_cast<uint8_t>(b >> (8 * i));
  for (int i = 0; i < 2; ++i) g[6 + i] = static_cast<uint8_t>(c >> (8 * i));
  for (int i = 0; i < 8; ++i) g[8 + i] = static_cast<uint8_t>(d >> (8 * (7 - i)));
  return g;
}

inline constexpr TGuid kAsfHeaderObject = MakeGuid(0x75B22630, 0x668E, 0x11CF, 0xA6D900AA0062CE6C);
inline constexpr size_t kAsfObjectHeader = 24;  // GUID and 64-bit size

// Whether `bytes` start with `guid`.
inline bool IsGuid(std::span<const uint8_t> bytes, const TGuid& guid) {
  return bytes.size() >= guid.size() && std::memcmp(bytes.data(), guid.data(), guid.size()) == 0;
}

}  // namespace trimora::media
