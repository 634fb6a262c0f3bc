// SPDX-License-Identifier: GPL-3.0-or-later
// The tags of an MP3 file beyond what the media runtime reports: every value of a frame,
// pictures, comments, frames the runtime misreads, and what the ID3v1 record and an APEv2 tag
// hold. Tags are built byte by byte, including the layouts other writers use
// (unsynchronisation, extended headers, compressed frames, version 2).
#include <gtest/gtest.h>
#include <zlib.h>

#include "tag_test_files.h"
#include "tags/mp3_file_tags.h"

namespace {

using namespace tagtest;
using namespace std::string_literals;

TBytes Size32(uint32_t size, bool synchsafe) {
  const int bits = synchsafe ? 7 : 8;
  TBytes out;
  for (int shift = 3 * bits; shift >= 0; shift -= bits)
    out.push_back(static_cast<std::byte>((size >> shift) & ((1u << bits) - 1)));
  return out;
}

TBytes Tag(int version, uint8_t flags, const TBytes& body) {
  return Concat({Bytes("ID3"), TBytes{std::byte(version), std::byte{0}, std::byte(flags)},
                 Size32(static_cast<uint32_t>(body.size()), true), body});
}

TBytes Frame(std::string_view id, const TBytes& data, int version = 4, uint8_t format = 0) {
  if (version == 2) {
    const auto n = static_cast<uint32_t>(data.size());
    return Concat({Bytes(id), TBytes{std::byte(n >> 16), std::byte(n >> 8), std::byte(n)}, data});
  }
  return Concat({Bytes(id), Size32(static_cast<uint32_t>(data.size()), version == 4),
                 TBytes{std::byte{0}, std::byte(format)}, data});
}

std::u16string ArtistOf(const TBytes& tag) {
  TMP3FileTags out;
  ReadId3v2Extras(tag, out);
  return out.Artist;
}

TTagPictures PicturesOf(const TBytes& tag) {
  TMP3FileTags out;
  ReadId3v2Extras(tag, out);
  return out.Pictures;
}

TBytes Compressed(const TBytes& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  TBytes out(size);
  EXPECT_EQ(compress(reinterpret_cast<Bytef*>(out.data()), &size,
                     reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size())),
            Z_OK);
  out.resize(size);
  return out;
}

