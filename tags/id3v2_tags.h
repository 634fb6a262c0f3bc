// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "tags/au_tags.h"
#include "tags/tag_comment.h"
#include "tags/tag_picture.h"

// ID3v2 tags of versions 2, 3 and 4. The keys are the frame identifiers themselves, both
// the three-character (version 2) and the four-character (versions 3 and 4) ones.
class TId3v2Tags : public TAuTags {
 public:
  TId3v2Tags();

  // Selects which identifier set the properties use; ReadTag sets it from the version.
  bool LongFrameIds() const { return FLongFrameIds; }
  void SetLongFrameIds(bool value) { FLongFrameIds = value; }

  std::u16string Artist() const { return Wide(kArtist); }
  void SetArtist(const std::u16string& v) { SetValue(Key(kArtist), v); }
  std::u16string Album() const { return Wide(kAlbum); }
  void SetAlbum(const std::u16string& v) { SetValue(Key(kAlbum), v); }
  std::u16string Genre() const { return Wide(kGenre); }
  void SetGenre(const std::u16string& v) { SetValue(Key(kGenre), v); }
  // Year and track are free texts here ("2004", "3/12").
  std::string Year() const { return ValueAsText(Key(kYear)); }
  void SetYear(const std::string& v) { SetValue(Key(kYear), v); }
  std::string Track() const { return ValueAsText(Key(kTrack)); }
  void SetTrack(const std::string& v) { SetValue(Key(kTrack), v); }
  std::u16string Title() const { return Wide(kTitle); }
  void SetTitle(const std::u16string& v) { SetValue(Key(kTitle), v); }
  std::u16string Comment() const { return Wide(kComment); }
  void SetComment(const std::u16string& v) { SetValue(Key(kComment), v); }
  std::u16string Composer() const { return Wide(kComposer); }
  void SetComposer(const std::u16string& v) { SetValue(Key(kComposer), v); }
  std::u16string Encoder() const { return Wide(kEncoder); }
  void SetEncoder(const std::u16string& v) { SetValue(Key(kEncoder), v); }
  std::u16string Copyright() const { return Wide(kCopyright); }
  void SetCopyright(const std::u16string& v) { SetValue(Key(kCopyright), v); }
  std::u16string Language() const { return Wide(kLanguage); }
  void SetLanguage(const std::u16string& v) { SetValue(Key(kLanguage), v); }
  std::u16string Link() const { return Wide(kLink); }
  void SetLink(const std::u16string& v) { SetValue(Key(kLink), v); }

  // The attached pictures, which travel beside the texts: Assign from another ID3v2
  // container copies them, ClearValues (texts only) keeps them. The file operations of this
  // class neither read nor write them.
  const TTagPictures& Pictures() const { return FPictures; }
  void SetPictures(TTagPictures pictures) { FPictures = std::move(pictures); }
  // The comment frames with their languages and descriptions, which travel in the same way.
  // Comment() is the text alone of the main one; a sink writes Comment() in its place.
  const TTagComments& Comments() const { return FComments; }
  void SetComments(TTagComments comments) { FComments = std::move(comments); }
  void Assign(const TAuTags& source) override;

  // A valid tag header at the current position; the position is kept.
  bool IsTagPresent(TTagFile& file) override;
  // Reads the tag at the current position and leaves the position after it. True when
  // the header was valid, whatever the frames held.
  bool ReadTag(TTagFile& file) override;
  // Puts a new version 4 tag in front of the file; with `unicode`, wide texts are stored
  // as UTF-8. A tag already there is kept behind the new one.
  bool WriteTag(TTagFile& file, bool unicode) override;

 private:
  // Rows of the field table; the order is the order of the frames we write.
  enum TField {
    kAlbum,
    kArtist,
    kGenre,
    kTitle,
    kTrack,
    kYear,
    kComment,
    kComposer,
    kEncoder,
    kCopyright,
    kLanguage,
    kLink,
    kFieldCount
  };

  std::string_view Key(TField field) const;
  std::u16string Wide(TField field) const { return ValueAsWideText(Key(field)); }
  void WalkFrames(TTagFile& file, int version, std::int64_t start, std::int64_t end);
  void DecodeFrame(std::string_view id, std::span<const std::byte> data);

  bool FLongFrameIds = true;
  TTagPictures FPictures;
  TTagComments FComments;
};
