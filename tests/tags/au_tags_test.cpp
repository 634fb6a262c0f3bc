// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "tag_test_files.h"
#include "tags/apev2_tags.h"
#include "tags/common_tags.h"
#include "tags/id3v1_tags.h"
#include "tags/id3v2_tags.h"
#include "tags/tag_text.h"

namespace {

using namespace tagtest;

// Exposes key declaration, which only constructors of concrete classes use.
class TTestTags : public TAuTags {
 public:
  using TAuTags::DeclareKey;
};

std::vector<std::string> Keys(const TAuTags& tags) {
  std::vector<std::string> keys;
  for (int i = 0; i < tags.ValueCount(); ++i) {
    keys.push_back(tags.KeyAt(i));
  }
  return keys;
}

TEST(AuTagsKeys, AreHeldOnceAndSortedIgnoringCase) {
  TTestTags tags;
  EXPECT_TRUE(tags.DeclareKey("beta", std::string("b")));
  EXPECT_TRUE(tags.DeclareKey("Alpha", std::string("first")));
  EXPECT_TRUE(tags.DeclareKey("ALPHA", std::string("second")));
  EXPECT_FALSE(tags.DeclareKey("", {}));
  EXPECT_EQ(Keys(tags), (std::vector<std::string>{"Alpha", "beta"}));
  EXPECT_EQ(tags.ValueAsText("alpha"), "first");
  EXPECT_EQ(tags.ValueAsText("BETA"), "b");
  EXPECT_EQ(tags.KeyAt(-1), "");
  EXPECT_EQ(tags.KeyAt(tags.ValueCount()), "");
}

TEST(AuTagsKeys, ApeKeysSortLikeTextNotLikeBytes) {
  // "LC" after "Language": a byte-wise order would put capitals first.
  TAPEv2Tags ape;
  EXPECT_EQ(Keys(ape), (std::vector<std::string>{
                           "Abstract", "Album",    "Artist",    "Bibliography", "Catalog",
                           "Comment",  "Composer", "Conductor", "Copyright",    "Debut album",
                           "EAN/UPC",  "File",     "Genre",     "ISBN",         "ISRC",
                           "Language", "LC",       "Publisher", "Record Date",  "Record Location",
                           "Related",  "Subtitle", "Title",     "Track",        "Year"}));
}

TEST(AuTagsFlags, FollowChangesButNotUnchangedOrUndeclaredValues) {
  TId3v1Tags tags;
  EXPECT_TRUE(tags.Empty());
  EXPECT_FALSE(tags.Changed());

  tags.SetValue("lyrics", std::string("never declared"));
  tags.SetValue("title", TAuTagValue{});     // null onto null
  tags.SetValue("genre", std::int32_t{12});  // same number, other width
  EXPECT_TRUE(tags.Empty());
  EXPECT_FALSE(tags.Changed());
  EXPECT_EQ(tags.GetValue("lyrics"), TAuTagValue{});

  tags.SetValue("TITLE", std::string("Song"));
  EXPECT_FALSE(tags.Empty());
  EXPECT_TRUE(tags.Changed());
  EXPECT_EQ(tags.Title(), "Song");
  tags.SetValue("title", std::u16string(u"Song"));  // the same text in the other width
  EXPECT_TRUE(std::holds_alternative<std::string>(tags.GetValue("title")));

  tags.ClearValues();
  EXPECT_TRUE(tags.Empty());
  EXPECT_TRUE(tags.Changed());
  EXPECT_EQ(tags.ValueCount(), 7);
  EXPECT_EQ(tags.GetValue("genre"), TAuTagValue{});
}

struct TConversionRow {
  const char* name;
  TAuTagValue value;
  std::int64_t integer;
  std::string text;
  std::u16string wide;
};

TEST(AuTagsConversions, ReadEachValueKindAsNumberAndBothTexts) {
  const std::vector<TConversionRow> rows = {
      {"null", TAuTagValue{}, 0, "", u""},
      {"int8", std::int8_t{-5}, -5, "-5", u"-5"},
      {"uint32", std::uint32_t{4000000000u}, 4000000000, "4000000000", u"4000000000"},
      {"number text", std::string(" 42"), 42, " 42", u" 42"},
      {"free text", std::string("3/12"), 0, "3/12", u"3/12"},
      {"too large", std::string("2147483648"), 0, "2147483648", u"2147483648"},
      {"smallest", std::string("-2147483648"), -2147483648LL, "-2147483648", u"-2147483648"},
      {"ansi euro", std::string("\x80uro \xE9"), 0, "\x80uro \xE9", u"\u20ACuro \u00E9"},
      {"wide number", std::u16string(u"-17"), -17, "-17", u"-17"},
      {"unmappable", std::u16string(u"\u03A9 \u20AC \U0001F600"), 0, "? \x80 ?",
       u"\u03A9 \u20AC \U0001F600"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TTestTags tags;
    tags.DeclareKey("k", row.value);
    EXPECT_EQ(tags.ValueAsInteger("K"), row.integer);
    EXPECT_EQ(tags.ValueAsText("k"), row.text);
    EXPECT_EQ(tags.ValueAsWideText("k"), row.wide);
  }
  TTestTags none;
  EXPECT_EQ(none.ValueAsInteger("missing"), 0);
  EXPECT_EQ(none.ValueAsText("missing"), "");
}

TEST(AuTagsConversions, AnsiBytesRoundTripThroughWideText) {
  std::string all;
  for (int b = 1; b < 256; ++b) {
    all.push_back(static_cast<char>(b));
  }
  EXPECT_EQ(tag_text::WideToAnsi(tag_text::AnsiToWide(all)), all);
}

TEST(AuTagsConversions, Utf8DecodesAndReplacesBadSequences) {
  EXPECT_EQ(tag_text::Utf8ToWide("a\xC3\xA9\xE2\x98\xBA\xF0\x9F\x98\x80"),
            u"a\u00E9\u263A\U0001F600");
  EXPECT_EQ(tag_text::Utf8ToWide("\xC3"), u"\uFFFD");            // cut off
  EXPECT_EQ(tag_text::Utf8ToWide("\xC0\xAF"), u"\uFFFD");        // overlong
  EXPECT_EQ(tag_text::Utf8ToWide("\xED\xA0\x80x"), u"\uFFFDx");  // encoded surrogate
  EXPECT_EQ(tag_text::WideToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(tag_text::WideToUtf8(std::u16string(1, char16_t{0xD800})), "\xEF\xBF\xBD");
}

TEST(AuTagsAssign, CopiesKeysBothClassesDeclareIgnoringCase) {
  TCommonTags common;
  common.SetTitle(u"T");
  common.SetAlbum(u"Al");
  common.SetArtist(u"Ar");
  common.SetGenre(u"Rock");
  common.SetYear("2004");
  common.SetTrack("5");

  TId3v1Tags v1;
  v1.SetComment("stale");
  v1.Assign(common);
  EXPECT_EQ(v1.Title(), "T");
  EXPECT_EQ(v1.Album(), "Al");
  EXPECT_EQ(v1.Artist(), "Ar");
  EXPECT_EQ(v1.Year(), 2004);
  EXPECT_EQ(v1.Track(), 5);
  EXPECT_EQ(v1.ValueAsText("genre"), "Rock");
  EXPECT_EQ(v1.GenreId(), 0);  // a name is no number: it reads as index 0
  EXPECT_EQ(v1.GetValue("comment"), TAuTagValue{});

  TAPEv2Tags ape;
  ape.SetTitle(u"T");
  ape.SetComment(u"C");
  ape.SetSubTitle(u"not in ID3v1");
  TId3v1Tags fromApe;
  ape.AssignTo(fromApe);
  EXPECT_EQ(fromApe.Title(), "T");
  EXPECT_EQ(fromApe.Comment(), "C");

  TCommonTags commonFromApe;
  commonFromApe.Assign(ape);
  EXPECT_EQ(commonFromApe.Title(), u"T");
  EXPECT_EQ(commonFromApe.GetValue("Album"), TAuTagValue{});  // cleared, not the initial ""
}

TEST(AuTagsAssign, IntoId3v2CopiesNothingBecauseItsKeysAreFrameIds) {
  TAPEv2Tags ape;
  ape.SetTitle(u"T");
  TCommonTags common;
  common.SetArtist(u"A");
  TId3v2Tags v2;
  v2.SetTitle(u"old");
  v2.Assign(ape);
  EXPECT_TRUE(v2.Empty());
  v2.Assign(common);
  EXPECT_TRUE(v2.Empty());
  TId3v1Tags v1;
  v1.Assign(v2);
  EXPECT_EQ(v1.GenreId(), 0);  // the null genre reads as 0, not the default 12
}

TEST(AuTagsAssign, BetweenId3v2CopiesAllKeysButNotTheIdSet) {
  TId3v2Tags source;
  source.SetLongFrameIds(false);
  source.SetTitle(u"short");
  source.SetLongFrameIds(true);
  source.SetTitle(u"long");
  TId3v2Tags dest;
  dest.SetLongFrameIds(false);
  dest.Assign(source);
  EXPECT_FALSE(dest.LongFrameIds());
  EXPECT_EQ(dest.Title(), u"short");
  EXPECT_EQ(dest.ValueAsWideText("TIT2"), u"long");
}

TEST(AuTagsAssign, ToItselfKeepsTheValues) {
  TId3v1Tags tags;
  tags.SetTitle("kept");
  tags.Assign(tags);
  EXPECT_EQ(tags.Title(), "kept");
}

TEST(CommonTags, StartAsEmptyTextsAndClearToNulls) {
  TCommonTags common;
  EXPECT_TRUE(common.Empty());
  for (const char* key : {"Title", "Album", "Artist", "Genre", "Year", "Track"}) {
    EXPECT_EQ(common.GetValue(key), TAuTagValue(std::string())) << key;
  }
  common.ClearValues();
  EXPECT_EQ(common.GetValue("Title"), TAuTagValue{});
  EXPECT_EQ(common.Title(), u"");
}

TEST(BaseFileOperations, FailOnInvalidHandleAndLeaveValidFilesAlone) {
  TTempDir dir;
  const TBytes content = Raw("ID3\x04\x00\x00\x00\x00\x00\x00 body");
  const auto path = dir.Write("f.bin", content);
  TCommonTags common;
  TAPEv2Tags ape;
  for (TAuTags* tags : std::initializer_list<TAuTags*>{&common, &ape}) {
    TTagFile invalid;
    EXPECT_FALSE(tags->IsTagPresent(invalid));
    EXPECT_FALSE(tags->ReadTag(invalid));
    EXPECT_FALSE(tags->WriteTag(invalid, true));

    tags->SetValue("Title", std::string("x"));
    TTagFile file = OpenWrite(path);
    EXPECT_TRUE(tags->IsTagPresent(file));
    EXPECT_TRUE(tags->WriteTag(file, false));
    EXPECT_TRUE(tags->ReadTag(file));
    EXPECT_EQ(tags->GetValue("Title"), TAuTagValue{});
    EXPECT_EQ(file.Position(), 0);
  }
  EXPECT_EQ(ReadAll(path), content);
}

}  // namespace
