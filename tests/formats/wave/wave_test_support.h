// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers for the WAV reader tests: fixture files and their reference decodings, RIFF files
// built in memory (so that a test can damage exactly the byte it is about), and a full read
// of a source.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "formats/wave/wave_in.h"
#include "pipeline/au_stream.h"

namespace wave_test {

using TBytes = std::vector<uint8_t>;

std::string DataPath(const std::string& name);  // under tests/data/wave
TBytes ReadFileBytes(const std::string& path);

void PutU16(TBytes& out, uint16_t v);
void PutU32(TBytes& out, uint32_t v);
TBytes Concat(std::initializer_list<TBytes> parts);

// One chunk: id, size (the body's unless `declaredSize` is given) and body; no pad byte.
TBytes Chunk(std::string_view id, const TBytes& body, int64_t declaredSize = -1);
// "RIFF", length - 8, "WAVE" and the chunks.
TBytes Riff(std::initializer_list<TBytes> chunks);
// The 16-byte `fmt ` body of the common fields.
TBytes FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t blockAlign, uint16_t bits);
// A plain 16-bit PCM file of `frames` frames (frame i holds i and -i) at 8000 Hz.
TBytes Pcm16File(uint16_t channels, int frames);
TBytes Pcm16Frames(uint16_t channels, int first, int count);

// Everything the source delivers in one read of its range, asking `request` bytes at a time.
// Every block must be whole frames of at most `request` bytes; a block that is not, or a
// read that does not end, fails the test.
TBytes ReadAll(TWaveIn& in, uint32_t request = 16384);

// A reader over bytes in memory, the way a caller hands it a stream.
class TMemoryWave {
 public:
  explicit TMemoryWave(TBytes bytes) : Stream(std::move(bytes)) { In.SetStream(&Stream); }
  TAuMemoryStream Stream;
  TWaveIn In;
};

}  // namespace wave_test
