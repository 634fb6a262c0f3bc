// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

// The two checks of a FLAC frame, both MSB-first with a zero start and no final inversion: a
// CRC-8 (polynomial 0x07) over the frame header, and a CRC-16 (polynomial 0x8005) over the
// whole frame up to its last two bytes, which hold it. Either continues from `crc`, so a check
// can run over a frame read in pieces; a run over data that ends with its own CRC gives 0.
uint8_t FlacCrc8(const uint8_t* data, size_t count, uint8_t crc = 0);
uint16_t FlacCrc16(const uint8_t* data, size_t count, uint16_t crc = 0);

// The CRC-16 state `crc` carried on over `count` zero bytes, in a few steps whatever the
// count. The check is linear, so a frame whose header changes gets its new CRC from the old
// one and the two headers' CRCs, without a pass over its audio.
uint16_t FlacCrc16Zeros(uint16_t crc, uint64_t count);
