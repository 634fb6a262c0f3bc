// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>

#include "tags/id3v1_tags.h"

// The 128-byte ID3v1 record the MP3 sink appends to every file: "TAG", title, artist and
// album (narrow text, 30 bytes each, cut or zero-filled), a four-digit year or nothing,
// the comment, the track number when there is one (then the comment has 28 bytes), and
// genre 0.
std::array<uint8_t, 128> MakeId3v1Record(const TId3v1Tags& tags);
