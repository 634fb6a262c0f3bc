// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tags/apev2_tags.h"
#include "tags/id3v1_tags.h"
#include "tags/id3v2_tags.h"
#include "tags/tag_comment.h"
#include "tags/tag_picture.h"

// What an MP3 file's own tags hold beyond the texts the media runtime reports: the runtime
// reads the first value of each ID3v2 text frame only, takes the ID3v1 record only when the
// file has no ID3v2 texts at all, never looks at APEv2 when either is there, hands out no
// pictures, keeps no comment's language and names a described comment by its description
// alone, and takes the frame flags of a version 3 tag for those of version 4.
struct TMP3FileTags {
  // Texts of the ID3v2 frames that hold several values (artist, album, title, composer),
  // the values joined with "/"; empty when the frame holds one value or none.
  std::u16string Artist, Album, Title, Composer;
  TTagPictures Pictures;
  // The comment frames, in the tag's order.
  TTagComments Comments;
  // Texts the runtime misreads: those of a version 3 tag's compressed, encrypted or grouped
  // frames, by frame identifier, every value joined with "/". An encrypted frame, which no
  // one can read, stands here with an empty text.
  std::map<std::string, std::u16string, std::less<>> Version3Texts;
  std::optional<TId3v1Tags> Id3v1;  // the record at the end of the file
  std::optional<TAPEv2Tags> APEv2;  // the APEv2 tag before it (or at the very end)
};

// Reads the tags of the MP3 file `file` into `tags` (fresh); a file that cannot be read, or
// is no regular file, gives nothing. Damaged or hostile tags give what could be read of them.
void ReadMP3FileTags(const std::filesystem::path& file, TMP3FileTags& tags);

// Completes `tags` (filled by the media runtime) from `file`'s own tags: the several values of
// a multi-valued frame replace the first one alone; the texts of version 3 frames the runtime
// misreads replace its readings; the main comment (the first without a description) becomes
// the comment; artist, album, title, comment, genre, year and track that are still empty come
// from the ID3v1 record, then from the APEv2 tag; the pictures become the file's, and so do
// the comments, except those in which an encoder kept notes on its own encoding.
void CompleteFromMP3File(const std::filesystem::path& file, TId3v2Tags& tags);
void CompleteFromMP3File(const TMP3FileTags& file, TId3v2Tags& tags);

// The frames of an ID3v2 tag (header included in `tag`) that matter above, for tests and
// fuzzing: texts, comments and pictures go into `out`. Compressed frames are inflated, up to
// a bound on all of them together; encrypted ones are skipped.
void ReadId3v2Extras(std::span<const std::byte> tag, TMP3FileTags& out);
// The items of an APEv2 tag whose footer is the last 32 bytes of `tag`; false when there is
// no valid footer.
bool ReadAPEv2(std::span<const std::byte> tag, TAPEv2Tags& out);
