#include "formats/mp3out/taglib_library.h"

namespace {

bool FindTagLibApi(const TDynamicLibrary& l, TTagLibApi& a) {
  return l.Find("taglib_audioproperties_bitrate", a.audioproperties_bitrate) &&
         l.Find("taglib_audioproperties_channels", a.audioproperties_channels) &&
         l.Find("taglib_audioproperties_length", a.audioproperties_length) &&
         l.Find("taglib_audioproperties_samplerate", a.audioproperties_samplerate) &&
         l.Find("taglib_file_audioproperties", a.file_audioproperties) &&
         l.Find("taglib_file_free", a.file_free) &&
         l.Find("taglib_file_is_valid", a.file_is_valid) && l.Find("taglib_file_new", a.file_new) &&
         l.Find("taglib_file_new_type", a.file_new_type) &&
         l.Find("taglib_file_save", a.file_save) && l.Find("taglib_file_tag", a.file_tag) &&
         l.Find("taglib_id3v2_set_default_text_encoding", a.id3v2_set_default_text_encoding) &&
         l.Find("taglib_set_string_management_enabled", a.set_string_management_enabled) &&
         l.Find("taglib_set_strings_unicode", a.set_strings_unicode) &&
         l.Find("taglib_tag_album", a.tag_album) && l.Find("taglib_tag_artist", a.tag_artist) &&
         l.Find("taglib_tag_comment", a.tag_comment) &&
         l.Find("taglib_tag_free_strings", a.tag_free_strings) &&
         l.Find("taglib_tag_genre", a.tag_genre) &&
         l.Find("taglib_tag_set_album", a.tag_set_album) &&
         l.Find("taglib_tag_set_artist", a.tag_set_artist) &&
         l.Find("taglib_tag_set_comment", a.tag_set_comment) &&
         l.Find("taglib_tag_set_genre", a.tag_set_genre) &&
         l.Find("taglib_tag_set_title", a.tag_set_title) &&
         l.Find("taglib_tag_set_track", a.tag_set_track) &&
         l.Find("taglib_tag_set_year", a.tag_set_year) && l.Find("taglib_tag_title", a.tag_title) &&
         l.Find("taglib_tag_track", a.tag_track) && l.Find("taglib_tag_year", a.tag_year);
}

}  // namespace

const TTagLibApi* TagLibApi() {
  static TLibraryApi<TTagLibApi> library(kTagLibLibraryName, FindTagLibApi);
  return library.Load() ? &library.Api() : nullptr;
}

std::mutex& TagLibUseLock() {
  static std::mutex lock;
  return lock;
}
