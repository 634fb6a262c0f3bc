// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Block conversions between integer PCM and floats in -1.0 .. 1.0. Counts are in samples
// (single values, not frames). Integer PCM is little-endian and may sit at any byte offset,
// so it is passed as untyped memory: 8-bit unsigned (128 is silence), 16-bit, packed 24-bit
// (3 bytes) and 32-bit signed.
//
// The scaling is deliberately asymmetric and bit-exact, because the mixer and the WAV reader
// depend on the exact values: integers become floats through a power of two (1/128, 1/32768,
// 1/8388608, 1/2147483648), floats become integers through one less than that power. So a
// 16-bit round trip keeps every value up to 16368 in magnitude but brings 32767 back as 32766.

#include <cstddef>
#include <cstdint>

// Replace byteCount / 4 floats, each in its own 4 bytes, by 32-bit integers: 1.0 and above
// give 2147483647, -1.0 and below (and NaN) -2147483648, others floor(v * 2147483647).
void SingleToInt32InPlace(void* buffer, std::size_t byteCount);

// The same for byteCount / 8 doubles; the integers are packed into the first half of the
// buffer.
void DoubleToInt32InPlace(void* buffer, std::size_t byteCount);

// Floats to integers. The 16-, 24- and 32-bit forms first clamp the source floats in place to
// -1.0 .. 1.0 (NaN becomes -1.0), so the caller's buffer reads back clamped afterwards.
void FloatToPCM8(const float* src, void* dst, std::size_t count);
void FloatToPCM16(float* src, void* dst, std::size_t count);
void FloatToPCM24(float* src, void* dst, std::size_t count);
void FloatToPCM32(float* src, void* dst, std::size_t count);

void PCM8ToFloat(const void* src, float* dst, std::size_t count);
void PCM16ToFloat(const void* src, float* dst, std::size_t count);
void PCM24ToFloat(const void* src, float* dst, std::size_t count);
void PCM32ToFloat(const void* src, float* dst, std::size_t count);
