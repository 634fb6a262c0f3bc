#pragma once

#include <filesystem>

#include "formats/mp3out/taglib_library.h"
#include "tags/id3v2_tags.h"

// Writes title, artist, album, genre, year and track of `tags` into the finished MP3 file
// `file` through TagLib, which puts an ID3v2.4 tag (UTF-16 texts) at its start and brings
// the ID3v1 record at its end up to date. A year or track that is not a whole number is left
// out. Raises EAuException "Failed to write tags" when TagLib cannot parse the file and
// "Failed to save tags" when it cannot save it.
void WriteMP3Tags(const TTagLibApi& api, const std::filesystem::path& file, const TId3v2Tags& tags);
