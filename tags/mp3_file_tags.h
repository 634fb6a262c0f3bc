// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tags/apev2_tags.h"
#include "tags/id3v1_tags.h"
#include "tags/id3v2_tags.h"
#include "tags/tag_picture.h"

// What an MP3 file's own tags hold beyond the texts the media runtime reports: the runtime
// reads the first value of each ID3v2 text frame only, takes the ID3v1 record only when the
// file has no ID3v2 texts at all, never looks at APEv2 when either is there, and hands out no
// pictures.
struct TMP3FileTags {
  // Texts of the ID3v2 frames that hold several values (artist, album, title, composer),
  // the values joined with "/"; empty when the frame holds one value or none.
  std::u16string Artist, Album, Title, Composer;
  TTagPictures Pictures;
  std::optional<TId3v1Tags> Id3v1;  // the record at the end of the file
  std::optional<TAPEv2Tags> APEv2;  // the APEv2 tag before it (or at the very end)
};

// Reads the tags of the MP3 file `file` into `tags` (fresh); a file that cannot be read, or
// is no regular file, gives nothing. Damaged or hostile tags give what could be read of them.
void ReadMP3FileTags(const std::filesystem::path& file, TMP3FileTags& tags);

// Completes `tags` (filled by the media runtime) from `file`'s own tags: the several values of
// a multi-valued frame replace the first one alone; artist, album, title, comment, genre, year
// and track that are still empty come from the ID3v1 record, then from the APEv2 tag; the
// pictures become the file's.
void CompleteFromMP3File(const std::filesystem::path& file, TId3v2Tags& tags);
void CompleteFromMP3File(const TMP3FileTags& file, TId3v2Tags& tags);

// The frames of an ID3v2 tag (header included in `tag`) that matter above, for tests and
// fuzzing: texts and pictures go into `out`.
void ReadId3v2Extras(std::span<const std::byte> tag, TMP3FileTags& out);
// The items of an APEv2 tag whose footer is the last 32 bytes of `tag`; false when there is
// no valid footer.
bool ReadAPEv2(std::span<const std::byte> tag, TAPEv2Tags& out);
