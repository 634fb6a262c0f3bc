// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// Index into the ID3v1 genre list, 0..147.
using TId3v1TagsGenreId = std::uint8_t;

inline constexpr int kId3v1GenreCount = 148;
inline constexpr TId3v1TagsGenreId kId3v1DefaultGenre = 12;  // "Other"

// The published ID3v1 genres (0..79) and their common extension (80..147), spelled as the
// genre lookup matches them.
extern const std::array<std::string_view, kId3v1GenreCount> kId3v1Genres;
