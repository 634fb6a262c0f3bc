#pragma once

#include <taglib/tag_c.h>

#include <memory>
#include <mutex>

#include "formats/mp3out/dynamic_library.h"

inline constexpr const char* kTagLibLibraryName = "libtag_c.so.0";

// TagLib's C binding, typed from its own header and opened at run time; the MP3 sink writes
// its tags through it when it is there and goes without when it is not.
struct TTagLibApi {
  decltype(&taglib_audioproperties_bitrate) audioproperties_bitrate = nullptr;
  decltype(&taglib_audioproperties_channels) audioproperties_channels = nullptr;
  decltype(&taglib_audioproperties_length) audioproperties_length = nullptr;
  decltype(&taglib_audioproperties_samplerate) audioproperties_samplerate = nullptr;
  decltype(&taglib_file_audioproperties) file_audioproperties = nullptr;
  decltype(&taglib_file_free) file_free = nullptr;
  decltype(&taglib_file_is_valid) file_is_valid = nullptr;
  decltype(&taglib_file_new) file_new = nullptr;
  decltype(&taglib_file_new_type) file_new_type = nullptr;
  decltype(&taglib_file_save) file_save = nullptr;
  decltype(&taglib_file_tag) file_tag = nullptr;
  decltype(&taglib_id3v2_set_default_text_encoding) id3v2_set_default_text_encoding = nullptr;
  decltype(&taglib_set_string_management_enabled) set_string_management_enabled = nullptr;
  decltype(&taglib_set_strings_unicode) set_strings_unicode = nullptr;
  decltype(&taglib_tag_album) tag_album = nullptr;
  decltype(&taglib_tag_artist) tag_artist = nullptr;
  decltype(&taglib_tag_comment) tag_comment = nullptr;
  decltype(&taglib_tag_free_strings) tag_free_strings = nullptr;
  decltype(&taglib_tag_genre) tag_genre = nullptr;
  decltype(&taglib_tag_set_album) tag_set_album = nullptr;
  decltype(&taglib_tag_set_artist) tag_set_artist = nullptr;
  decltype(&taglib_tag_set_comment) tag_set_comment = nullptr;
  decltype(&taglib_tag_set_genre) tag_set_genre = nullptr;
  decltype(&taglib_tag_set_title) tag_set_title = nullptr;
  decltype(&taglib_tag_set_track) tag_set_track = nullptr;
  decltype(&taglib_tag_set_year) tag_set_year = nullptr;
  decltype(&taglib_tag_title) tag_title = nullptr;
  decltype(&taglib_tag_track) tag_track = nullptr;
  decltype(&taglib_tag_year) tag_year = nullptr;
};

// Owner of an open TagLib file handle.
struct TTagLibFileCloser {
  const TTagLibApi* Api;
  void operator()(TagLib_File* file) const { Api->file_free(file); }
};
using TTagLibFile = std::unique_ptr<TagLib_File, TTagLibFileCloser>;

// The process's TagLib binding, opened by the first caller (and tried again by the next
// while it is missing); nullptr when it or any of its names is missing. TagLib keeps its default
// text encoding in a global, so callers hold TagLibUseLock() for the whole of a tag update.
const TTagLibApi* TagLibApi();
std::mutex& TagLibUseLock();
