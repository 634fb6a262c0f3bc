// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "tag_test_files.h"
#include "tags/id3v2_tags.h"

namespace {

using namespace tagtest;

TBytes Be(std::uint32_t v, int n) {
  TBytes out;
  for (int i = n - 1; i >= 0; --i) {
    out.push_back(static_cast<std::byte>((v >> (8 * i)) & 0xFF));
  }
  return out;
}

TBytes Synchsafe(std::uint32_t v) {
  return {static_cast<std::byte>((v >> 21) & 0x7F), static_cast<std::byte>((v >> 14) & 0x7F),
          static_cast<std::byte>((v >> 7) & 0x7F), static_cast<std::byte>(v & 0x7F)};
}

TBytes Header(int version, int flags, std::uint32_t size, int revision = 0) {
  return Concat({Bytes("ID3"),
                 {static_cast<std::byte>(version), static_cast<std::byte>(revision),
                  static_cast<std::byte>(flags)},
                 Synchsafe(size)});
}

// Versions 3 and 4 frame with a plain size field; use SafeFrame for synchsafe sizes.
TBytes Frame(std::string_view id, const TBytes& data) {
  return Concat({Bytes(id), Be(static_cast<std::uint32_t>(data.size()), 4), TBytes(2), data});
}
TBytes SafeFrame(std::string_view id, const TBytes& data) {
  return Concat({Bytes(id), Synchsafe(static_cast<std::uint32_t>(data.size())), TBytes(2), data});
}
TBytes FrameV2(std::string_view id, const TBytes& data) {
  return Concat({Bytes(id), Be(static_cast<std::uint32_t>(data.size()), 3), data});
}
TBytes Text0(std::string_view text) {
  return Concat({TBytes(1), Bytes(text)});
}

TBytes Tag(int version, const TBytes& body, int flags = 0) {
  return Concat({Header(version, flags, static_cast<std::uint32_t>(body.size())), body});
}

class Id3v2Test : public ::testing::Test {
 protected:
  // Reads the tag at `offset` of a file made of `bytes`; returns ReadTag's result.
  bool Read(const TBytes& bytes, std::int64_t offset = 0) {
    Path = Dir.Write("f.mp3", bytes);
    TTagFile file = OpenRead(Path);
    file.SeekTo(offset);
    const bool ok = Tags.ReadTag(file);
    PositionAfter = file.Position().value_or(-1);
    return ok;
  }

