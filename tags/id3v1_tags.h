// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tags/au_tags.h"
#include "tags/id3v1_genres.h"

// The 128-byte ID3v1 record at the end of a file (layouts 1.0 and 1.1).
class TId3v1Tags : public TAuTags {
 public:
  TId3v1Tags();

  std::string Title() const { return ValueAsText("title"); }
  void SetTitle(const std::string& value) { SetValue("title", value); }
  std::string Artist() const;
  void SetArtist(const std::string& value) { SetValue("artist", value); }
  std::string Album() const { return ValueAsText("album"); }
  void SetAlbum(const std::string& value) { SetValue("album", value); }
  std::uint16_t Year() const { return static_cast<std::uint16_t>(ValueAsInteger("year")); }
  void SetYear(std::uint16_t value) { SetValue("year", value); }
  std::string Comment() const { return ValueAsText("comment"); }
  void SetComment(const std::string& value) { SetValue("comment", value); }
  std::uint8_t Track() const { return static_cast<std::uint8_t>(ValueAsInteger("track")); }
  void SetTrack(std::uint8_t value) { SetValue("track", value); }
  std::string Genre() const;
  // Selects the first list entry equal to the trimmed text, ignoring case; an unknown
  // name changes nothing.
  void SetGenre(std::string_view name);
  TId3v1TagsGenreId GenreId() const;
  void SetGenreId(TId3v1TagsGenreId value) { SetValue("genre", value); }

  bool IsTagPresent(TTagFile& file) override;
  bool ReadTag(TTagFile& file) override;
  // Appends a record; an existing one at the end is left in place.
  bool WriteTag(TTagFile& file, bool unicode) override;
};
