// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>

#include "tags/id3v2_tags.h"

// Writes `tags` into the finished MP3 file `file` through TagLib, in one ID3v2.4 tag at its
// start (UTF-16 texts): title, artist, album, genre, year and track; a year that is not a
// whole number is left out, a track that is more than a number ("7/12") goes in as its text.
// Then the comments, first the main comment (the comment text, in the language of the
// comment frame without description, else "XXX"), then the other comment frames; the
// copyright; and one picture frame per picture. A frame that would take the tag past the
// 28 bits of its size field (a huge picture) is left out rather than making the whole tag
// unreadable. The ID3v1 record at the file's end gets the same title, artist, album and genre,
// and the year and track when they are numbers. Raises EAuException "Failed to write tags"
// when TagLib cannot parse the file and "Failed to save tags" when it cannot save it.
void WriteMP3Tags(const std::filesystem::path& file, const TId3v2Tags& tags);
