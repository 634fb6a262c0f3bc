// The ID3v1 record the MP3 sink appends to every file.
#include <gtest/gtest.h>

#include <string>

#include "formats/mp3out/id3v1_record.h"

namespace {

std::string Field(const std::array<uint8_t, 128>& record, size_t offset, size_t length) {
  return std::string(record.begin() + static_cast<long>(offset),
                     record.begin() + static_cast<long>(offset + length));
}

TEST(Id3v1Record, PutsTextsAtTheirOffsetsCutToThirtyBytes) {
  TId3v1Tags tags;
  tags.SetTitle(std::string(40, 'T'));
  tags.SetArtist("Artist");
  tags.SetAlbum("Album \xE9");  // narrow text goes in byte for byte
  tags.SetComment("Comment");
  tags.SetTrack(7);
  tags.SetGenreId(17);
  const auto record = MakeId3v1Record(tags);
  EXPECT_EQ(Field(record, 0, 3), "TAG");
  EXPECT_EQ(Field(record, 3, 30), std::string(30, 'T'));
  EXPECT_EQ(Field(record, 33, 30), "Artist" + std::string(24, '\0'));
  EXPECT_EQ(Field(record, 63, 30), "Album \xE9" + std::string(23, '\0'));
  EXPECT_EQ(Field(record, 97, 30), "Comment" + std::string(23, '\0'));
  EXPECT_EQ(record[126], 0) << "no track number";
  EXPECT_EQ(record[127], 0) << "genre byte";
}

TEST(Id3v1Record, WritesOnlyFourDigitYears) {
  const struct {
    uint16_t year;
    std::string field;
  } rows[] = {{0, std::string(4, '\0')},
              {2015, "2015"},
              {99, std::string(4, '\0')},
              {10000, std::string(4, '\0')}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.year);
    TId3v1Tags tags;
    tags.SetYear(row.year);
    EXPECT_EQ(Field(MakeId3v1Record(tags), 93, 4), row.field);
  }
}

TEST(Id3v1Record, EmptyTagsGiveAZeroRecord) {
  const auto record = MakeId3v1Record(TId3v1Tags{});
  EXPECT_EQ(Field(record, 3, 125), std::string(125, '\0'));
}

}  // namespace