  TTempDir Dir;
  std::filesystem::path Path;
  TId3v2Tags Tags;
  std::int64_t PositionAfter = -1;
};

TEST_F(Id3v2Test, HeaderCheckAcceptsOnlyKnownVersionsFlagsAndSizes) {
  struct TRow {
    const char* name;
    TBytes header;
    bool valid;
  };
  const std::vector<TRow> rows = {
      {"v2", Header(2, 0x40, 0), true},
      {"v3 with extended header flag", Header(3, 0xE0, 0), true},
      {"v4 with footer", Header(4, 0x10, 0), true},
      {"revision 0xFF", Header(3, 0, 0, 0xFF), false},
      {"v3 with footer bit", Header(3, 0x10, 0), false},
      {"v2 with bit 0x20", Header(2, 0x20, 0), false},
      {"v4 with bit 0x08", Header(4, 0x08, 0), false},
      {"version 5", Header(5, 0, 0), false},
      {"lower-case magic", Concat({Bytes("id3\x03"), TBytes(6)}), false},
      {"size byte with high bit", Concat({Bytes("ID3\x03"), TBytes(3), Bytes("\x80")}), false},
      {"nine bytes", Concat({Bytes("ID3\x03"), TBytes(5)}), false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const auto path = Dir.Write("h.mp3", Concat({Bytes("xx"), row.header}));
    TTagFile file = OpenRead(path);
    ASSERT_TRUE(file.SeekTo(2));
    EXPECT_EQ(Tags.IsTagPresent(file), row.valid);
    EXPECT_EQ(file.Position(), 2);
    EXPECT_EQ(Tags.ReadTag(file), row.valid);
  }
  TTagFile invalid;
  EXPECT_FALSE(Tags.IsTagPresent(invalid));
  EXPECT_FALSE(Tags.ReadTag(invalid));
}

TEST_F(Id3v2Test, ReadsUtf16WithLittleEndianMarkAndKeepsBigEndianMarkInText) {
  ASSERT_TRUE(Read(Tag(3, Frame("TIT2", Raw("\x01\xFF\xFEH\0i\0")))));
  EXPECT_EQ(Tags.Title(), u"Hi");
  EXPECT_TRUE(Tags.LongFrameIds());

  ASSERT_TRUE(Read(Tag(3, Frame("TIT2", Raw("\x01\xFE\xFF\0H\0i")))));
  EXPECT_EQ(Tags.Title(), u"\uFFFE\u4800\u6900");

  ASSERT_TRUE(Read(Tag(3, Frame("TPE1", Raw("\x01H\0i\0\0\0junk")))));
  EXPECT_EQ(Tags.Artist(), u"Hi");  // no mark; ends at the zero unit
}

TEST_F(Id3v2Test, ReadsEncodingsZeroAndThreeAndSkipsUnknownOnes) {
  const TBytes body = Concat(
      {Frame("TCON", Raw("\x02\0R\0o")), Frame("TALB", Bytes("\x03\xC3\x84lbum")),
       Frame("TRCK", Text0("3/12")),
       Frame("TYER", Raw("\0"
                         "2004\0"
                         "x")),
       Frame("COMM", Text0("engcomment")), Frame("WXXX", Text0("link")),
       Frame("TXXX", Text0("ignored")), Frame("TENC", TBytes()), Frame("TIT2", Bytes("\x03"))});
  ASSERT_TRUE(Read(Tag(4, body)));
  EXPECT_EQ(Tags.GetValue("TCON"), TAuTagValue{});
  EXPECT_EQ(Tags.Album(), u"\u00C4lbum");
  EXPECT_EQ(Tags.Track(), "3/12");
  EXPECT_EQ(Tags.Year(), "2004");
  EXPECT_EQ(Tags.GetValue("COMM"), TAuTagValue{});
  EXPECT_EQ(Tags.Link(), u"link");
  EXPECT_EQ(Tags.GetValue("TENC"), TAuTagValue{});
  EXPECT_EQ(Tags.GetValue("TIT2"), TAuTagValue(std::u16string()));
  EXPECT_EQ(Tags.GetValue("TRCK"), TAuTagValue(std::string("3/12")));
}

TEST_F(Id3v2Test, Version2UsesShortIdsAndWritesNoFramesFromThem) {
  const TBytes body = Concat({FrameV2("TT2", Text0("Two")), FrameV2("TP1", Raw("\x01\xFF\xFEW\0")),
                              FrameV2("TIT2", Text0("x"))});
  ASSERT_TRUE(Read(Concat({Tag(2, body), Bytes("audio")})));
  EXPECT_FALSE(Tags.LongFrameIds());
  EXPECT_EQ(Tags.Title(), u"Two");
  EXPECT_EQ(Tags.Artist(), u"W");
  EXPECT_EQ(Tags.GetValue("TIT2"), TAuTagValue{});

  TTagFile file = OpenWrite(Path);
  ASSERT_TRUE(Tags.WriteTag(file, true));
  const TBytes all = ReadAll(Path);
  EXPECT_EQ(TBytes(all.begin(), all.begin() + 16), Concat({Header(4, 0, 6), TBytes(6)}));
}

// Version 4 frame sizes are synchsafe; a 200-byte frame has the size field 00 00 01 48.
TEST_F(Id3v2Test, Version4FrameSizesAreSynchsafe) {
  const std::string title(199, 'T');
  const TBytes body = Concat({SafeFrame("TIT2", Text0(title)), SafeFrame("TPE1", Text0("After"))});
  ASSERT_EQ(body[7], std::byte{0x48});
  ASSERT_TRUE(Read(Tag(4, body)));
  EXPECT_EQ(Tags.Title(), std::u16string(199, u'T'));
  EXPECT_EQ(Tags.Artist(), u"After");

  // Versions 2 and 3 keep plain sizes.
  ASSERT_TRUE(Read(Tag(3, Concat({Frame("TIT2", Text0(title)), Frame("TPE1", Text0("After"))}))));
  EXPECT_EQ(Tags.Title().size(), 199u);
  EXPECT_EQ(Tags.Artist(), u"After");

  // A size field with a high bit cannot be synchsafe and is taken as written.
  ASSERT_TRUE(Read(Tag(4, Concat({Frame("TIT2", Text0(title)), Frame("TPE1", Text0("After"))}))));
  EXPECT_EQ(Tags.Artist(), u"After");
}

TEST_F(Id3v2Test, PositionEndsAfterTagAndFooterWhereverTheTagStarts) {
  const TBytes body = Frame("TIT2", Text0("F"));
  const TBytes footer = Concat({Bytes("3DI"), TBytes(7)});
  ASSERT_TRUE(Read(Concat({Bytes("lead"), Tag(4, body, 0x10), footer, Bytes("audio")}), 4));
  EXPECT_EQ(Tags.Title(), u"F");
  EXPECT_EQ(PositionAfter, 4 + 10 + static_cast<std::int64_t>(body.size()) + 10);
}

TEST_F(Id3v2Test, WalkEndsAtExtendedHeaderPaddingAndOversizedFrames) {
  struct TRow {
    const char* name;
    TBytes tag;
    std::u16string title;
    std::u16string artist;
  };
  const TBytes title = Frame("TIT2", Text0("T"));
  const TBytes artist = Frame("TPE1", Text0("A"));
  const std::vector<TRow> rows = {
      {"extended header", Tag(3, Concat({Be(6, 4), TBytes(2), Be(0, 4), title}), 0x40), u"", u""},
      {"padding", Tag(3, Concat({title, TBytes(20), artist})), u"T", u""},
      {"frame a byte past the tag",
       Concat({Header(3, 0, static_cast<std::uint32_t>(title.size() + 11)), title, artist}), u"T",
       u""},
      {"size beyond tag",
       Concat({Header(3, 0, 30), title, Bytes("TPE1"), Be(0xFFFFFFF0, 4), TBytes(2), Text0("A"),
               TBytes(1)}),
       u"T", u""},
      {"header reaching the end", Concat({Header(3, 0, 15), title, Bytes("TPE1")}), u"T", u""},
      {"empty frame skipped", Tag(3, Concat({Frame("TALB", TBytes()), title})), u"T", u""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(Read(Concat({row.tag, Bytes("AUDIO-AUDIO-AUDIO-AUDIO")})));
    EXPECT_EQ(Tags.Title(), row.title);
    EXPECT_EQ(Tags.Artist(), row.artist);
  }
}

TEST_F(Id3v2Test, TruncatedTagHasValidHeaderButNoValues) {
  const TBytes full = Tag(3, Concat({Frame("TIT2", Text0("Title")), TBytes(50)}));
  ASSERT_TRUE(Read(TBytes(full.begin(), full.begin() + 30)));
  EXPECT_TRUE(Tags.Empty());
  EXPECT_EQ(Tags.Title(), u"");
}

TEST_F(Id3v2Test, WritesSmallestTagExactly) {
  const auto path = Dir.Write("w.mp3", Bytes("AUDIO"));
  Tags.SetAlbum(u"A");
  Tags.SetComment(u"never written");
  TTagFile file = OpenWrite(path);
  ASSERT_TRUE(Tags.WriteTag(file, false));
  EXPECT_EQ(ReadAll(path), Concat({Header(4, 0, 22), Bytes("TALB"), Be(2, 4), TBytes(2), Raw("\0A"),
                                   TBytes(10), Bytes("AUDIO")}));
}

TEST_F(Id3v2Test, WriteRoundTripsEveryFieldButComment) {
  Tags.SetAlbum(u"Alb\u00FCm \u263A");
  Tags.SetArtist(u"Artist");
  Tags.SetGenre(u"Jazz");
  Tags.SetTitle(std::u16string(299, u'L'));  // 300 data bytes: size field needs two bytes
  Tags.SetTrack("3/12");
  Tags.SetYear("2004");
  Tags.SetComment(u"no");
  Tags.SetComposer(u"Composer");
  Tags.SetEncoder(u"Encoder");
  Tags.SetCopyright(u"(C)");
  Tags.SetLanguage(u"eng");
  Tags.SetLink(u"http://example.invalid/");
  for (bool unicode : {true, false}) {
    SCOPED_TRACE(unicode);
    const TBytes audio = Bytes("\xFF\xFB audio content that must survive");
    const auto path = Dir.Write("w.mp3", audio);
    {
      TTagFile file = OpenWrite(path);
      ASSERT_TRUE(Tags.WriteTag(file, unicode));
    }
    const TBytes all = ReadAll(path);
    EXPECT_EQ(TBytes(all.end() - static_cast<std::ptrdiff_t>(audio.size()), all.end()), audio);
    EXPECT_EQ((all.size() - audio.size()) % 16, 0u);
    TId3v2Tags back;
    TTagFile file = OpenRead(path);
    ASSERT_TRUE(back.ReadTag(file));
    EXPECT_EQ(file.Position(), static_cast<std::int64_t>(all.size() - audio.size()));
    EXPECT_EQ(back.Album(), unicode ? Tags.Album() : u"Alb\u00FCm ?");
    for (auto field :
         {&TId3v2Tags::Artist, &TId3v2Tags::Genre, &TId3v2Tags::Title, &TId3v2Tags::Composer,
          &TId3v2Tags::Encoder, &TId3v2Tags::Copyright, &TId3v2Tags::Language, &TId3v2Tags::Link}) {
      EXPECT_EQ((back.*field)(), (Tags.*field)());
    }
    EXPECT_EQ(back.Track(), "3/12");
    EXPECT_EQ(back.Year(), "2004");
    EXPECT_EQ(back.GetValue("COMM"), TAuTagValue{});
  }
}

TEST_F(Id3v2Test, WritePadsToWholeSixteenByteBlocks) {
  // Frame bytes S = 11 + text; padding is 1..16, never 0.
  for (std::size_t text = 1; text <= 17; ++text) {
    TId3v2Tags tags;
    tags.SetAlbum(std::u16string(text, u'a'));
    const auto path = Dir.Write("p.mp3", TBytes());
    TTagFile file = OpenWrite(path);
    ASSERT_TRUE(tags.WriteTag(file, true));
    const std::size_t frames = 11 + text;
    const std::size_t padding = 16 - (frames + 10) % 16;
    EXPECT_EQ(ReadAll(path).size(), 10 + frames + padding) << text;
  }
}

TEST_F(Id3v2Test, NewTagStandsInFrontOfAnOldOne) {
  const auto path =
      Dir.Write("w.mp3", Concat({Tag(3, Frame("TIT2", Text0("Old"))), Bytes("AUDIO")}));
  Tags.SetTitle(u"New");
  {
    TTagFile file = OpenWrite(path);
    ASSERT_TRUE(Tags.WriteTag(file, true));
  }
  TTagFile file = OpenRead(path);
  TId3v2Tags first;
  TId3v2Tags second;
  ASSERT_TRUE(first.ReadTag(file));
  ASSERT_TRUE(second.ReadTag(file));
  EXPECT_EQ(first.Title(), u"New");
  EXPECT_EQ(second.Title(), u"Old");
}

TEST_F(Id3v2Test, WriteFailsWithoutWriteAccessAndLeavesTheFile) {
  const TBytes audio = Bytes("AUDIO");
  const auto path = Dir.Write("w.mp3", audio);
  Tags.SetTitle(u"T");
  TTagFile readOnly = OpenRead(path);
  EXPECT_FALSE(Tags.WriteTag(readOnly, true));
  TTagFile invalid;
  EXPECT_FALSE(Tags.WriteTag(invalid, true));
  EXPECT_EQ(ReadAll(path), audio);
}

TEST_F(Id3v2Test, WriteRefusesFilesThatWouldReachFourGigabytes) {
  const auto path = Dir.Write("big.mp3", TBytes());
  const std::int64_t size = (std::int64_t{1} << 32) - 16;  // sparse: takes no disk space
  TTagFile file = OpenWrite(path);
  ASSERT_TRUE(file.Truncate(size));
  Tags.SetTitle(u"T");
  EXPECT_FALSE(Tags.WriteTag(file, true));
  EXPECT_EQ(file.Size(), size);
}

}  // namespace
