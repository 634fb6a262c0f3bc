// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <taglib/tag_c.h>

#include <memory>
#include <mutex>

#include "formats/mp3out/library_api.h"

#define TRIMORA_TAGLIB_ENTRY_POINTS(X)        \
  X(taglib_, audioproperties_bitrate)         \
  X(taglib_, audioproperties_channels)        \
  X(taglib_, audioproperties_length)          \
  X(taglib_, audioproperties_samplerate)      \
  X(taglib_, file_audioproperties)            \
  X(taglib_, file_free)                       \
  X(taglib_, file_is_valid)                   \
  X(taglib_, file_new)                        \
  X(taglib_, file_new_type)                   \
  X(taglib_, file_save)                       \
  X(taglib_, file_tag)                        \
  X(taglib_, id3v2_set_default_text_encoding) \
  X(taglib_, set_string_management_enabled)   \
  X(taglib_, set_strings_unicode)             \
  X(taglib_, tag_album)                       \
  X(taglib_, tag_artist)                      \
  X(taglib_, tag_comment)                     \
  X(taglib_, tag_free_strings)                \
  X(taglib_, tag_genre)                       \
  X(taglib_, tag_set_album)                   \
  X(taglib_, tag_set_artist)                  \
  X(taglib_, tag_set_comment)                 \
  X(taglib_, tag_set_genre)                   \
  X(taglib_, tag_set_title)                   \
  X(taglib_, tag_set_track)                   \
  X(taglib_, tag_set_year)                    \
  X(taglib_, tag_title)                       \
  X(taglib_, tag_track)                       \
  X(taglib_, tag_year)

// TagLib's C binding, typed from its own header (the library is linked); the MP3 sink writes
// its tags through it.
struct TTagLibApi {
  TRIMORA_TAGLIB_ENTRY_POINTS(TRIMORA_API_FIELD)
};

// Owner of an open TagLib file handle.
struct TTagLibFileCloser {
  const TTagLibApi* Api;
  void operator()(TagLib_File* file) const { Api->file_free(file); }
};
using TTagLibFile = std::unique_ptr<TagLib_File, TTagLibFileCloser>;

// The process's TagLib binding. TagLib keeps its default text encoding in a global, so
// callers hold TagLibUseLock() for the whole of a tag update.
const TTagLibApi& TagLibApi();
std::mutex& TagLibUseLock();
