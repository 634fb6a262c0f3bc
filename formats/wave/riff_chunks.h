// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The loose chunk-id match and the bounded chunk walk that every reader of RIFF bytes here
// uses: the header scan, the INFO lists and the MP3-in-WAV converter. Kept apart from the
// header scan so that the INFO code can walk chunks without depending on the scan's types.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// Four file bytes match a four-character id when each byte equals the expected one or
// differs from it by exactly 32 (so "riff", "Wave" and "DATA" match "RIFF", "WAVE", "data").
bool MatchChunkId(const uint8_t* bytes, std::string_view id);

// A walk over RIFF bytes held in memory, with the rules every reader of a WAV header here
// shares: ids match loosely (MatchChunkId), the zero pad byte after an odd-sized body is
// passed over (some writers leave it out; no chunk id starts with a zero byte), and nothing
// outside the bytes is ever read.
class TChunkCursor {
 public:
  explicit TChunkCursor(std::span<const uint8_t> bytes) : FBytes(bytes) {}

  bool Has(uint64_t count) const { return Pos + count <= FBytes.size(); }
  const uint8_t* At() const { return FBytes.data() + Pos; }
  size_t Left() const { return FBytes.size() - Pos; }
  // Slides a byte at a time from the position until `id` matches; leaves the position
  // after it.
  bool Find(std::string_view id);
  // The chunk header at the position: its id and declared size; leaves the position at
  // its body.
  bool Next(std::string_view& id, uint32_t& size);
  // Passes over a body of `size` bytes and its pad byte; false when the body does not end
  // within the bytes.
  bool Skip(uint32_t size);
  // Moves to the chunk `id`, passing over others; leaves the position at its body and gives
  // its declared size. False when the walk leaves the bytes first.
  bool Chunk(std::string_view id, uint32_t& size);

  size_t Pos = 0;

 private:
  std::span<const uint8_t> FBytes;
};
