// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>

#include "tag_test_files.h"
#include "tags/id3v1_tags.h"

namespace {

using namespace tagtest;

// A record with the given fields; `tail` holds bytes 125..127.
TBytes Record(std::string_view title, std::string_view comment30, std::array<int, 3> tail,
              std::string_view year = "2001") {
  TBytes r(128, std::byte{0});
  std::memcpy(r.data(), "TAG", 3);
  std::memcpy(r.data() + 3, title.data(), std::min<std::size_t>(title.size(), 30));
  std::memcpy(r.data() + 33, "  Artist\0\0", 10);
  std::memcpy(r.data() + 63, "Album", 5);
  std::memcpy(r.data() + 93, year.data(), std::min<std::size_t>(year.size(), 4));
  std::memcpy(r.data() + 97, comment30.data(), std::min<std::size_t>(comment30.size(), 30));
  for (std::size_t i = 0; i < 3; ++i) {
    r[125 + i] = static_cast<std::byte>(tail[i]);
  }
  return r;
}

struct TLayoutRow {
  const char* name;
  int b125;
  int b126;
  std::string comment;
  int track;
};

TEST(Id3v1Read, ChoosesLayoutByBytes125And126) {
  const std::string comment(28, 'c');
  const std::vector<TLayoutRow> rows = {
      {"zero then track", 0, 7, comment, 7}, {"space then track", 32, 65, comment, 65},
      {"two spaces", 32, 32, comment, 0},  // trailing blanks are trimmed away
      {"two zeros", 0, 0, comment, 0},       {"text to the end", 'x', 'y', comment + "xy", 0},
  };
  TTempDir dir;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TBytes rec = Record("Title", comment, {row.b125, row.b126, 17});
    const auto path = dir.Write("f.mp3", Concat({Bytes("audio"), rec}));
    TTagFile file = OpenRead(path);
    TId3v1Tags tags;
    ASSERT_TRUE(tags.IsTagPresent(file));
    ASSERT_TRUE(tags.ReadTag(file));
    EXPECT_EQ(tags.Comment(), row.comment);
    EXPECT_EQ(tags.Track(), row.track);
    EXPECT_EQ(tags.Title(), "Title");
    EXPECT_EQ(tags.Artist(), "Artist");
    EXPECT_EQ(tags.Album(), "Album");
    EXPECT_EQ(tags.Year(), 2001);
    EXPECT_EQ(tags.Genre(), "Rock");
    EXPECT_EQ(file.Position(), 5 + 128);
  }
}

TEST(Id3v1Read, KeepsPositionWhenCheckingAndFailsWithoutRecord) {
  TTempDir dir;
  const auto shortFile = dir.Write("short.mp3", Concat({Bytes("TAG"), TBytes(100)}));
  const auto noTag = dir.Write("notag.mp3", TBytes(300, std::byte{'x'}));
  for (const auto& path : {shortFile, noTag}) {
    TTagFile file = OpenRead(path);
    ASSERT_TRUE(file.SeekTo(2));
    TId3v1Tags tags;
    EXPECT_FALSE(tags.IsTagPresent(file));
    EXPECT_EQ(file.Position(), 2);
    EXPECT_FALSE(tags.ReadTag(file));
    EXPECT_EQ(tags.GenreId(), 0);  // null after the failed read, not the default
    EXPECT_EQ(tags.Title(), "");
  }
  TId3v1Tags tags;
  TTagFile invalid;
  EXPECT_FALSE(tags.IsTagPresent(invalid));
  // A FIFO is no file to tag: opening it neither blocks for a writer nor gives a handle.
  const auto fifo = dir.Path() / "fifo.mp3";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(OpenRead(fifo).IsValid());
  EXPECT_FALSE(OpenWrite(fifo).IsValid());
  EXPECT_FALSE(tags.ReadTag(invalid));
  EXPECT_FALSE(tags.WriteTag(invalid, false));
}

