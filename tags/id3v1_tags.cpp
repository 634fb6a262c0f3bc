// SPDX-License-Identifier: GPL-3.0-or-later
#include "tags/id3v1_tags.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "tags/tag_text.h"

namespace {

constexpr std::size_t kRecordSize = 128;
using TRecord = std::array<std::byte, kRecordSize>;

// Offsets within the record.
constexpr std::size_t kTitle = 3, kArtist = 33, kAlbum = 63, kYear = 93, kComment = 97;
constexpr std::size_t kV11Zero = 125, kV11Track = 126, kGenre = 127;

unsigned At(const TRecord& r, std::size_t offset) {
  return std::to_integer<unsigned>(r[offset]);
}

std::string Field(const TRecord& r, std::size_t offset, std::size_t length) {
  std::string text(length, '\0');
  std::memcpy(text.data(), r.data() + offset, length);
  return tag_text::TrimControls(text);
}

void PutField(TRecord& r, std::size_t offset, std::string_view text, std::size_t maxLength) {
  std::memcpy(r.data() + offset, text.data(), std::min(text.size(), maxLength));
}

// Reads the last 128 bytes; fails unless the file holds a whole record starting "TAG".
bool ReadRecord(TTagFile& file, TRecord& record) {
  if (!file.SeekFromEnd(-static_cast<std::int64_t>(kRecordSize)) ||
      file.Read(record) != kRecordSize) {
    return false;
  }
  return std::memcmp(record.data(), "TAG", 3) == 0;
}

}  // namespace

TId3v1Tags::TId3v1Tags() {
  DeclareKey("artist", {});
  DeclareKey("album", {});
  DeclareKey("genre", std::uint8_t{kId3v1DefaultGenre});
  DeclareKey("year", {});
  DeclareKey("track", {});
  DeclareKey("title", {});
  DeclareKey("comment", {});
}

std::string TId3v1Tags::Artist() const {
  const TAuTagValue v = GetValue("artist");
  const bool isText =
      std::holds_alternative<std::string>(v) || std::holds_alternative<std::u16string>(v);
  return isText ? ValueAsText("artist") : std::string{};
}

TId3v1TagsGenreId TId3v1Tags::GenreId() const {
  // Anything outside the list, negative numbers included, reads as the default, so that
  // Genre never indexes past the list.
  const std::int64_t id = ValueAsInteger("genre");
  return (id >= 0 && id < kId3v1GenreCount) ? static_cast<TId3v1TagsGenreId>(id)
                                            : kId3v1DefaultGenre;
}

std::string TId3v1Tags::Genre() const {
  return std::string(kId3v1Genres[GenreId()]);
}

void TId3v1Tags::SetGenre(std::string_view name) {
  const std::string wanted = tag_text::TrimControls(name);
  for (int i = 0; i < kId3v1GenreCount; ++i) {
    if (tag_text::SameTextNoCase(kId3v1Genres[static_cast<std::size_t>(i)], wanted)) {
      SetGenreId(static_cast<TId3v1TagsGenreId>(i));
      return;
    }
  }
}

bool TId3v1Tags::IsTagPresent(TTagFile& file) {
  const auto position = file.Position();
  if (!position) {
    return false;
  }
  TRecord record{};
  const bool present = ReadRecord(file, record);
  file.SeekTo(*position);
  return present;
}

bool TId3v1Tags::ReadTag(TTagFile& file) {
  if (!file.IsValid()) {
    return false;
  }
  ClearValues();
  TRecord record{};
  if (!ReadRecord(file, record)) {
    return false;
  }
  SetTitle(Field(record, kTitle, 30));
  SetArtist(Field(record, kArtist, 30));
  SetAlbum(Field(record, kAlbum, 30));
  SetYear(static_cast<std::uint16_t>(tag_text::ParseInt32(Field(record, kYear, 4)).value_or(0)));
  // Layout 1.1 steals the comment's last two bytes for a zero and the track number; some
  // writers pad with spaces instead of zeros, hence the second pair of tests.
  const unsigned b125 = At(record, kV11Zero);
  const unsigned b126 = At(record, kV11Track);
  if ((b125 == 0 && b126 != 0) || (b125 == 32 && b126 != 32)) {
    SetComment(Field(record, kComment, 28));
    SetTrack(static_cast<std::uint8_t>(b126));
  } else {
    SetComment(Field(record, kComment, 30));
    SetTrack(0);
  }
  SetValue("genre", static_cast<std::uint8_t>(At(record, kGenre)));
  return true;
}

bool TId3v1Tags::WriteTag(TTagFile& file, bool /*unicode*/) {
  if (!file.SeekFromEnd(0)) {
    return false;
  }
  TRecord record{};
  PutField(record, 0, "TAG", 3);
  PutField(record, kTitle, Title(), 30);
  PutField(record, kArtist, Artist(), 30);
  PutField(record, kAlbum, Album(), 30);
  PutField(record, kYear, std::to_string(Year()), 4);
  if (Track() != 0) {
    PutField(record, kComment, Comment(), 28);
    record[kV11Zero] = std::byte{0};
    record[kV11Track] = static_cast<std::byte>(Track());
  } else {
    PutField(record, kComment, Comment(), 30);
  }
  record[kGenre] = static_cast<std::byte>(GenreId());
  return file.Write(record) == kRecordSize;
}
