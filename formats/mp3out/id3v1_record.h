#pragma once

#include <array>
#include <cstdint>

#include "tags/id3v1_tags.h"

// The 128-byte ID3v1 record the MP3 sink appends to every file: "TAG", title, artist and
// album (narrow text, 30 bytes each, cut or zero-filled), a four-digit year or nothing,
// the comment, and genre 0. No track number.
std::array<uint8_t, 128> MakeId3v1Record(const TId3v1Tags& tags);
