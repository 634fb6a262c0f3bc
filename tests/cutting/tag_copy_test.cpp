// SPDX-License-Identifier: GPL-3.0-or-later
// A cut carries its source's texts into the sink's ID3v2 and ID3v1 containers.
#include <gtest/gtest.h>

#include "cutting/kinds/tag_copy.h"

namespace {

TEST(TagCopy, Id3v2TextsArriveUnchangedWhateverFrameIdsTheSourceUses) {
  using TSet = void (TId3v2Tags::*)(const std::u16string&);
  using TGet = std::u16string (TId3v2Tags::*)() const;
  const struct {
    TSet set;
    TGet get;
    std::u16string text;
  } fields[] = {
      {&TId3v2Tags::SetArtist, &TId3v2Tags::Artist, u"\u00C4rtist \u263A"},
      {&TId3v2Tags::SetAlbum, &TId3v2Tags::Album, u"Album"},
      {&TId3v2Tags::SetGenre, &TId3v2Tags::Genre, u"Rock"},
      {&TId3v2Tags::SetTitle, &TId3v2Tags::Title, u"Caf\u00E9"},
      {&TId3v2Tags::SetComment, &TId3v2Tags::Comment, u"Comment"},
      {&TId3v2Tags::SetComposer, &TId3v2Tags::Composer, u"Composer"},
      {&TId3v2Tags::SetEncoder, &TId3v2Tags::Encoder, u"Encoder"},
      {&TId3v2Tags::SetCopyright, &TId3v2Tags::Copyright, u"(c)"},
      {&TId3v2Tags::SetLanguage, &TId3v2Tags::Language, u"eng"},
      {&TId3v2Tags::SetLink, &TId3v2Tags::Link, u"http://example.org/"},
  };
  for (const bool longIds : {true, false}) {  // version 2.2 tags use three-letter ids
    SCOPED_TRACE(longIds);
    TId3v2Tags source, sink;
    source.SetLongFrameIds(longIds);
    for (const auto& f : fields) (source.*f.set)(f.text);
    source.SetYear("2015");
    source.SetTrack("3/12");
    const TTagComments comments = {{"eng", u"", u"Comment"}, {"deu", u"Notiz", u"Gr\u00FC\u00DFe"}};
    source.SetComments(comments);
    sink.SetTitle(u"stale");
    sink.SetComments({{"eng", u"", u"stale"}});
    CopyId3v2Tags(source, sink);
    for (const auto& f : fields) EXPECT_EQ((sink.*f.get)(), f.text);
    EXPECT_EQ(sink.Year(), "2015");
    EXPECT_EQ(sink.Track(), "3/12");
    EXPECT_EQ(sink.Comments(), comments) << "languages and descriptions travel too";
  }
}

TEST(TagCopy, Id3v1GetsNarrowTextsTheGenreByNameAndNumbersThatFit) {
  const struct {
    const char *year, *track;
    uint16_t wantYear;
    uint8_t wantTrack;
  } rows[] = {{"2015", "7", 2015, 7},    {"abc", "3/12", 0, 3},    {"", "", 0, 0},
              {"99999", "256", 0, 0},    {"-5", "-1", 0, 0},       {" 1999", "255", 1999, 255},
              {"2015", "7/12", 2015, 7}, {"2015", "7/x", 2015, 0}, {"2015", "300/400", 2015, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.year);
    TId3v2Tags source;
    source.SetArtist(u"\u00C4rtist \u263A");
    source.SetTitle(u"Caf\u00E9");
    source.SetGenre(u"Rock");
    source.SetYear(row.year);
    source.SetTrack(row.track);
    TId3v1Tags sink;
    sink.SetYear(1);
    CopyId3v2ToId3v1(source, sink);
    EXPECT_EQ(sink.Artist(), "\xC4rtist ?") << "Windows-1252, '?' where it has no character";
    EXPECT_EQ(sink.Title(), "Caf\xE9");
    EXPECT_EQ(sink.Genre(), "Rock");
    EXPECT_EQ(sink.Year(), row.wantYear);
    EXPECT_EQ(sink.Track(), row.wantTrack);
  }
}

}  // namespace
