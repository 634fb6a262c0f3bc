// A cut carries its source's texts into the sink's ID3v2 and ID3v1 containers.
#include <gtest/gtest.h>

#include "cutting/tag_copy.h"

namespace {

void Fill(TId3v2Tags& tags) {
  tags.SetArtist(u"\u00C4rtist \u263A");
  tags.SetAlbum(u"Album");
  tags.SetGenre(u"Rock");
  tags.SetYear("2015");
  tags.SetTrack("7");
  tags.SetTitle(u"Caf\u00E9");
  tags.SetComment(u"Comment");
  tags.SetComposer(u"Composer");
  tags.SetEncoder(u"Encoder");
  tags.SetCopyright(u"(c) Someone");
  tags.SetLanguage(u"eng");
  tags.SetLink(u"http://example.org/");
}

TEST(TagCopy, Id3v2TextsArriveUnchangedWhateverFrameIdsTheSourceUses) {
  for (const bool longIds : {true, false}) {
    SCOPED_TRACE(longIds);
    TId3v2Tags source;
    source.SetLongFrameIds(longIds);  // a version 2.2 tag uses three-letter identifiers
    Fill(source);
    TId3v2Tags sink;
    sink.SetTitle(u"stale");
    CopyId3v2Tags(source, sink);
    EXPECT_EQ(sink.Artist(), u"\u00C4rtist \u263A");
    EXPECT_EQ(sink.Album(), u"Album");
    EXPECT_EQ(sink.Genre(), u"Rock");
    EXPECT_EQ(sink.Year(), "2015");
    EXPECT_EQ(sink.Track(), "7");
    EXPECT_EQ(sink.Title(), u"Caf\u00E9");
    EXPECT_EQ(sink.Comment(), u"Comment");
    EXPECT_EQ(sink.Composer(), u"Composer");
    EXPECT_EQ(sink.Encoder(), u"Encoder");
    EXPECT_EQ(sink.Copyright(), u"(c) Someone");
    EXPECT_EQ(sink.Language(), u"eng");
    EXPECT_EQ(sink.Link(), u"http://example.org/");
  }
}

TEST(TagCopy, AnEmptySourceClearsTheSinksTexts) {
  TId3v2Tags source, sink;
  Fill(sink);
  CopyId3v2Tags(source, sink);
  EXPECT_EQ(sink.Title(), u"");
  EXPECT_EQ(sink.Year(), "");
}

TEST(TagCopy, Id3v1GetsNarrowTextsGenreByNameAndNumbers) {
  TId3v2Tags source;
  Fill(source);
  TId3v1Tags sink;
  CopyId3v2ToId3v1(source, sink);
  EXPECT_EQ(sink.Artist(), "\xC4rtist ?") << "Windows-1252, '?' where it has no character";
  EXPECT_EQ(sink.Title(), "Caf\xE9");
  EXPECT_EQ(sink.Album(), "Album");
  EXPECT_EQ(sink.Comment(), "Comment");
  EXPECT_EQ(sink.Genre(), "Rock");
  EXPECT_EQ(sink.Year(), 2015);
  EXPECT_EQ(sink.Track(), 7);
}

TEST(TagCopy, Id3v1NumbersAreZeroUnlessTheyFit) {
  const struct {
    const char* year;
    uint16_t wantYear;
    const char* track;
    uint8_t wantTrack;
  } rows[] = {
      {"abc", 0, "3/12", 0}, {"", 0, "", 0},         {"99999", 0, "256", 0},
      {"-5", 0, "-1", 0},    {" 1999", 1999, "255", 255},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.year);
    TId3v2Tags source;
    source.SetYear(row.year);
    source.SetTrack(row.track);
    TId3v1Tags sink;
    sink.SetYear(1);
    sink.SetTrack(1);
    CopyId3v2ToId3v1(source, sink);
    EXPECT_EQ(sink.Year(), row.wantYear);
    EXPECT_EQ(sink.Track(), row.wantTrack);
  }
}

}  // namespace