TEST(Id3v1Read, GenreOutsideListReadsAsOtherAndBadYearAsZero) {
  TTempDir dir;
  const auto path = dir.Write("f.mp3", Record("T", "", {0, 0, 255}, "20x4"));
  TTagFile file = OpenRead(path);
  TId3v1Tags tags;
  ASSERT_TRUE(tags.ReadTag(file));
  EXPECT_EQ(tags.ValueAsInteger("genre"), 255);
  EXPECT_EQ(tags.GenreId(), 12);
  EXPECT_EQ(tags.Genre(), "Other");
  EXPECT_EQ(tags.Year(), 0);
}

TEST(Id3v1Genre, MatchesTrimmedNameIgnoringCase) {
  struct TRow {
    const char* text;
    int id;
  };
  for (const TRow& row : {TRow{"  rock \t", 17}, TRow{"alt. rock", 40}, TRow{"SYNTHPOP", 147},
                          TRow{"Alternative Rock", 5}, TRow{"", 5}}) {
    TId3v1Tags tags;
    tags.SetGenreId(5);
    tags.SetGenre(row.text);
    EXPECT_EQ(tags.GenreId(), row.id) << row.text;
  }
  TId3v1Tags tags;
  EXPECT_EQ(tags.GenreId(), 12);
  tags.SetValue("genre", std::u16string(u"-3"));  // never an index before the list
  EXPECT_EQ(tags.Genre(), "Other");
}

TEST(Id3v1Write, CutsFieldsAndUsesLayout11OnlyWithTrack) {
  TTempDir dir;
  const auto path = dir.Write("f.mp3", Bytes("body"));
  TId3v1Tags tags;
  tags.SetTitle(std::string(40, 'T'));
  tags.SetArtist("Ar");
  tags.SetComment(std::string(30, 'c'));
  tags.SetYear(12345);
  tags.SetTrack(9);
  tags.SetGenre("jazz");
  {
    TTagFile file = OpenWrite(path);
    ASSERT_TRUE(tags.WriteTag(file, true));
  }
  const TBytes all = ReadAll(path);
  ASSERT_EQ(all.size(), 4u + 128u);
  const std::string rec = AsString(TBytes(all.begin() + 4, all.end()));
  EXPECT_EQ(rec.substr(0, 3), "TAG");
  EXPECT_EQ(rec.substr(3, 30), std::string(30, 'T'));
  EXPECT_EQ(rec.substr(33, 30), std::string("Ar") + std::string(28, '\0'));
  EXPECT_EQ(rec.substr(93, 4), "1234");
  EXPECT_EQ(rec.substr(97, 28), std::string(28, 'c'));
  EXPECT_EQ(rec[125], '\0');
  EXPECT_EQ(rec[126], '\x09');
  EXPECT_EQ(rec[127], '\x08');

  TId3v1Tags back;
  TTagFile file = OpenRead(path);
  ASSERT_TRUE(back.ReadTag(file));
  EXPECT_EQ(back.Title(), std::string(30, 'T'));
  EXPECT_EQ(back.Track(), 9);
  EXPECT_EQ(back.Genre(), "Jazz");
}

TEST(Id3v1Write, WithoutTrackKeepsThirtyCommentBytesAndAppendsEveryTime) {
  TTempDir dir;
  const auto path = dir.Write("f.mp3", TBytes());
  TId3v1Tags tags;
  tags.SetComment(std::string(30, 'c'));
  TTagFile file = OpenWrite(path);
  ASSERT_TRUE(tags.WriteTag(file, false));
  ASSERT_TRUE(tags.WriteTag(file, false));
  const TBytes all = ReadAll(path);
  ASSERT_EQ(all.size(), 256u);
  const std::string rec = AsString(TBytes(all.begin() + 128, all.end()));
  EXPECT_EQ(rec.substr(97, 30), std::string(30, 'c'));
  EXPECT_EQ(rec.substr(93, 4), std::string("0") + std::string(3, '\0'));
  EXPECT_EQ(rec[127], '\x0C');

  TTagFile readOnly = OpenRead(path);
  EXPECT_FALSE(tags.WriteTag(readOnly, false));
  EXPECT_EQ(ReadAll(path).size(), 256u);
}

}  // namespace
