// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

// The checksum of an Ogg page: CRC-32 with the polynomial 0x04c11db7, no reflection, starting
// at 0, taken over the whole page with its checksum field zeroed. `crc` continues a sum.
uint32_t OggCrc(const uint8_t* data, size_t size, uint32_t crc = 0);