TEST(MP3FileTags, EveryValueOfAFrameIsKeptInEachEncoding) {
  const struct {
    TBytes Data;
    std::u16string Joined;  // empty: one value, nothing to add
  } rows[] = {
      {Raw("\x03"
           "A\0B\0"),
       u"A/B"},
      {Raw("\x03"
           "A\0B"),
       u"A/B"},
      {Raw("\x00"
           "Bj\xF8rk\0Caf\xE9"),
       u"Bj\u00F8rk/Caf\u00E9"},
      {Raw("\x01\xFF\xFE"
           "A\0\0\0\xFF\xFE"
           "B\0"),
       u"A/B"},
      {Raw("\x01\xFE\xFF\0A\0\0\xFE\xFF\0B"), u"A/B"},
      {Raw("\x02\0A\0\0\0B"), u"A/B"},
      {Raw("\x01\xFF\xFE"
           "A\0\0\0B"),
       u""},  // an odd last byte is no second value (it used to loop forever)
      {Raw("\x03"
           "Alone\0"),
       u""},
      {Raw("\x07"
           "A\0B"),
       u""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(AsString(row.Data));
    EXPECT_EQ(ArtistOf(Tag(4, 0, Frame("TPE1", row.Data))), row.Joined);
  }
}

TEST(MP3FileTags, PicturesAreReadFromEveryLayout) {
  const TBytes jpeg = Raw("\xFF\xD8\xFF\x00\xE0 jpeg");
  const TBytes apic = Concat({Raw("\x03image/jpeg\0\x04"
                                  "Back\0"),
                              jpeg});
  const TBytes pic = Concat({Raw("\x00JPG\x03"
                                 "Front\0"),
                             jpeg});
  // Unsynchronised, every FF is followed by 00, which the reader takes out again.
  TBytes unsynced;
  for (const std::byte b : apic) {
    unsynced.push_back(b);
    if (b == std::byte{0xFF}) unsynced.push_back(std::byte{0});
  }
  const struct {
    const char* Name;
    TBytes Tag;
    uint8_t Type;
    const char* Mime;
    std::u16string Description;
  } rows[] = {
      {"2.4", Tag(4, 0, Frame("APIC", apic)), 4, "image/jpeg", u"Back"},
      {"2.3", Tag(3, 0, Frame("APIC", apic, 3)), 4, "image/jpeg", u"Back"},
      {"2.2", Tag(2, 0, Frame("PIC", pic, 2)), 3, "image/jpeg", u"Front"},
      {"2.3 unsynchronised tag",
       // The frame's size counts its bytes before the whole tag was unsynchronised.
       Tag(3, 0x80,
           Concat({Bytes("APIC"), Size32(static_cast<uint32_t>(apic.size()), false), TBytes(2),
                   unsynced})),
       4, "image/jpeg", u"Back"},
      {"2.4 unsynchronised frame with data length",
       Tag(4, 0,
           Frame("APIC", Concat({Size32(static_cast<uint32_t>(apic.size()), true), unsynced}), 4,
                 0x03)),
       4, "image/jpeg", u"Back"},
      {"2.3 extended header",
       Tag(3, 0x40, Concat({Raw("\0\0\0\x06\0\0\0\0\0\0"), Frame("APIC", apic, 3)})), 4,
       "image/jpeg", u"Back"},
      {"2.4 extended header", Tag(4, 0x40, Concat({Raw("\0\0\0\x06\x01\0"), Frame("APIC", apic)})),
       4, "image/jpeg", u"Back"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    const auto pictures = PicturesOf(row.Tag);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].Type, row.Type);
    EXPECT_EQ(pictures[0].MimeType, row.Mime);
    EXPECT_EQ(pictures[0].Description, row.Description);
    EXPECT_EQ(pictures[0].Data, jpeg);
  }
}

