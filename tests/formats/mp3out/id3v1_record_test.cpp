// SPDX-License-Identifier: GPL-3.0-or-later
// The ID3v1 record the MP3 sink appends to every file.
#include <gtest/gtest.h>

#include <string>

#include "formats/mp3out/id3v1_record.h"

namespace {

std::string Field(const std::array<uint8_t, 128>& record, size_t offset, size_t length) {
  return std::string(record.begin() + static_cast<long>(offset),
                     record.begin() + static_cast<long>(offset + length));
}

TEST(Id3v1Record, TextsSitAtTheirOffsetsCutToThirtyBytesTheTrackAfterTheCommentNoGenre) {
  TId3v1Tags tags;
  tags.SetTitle(std::string(40, 'T'));
  tags.SetArtist("Artist");
  tags.SetAlbum("Album \xE9");  // narrow text goes in byte for byte
  tags.SetComment("Comment");
  tags.SetTrack(7);
  tags.SetGenreId(17);
  const auto record = MakeId3v1Record(tags);
  EXPECT_EQ(Field(record, 0, 33), "TAG" + std::string(30, 'T'));
  EXPECT_EQ(Field(record, 33, 30), "Artist" + std::string(24, '\0'));
  EXPECT_EQ(Field(record, 63, 30), "Album \xE9" + std::string(23, '\0'));
  EXPECT_EQ(Field(record, 97, 31), "Comment" + std::string(21, '\0') + std::string("\0\x07\0", 3));
  tags.SetTrack(0);
  tags.SetComment(std::string(30, 'C'));
  EXPECT_EQ(Field(MakeId3v1Record(tags), 97, 31), std::string(30, 'C') + '\0')
      << "without a track the comment has all 30 bytes";
}

TEST(Id3v1Record, OnlyFourDigitYearsAreWritten) {
  for (const auto& [year, field] :
       std::initializer_list<std::pair<uint16_t, std::string>>{{0, std::string(4, '\0')},
                                                               {2015, "2015"},
                                                               {99, std::string(4, '\0')},
                                                               {10000, std::string(4, '\0')}}) {
    TId3v1Tags tags;
    tags.SetYear(year);
    EXPECT_EQ(Field(MakeId3v1Record(tags), 93, 4), field) << year;
  }
}

}  // namespace
