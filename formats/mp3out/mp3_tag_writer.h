// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

#include "formats/mp3out/taglib_library.h"
#include "tags/id3v2_tags.h"

// Writes title, artist, album, genre, year and track of `tags` into the finished MP3 file
// `file` through TagLib, which puts an ID3v2.4 tag (UTF-16 texts) at its start and brings
// the ID3v1 record at its end up to date. A year or track that is not a whole number is left
// out of TagLib's part; a track that is more than a number ("7/12"), the comments, the
// copyright and the pictures go in through an ID3v2.4 tag of our own put in front first
// (MP3ExtraFramesTag), which TagLib keeps. Raises EAuException "Failed to write tags" when TagLib
// cannot parse the file and "Failed to save tags" when it or we cannot save it.
void WriteMP3Tags(const TTagLibApi& api, const std::filesystem::path& file, const TId3v2Tags& tags);

// An ID3v2.4 tag of the frames TagLib's C binding cannot write: TRCK with a track text that
// is not a plain number; COMM frames, first the main comment (the comment text, in the
// language of the comment frame without description, else "XXX"), then the other comment
// frames; TCOP with the copyright; and one APIC frame per picture. Empty when there are none.
std::vector<std::byte> MP3ExtraFramesTag(const TId3v2Tags& tags);
