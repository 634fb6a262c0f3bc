// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "tags/au_tags.h"

// Six format-neutral fields a source fills beside its format's own tags. No file format of
// its own: the file operations are the base ones.
class TCommonTags : public TAuTags {
 public:
  TCommonTags();

  std::u16string Artist() const { return ValueAsWideText("Artist"); }
  void SetArtist(const std::u16string& v) { SetValue("Artist", v); }
  std::u16string Album() const { return ValueAsWideText("Album"); }
  void SetAlbum(const std::u16string& v) { SetValue("Album", v); }
  std::u16string Genre() const { return ValueAsWideText("Genre"); }
  void SetGenre(const std::u16string& v) { SetValue("Genre", v); }
  std::string Year() const { return ValueAsText("Year"); }
  void SetYear(const std::string& v) { SetValue("Year", v); }
  std::string Track() const { return ValueAsText("Track"); }
  void SetTrack(const std::string& v) { SetValue("Track", v); }
  std::u16string Title() const { return ValueAsWideText("Title"); }
  void SetTitle(const std::u16string& v) { SetValue("Title", v); }
};