TEST(MP3FileTags, DamagedOrHiddenFramesGiveWhatCanBeRead) {
  const TBytes apic = Raw("\x03image/png\0\x03\0png");
  const struct {
    const char* Name;
    TBytes Tag;
    size_t Pictures;
  } rows[] = {
      {"compressed frame skipped",
       Tag(4, 0, Concat({Frame("APIC", apic, 4, 0x08), Frame("APIC", apic)})), 1},
      {"frame past the tag's end",
       Tag(4, 0, Concat({Frame("APIC", apic), Raw("APIC\0\0\x7F\x7F\0\0")})), 1},
      {"frame header cut short", Tag(4, 0, Raw("APIC\0\0")), 0},
      {"no MIME terminator", Tag(4, 0, Frame("APIC", Raw("\x03image/png"))), 0},
      {"padding ends the frames",
       Tag(4, 0, Concat({Frame("APIC", apic), TBytes(20), Frame("APIC", apic)})), 1},
      {"not a tag", Raw("ID4\x04\0\0\0\0\0\x10"), 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    EXPECT_EQ(PicturesOf(row.Tag).size(), row.Pictures);
  }
}

TEST(MP3FileTags, CommentsKeepLanguageAndDescriptionInEveryEncoding) {
  const struct {
    const char* Name;
    TBytes Tag;
    std::vector<TTagComment> Comments;
  } rows[] = {
      {"2.4 Latin-1",
       Tag(4, 0,
           Frame("COMM", Raw("\x00"
                             "engNotes\0Caf\xE9 \x80"))),
       {{"eng", u"Notes", u"Caf\u00E9 \u20AC"}}},
      {"2.3 UTF-16, little-endian marks",
       Tag(3, 0,
           Frame("COMM",
                 Raw("\x01"
                     "eng\xFF\xFE\0\0\xFF\xFE\xA9\x03\0\0"),
                 3)),
       {{"eng", u"", u"\u03A9"}}},
      {"2.3 UTF-16, big-endian marks",
       Tag(3, 0,
           Frame("COMM",
                 Raw("\x01"
                     "deu\xFE\xFF\0D\0\0\xFE\xFF\0\xFC"),
                 3)),
       {{"deu", u"D", u"\u00FC"}}},
      {"2.4 UTF-16BE without mark",
       Tag(4, 0,
           Frame("COMM", Raw("\x02"
                             "fra\0\0\0\xE9\0!"))),
       {{"fra", u"", u"\u00E9!"}}},
      {"2.4 UTF-8, two comments",
       Tag(4, 0,
           Concat({Frame("COMM", Raw("\x03"
                                     "eng\0Gr\xC3\xBC\xC3\x9F\xC3\xA9")),
                   Frame("COMM", Raw("\x03"
                                     "engiTunSMPB\0 00000000"))})),
       {{"eng", u"", u"Gr\u00FC\u00DF\u00E9"}, {"eng", u"iTunSMPB", u" 00000000"}}},
      {"2.2",
       Tag(2, 0,
           Frame("COM",
                 Raw("\x00"
                     "eng\0Two"),
                 2)),
       {{"eng", u"", u"Two"}}},
      {"no language", Tag(4, 0, Frame("COMM", Raw("\x00\0\0\0\0Text"))), {{"XXX", u"", u"Text"}}},
      {"unknown encoding",
       Tag(4, 0,
           Frame("COMM", Raw("\x05"
                             "eng\0Text"))),
       {}},
      {"cut short",
       Tag(4, 0,
           Frame("COMM", Raw("\x00"
                             "en"))),
       {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    TMP3FileTags out;
    ReadId3v2Extras(row.Tag, out);
    EXPECT_EQ(out.Comments, row.Comments);
  }
}

TEST(MP3FileTags, CompressedFramesInflateAndHiddenOnesAreKnownAsSuch) {
  const TBytes title = Raw("\x00Packed");
  const auto size3 = Size32(static_cast<uint32_t>(title.size()), false);
  const auto size4 = Size32(static_cast<uint32_t>(title.size()), true);
  const TBytes packed = Compressed(title);
  const TBytes comment =
      Raw("\x00"
          "eng\0Packed note");
  const TBytes packedComment =
      Concat({Size32(static_cast<uint32_t>(comment.size()), false), Compressed(comment)});
  const struct {
    const char* Name;
    TBytes Tag;
    std::optional<std::u16string> Version3Title;  // nothing: the runtime reads the title
    std::u16string Comment;
  } rows[] = {
      {"2.3 compressed", Tag(3, 0, Frame("TIT2", Concat({size3, packed}), 3, 0x80)), u"Packed",
       u""},
      {"2.3 compressed and grouped",
       Tag(3, 0, Frame("TIT2", Concat({size3, Raw("\x07"), packed}), 3, 0xA0)), u"Packed", u""},
      {"2.3 grouped", Tag(3, 0, Frame("TIT2", Concat({Raw("\x07"), title}), 3, 0x20)), u"Packed",
       u""},
      {"2.3 encrypted", Tag(3, 0, Frame("TIT2", Concat({Raw("\x01"), title}), 3, 0x40)), u"", u""},
      {"2.3 plain", Tag(3, 0, Frame("TIT2", title, 3)), std::nullopt, u""},
      {"2.3 compressed comment", Tag(3, 0, Frame("COMM", packedComment, 3, 0x80)), std::nullopt,
       u"Packed note"},
      {"2.3 compressed, more than stated",
       Tag(3, 0, Frame("TIT2", Concat({Size32(3, false), packed}), 3, 0x80)), u"", u""},
      {"2.3 compressed, beyond any bound",
       Tag(3, 0, Frame("TIT2", Concat({Size32(0xFFFFFFFF, false), packed}), 3, 0x80)), u"", u""},
      {"2.3 compressed, damaged stream",
       Tag(3, 0, Frame("TIT2", Concat({size3, Raw("\x78\x9C\xFF\xFF")}), 3, 0x80)), u"", u""},
      {"2.4 compressed with data length",
       Tag(4, 0,
           Frame("COMM",
                 Concat({Size32(static_cast<uint32_t>(comment.size()), true), Compressed(comment)}),
                 4, 0x09)),
       std::nullopt, u"Packed note"},
      {"2.4 grouped, compressed with data length",
       Tag(4, 0, Frame("TIT2", Concat({Raw("\x07"), size4, packed}), 4, 0x49)), std::nullopt, u""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    TMP3FileTags out;
    ReadId3v2Extras(row.Tag, out);
    const auto found = out.Version3Texts.find("TIT2");
    EXPECT_EQ(found != out.Version3Texts.end() ? std::optional(found->second) : std::nullopt,
              row.Version3Title);
    EXPECT_EQ(out.Comments.empty() ? u"" : out.Comments[0].Text, row.Comment);
  }
  // The same compressed picture in both versions.
  const TBytes apic = Raw("\x03image/png\0\x03\0png");
  const TBytes packedApic = Compressed(apic);
  const auto apicSize = static_cast<uint32_t>(apic.size());
  EXPECT_EQ(
      PicturesOf(Tag(3, 0, Frame("APIC", Concat({Size32(apicSize, false), packedApic}), 3, 0x80)))
          .size(),
      1u);
  EXPECT_EQ(
      PicturesOf(Tag(4, 0, Frame("APIC", Concat({Size32(apicSize, true), packedApic}), 4, 0x09)))
          .size(),
      1u);
}

TEST(MP3FileTags, TheFilesCommentsAndTheTextsTheRuntimeMisreadsReplaceItsOwn) {
  TMP3FileTags file;
  file.Comments = {{"deu", u"Notiz", u"Gr\u00FC\u00DFe"},
                   {"eng", u"", u"Main"},
                   {"eng", u"iTunNORM", u" 0000"},
                   {"fra", u"", u"Second"}};
  file.Version3Texts = {{"TIT2", u"Packed"}, {"TCON", u"(17)"}, {"TYER", u"1999"}, {"TPE1", u""}};
  file.Id3v1.emplace();
  file.Id3v1->SetArtist("V1 Artist");
  TId3v2Tags tags;
  tags.SetTitle(u"\u0001noise");
  tags.SetArtist(u"noise");
  tags.SetAlbum(u"Album");
  tags.SetComment(u"runtime");
  CompleteFromMP3File(file, tags);
  EXPECT_EQ(tags.Title(), u"Packed");
  EXPECT_EQ(tags.Genre(), u"Rock") << "an ID3v1 genre number stands for its name";
  EXPECT_EQ(tags.Year(), "1999");
  EXPECT_EQ(tags.Artist(), u"V1 Artist") << "an encrypted frame is no text";
  EXPECT_EQ(tags.Album(), u"Album");
  EXPECT_EQ(tags.Comment(), u"Main");
  EXPECT_EQ(tags.Comments(), (TTagComments{file.Comments[0], file.Comments[1], file.Comments[3]}))
      << "an encoder's notes on the old encoding do not travel";

  TMP3FileTags none;
  none.Id3v1.emplace();
  none.Id3v1->SetComment("V1 comment");
  TId3v2Tags fromV1;
  CompleteFromMP3File(none, fromV1);
  EXPECT_EQ(fromV1.Comment(), u"V1 comment");
}

TBytes ApeItem(std::string_view key, std::string_view value, uint32_t flags = 0) {
  TBytes out;
  for (const uint32_t n : {static_cast<uint32_t>(value.size()), flags})
    for (int b = 0; b < 4; ++b) out.push_back(static_cast<std::byte>(n >> (8 * b)));
  return Concat({out, Bytes(key), TBytes{std::byte{0}}, Bytes(value)});
}

TBytes ApeTag(const TBytes& items, uint32_t count) {
  TBytes footer = Bytes("APETAGEX");
  for (const uint32_t n : {2000u, static_cast<uint32_t>(items.size() + 32), count, 0u})
    for (int b = 0; b < 4; ++b) footer.push_back(static_cast<std::byte>(n >> (8 * b)));
  footer.resize(32);
  return Concat({items, footer});
}

TEST(MP3FileTags, APEv2TextItemsAreReadBinariesAndDamageAreNot) {
  const TBytes items = Concat({ApeItem("ARTIST", "A\0B"s), ApeItem("Album", "Alb\xC3\xBCm"),
                               ApeItem("Title", "binary", 2), ApeItem("Year", "1987")});
  TAPEv2Tags ape;
  ASSERT_TRUE(ReadAPEv2(ApeTag(items, 4), ape));
  EXPECT_EQ(ape.Artist(), u"A/B") << "keys are matched without regard to case";
  EXPECT_EQ(ape.Album(), u"Alb\u00FCm");
  EXPECT_EQ(ape.Title(), u"");
  EXPECT_EQ(ape.Year(), "1987");

  TAPEv2Tags damaged;
  EXPECT_TRUE(ReadAPEv2(ApeTag(ApeItem("Artist", "x"), 1000), damaged)) << "count too large";
  EXPECT_EQ(damaged.Artist(), u"x");
  EXPECT_FALSE(ReadAPEv2(Bytes("APETAGEX"), damaged));
  auto lying = ApeTag(ApeItem("Artist", "x"), 1);
  lying[lying.size() - 20] = std::byte{0xFF};  // the size field claims more than there is
  EXPECT_FALSE(ReadAPEv2(lying, damaged));
}

TEST(MP3FileTags, EmptyFieldsAreFilledFromTheId3v1RecordThenFromAPEv2) {
  TMP3FileTags file;
  file.Id3v1.emplace();
  file.Id3v1->SetArtist("Bj\xF8rk");
  file.Id3v1->SetYear(2001);
  file.Id3v1->SetTrack(7);
  file.Id3v1->SetGenreId(17);
  file.APEv2.emplace();
  file.APEv2->SetArtist(u"Ape Artist");
  file.APEv2->SetAlbum(u"Ape Album");
  file.Composer = u"C1/C2";
  TTagPicture cover;
  cover.Data = Bytes("img");
  file.Pictures = {cover};

  TId3v2Tags tags;
  tags.SetTitle(u"Own title");
  tags.SetComposer(u"C1");
  CompleteFromMP3File(file, tags);
  EXPECT_EQ(tags.Title(), u"Own title") << "what the ID3v2 tag has stays";
  EXPECT_EQ(tags.Artist(), u"Bj\u00F8rk") << "ID3v1 before APEv2, as Windows-1252";
  EXPECT_EQ(tags.Album(), u"Ape Album");
  EXPECT_EQ(tags.Year(), "2001");
  EXPECT_EQ(tags.Track(), "7");
  EXPECT_EQ(tags.Genre(), u"Rock");
  EXPECT_EQ(tags.Composer(), u"C1/C2");
  EXPECT_EQ(tags.Pictures(), file.Pictures);

  TId3v2Tags copy;
  copy.Assign(tags);
  EXPECT_EQ(copy.Pictures(), file.Pictures) << "pictures travel with Assign";
  file.Id3v1->SetValue("genre", uint8_t{255});
  TId3v2Tags noGenre;
  CompleteFromMP3File(file, noGenre);
  EXPECT_EQ(noGenre.Genre(), u"") << "genre byte 255 names no genre";
}

}  // namespace
