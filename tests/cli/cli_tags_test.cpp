// SPDX-License-Identifier: GPL-3.0-or-later
// Tags of MP3 files tagged by mutagen, through trimora-cli cut, join and info: single-byte
// ID3v1 texts, several artists, track "7/12", pictures, comments in every encoding,
// compressed frames, and texts the ID3v2 tag lacks that the ID3v1 record or an APEv2 tag
// holds. Outputs are read back with TagLib.

#include <gtest/gtest.h>

#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include "cli_test_support.h"

namespace {

using namespace cli_test;

struct TPicture {
  int Type;
  std::string Mime, Description;
  size_t Size;
  bool operator==(const TPicture&) const = default;
};

std::vector<TPicture> Pictures(const std::filesystem::path& file) {
  TagLib::MPEG::File mp3(file.c_str());
  std::vector<TPicture> pictures;
  if (!mp3.hasID3v2Tag()) return pictures;
  for (const auto* frame : mp3.ID3v2Tag()->frameList("APIC")) {
    const auto* apic = static_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
    pictures.push_back({static_cast<int>(apic->type()), apic->mimeType().to8Bit(),
                        apic->description().to8Bit(true), apic->picture().size()});
  }
  return pictures;
}

std::string Frame(const std::filesystem::path& file, const char* id) {
  TagLib::MPEG::File mp3(file.c_str());
  if (!mp3.hasID3v2Tag() || mp3.ID3v2Tag()->frameList(id).isEmpty()) return "";
  return mp3.ID3v2Tag()->frameList(id).front()->toString().to8Bit(true);
}

struct TComment {
  std::string Language, Description, Text;
  bool operator==(const TComment&) const = default;
};

std::vector<TComment> Comments(const std::filesystem::path& file) {
  TagLib::MPEG::File mp3(file.c_str());
  std::vector<TComment> comments;
  if (!mp3.hasID3v2Tag()) return comments;
  for (const auto* frame : mp3.ID3v2Tag()->frameList("COMM")) {
    const auto* comm = static_cast<const TagLib::ID3v2::CommentsFrame*>(frame);
    comments.push_back({std::string(comm->language().data(), comm->language().size()),
                        comm->description().to8Bit(true), comm->text().to8Bit(true)});
  }
  return comments;
}

const std::vector<TPicture> kRichPictures = {{3, "image/png", "Front", 10},
                                             {4, "image/jpeg", "Back \u263A", 10240}};

class CliTags : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CopyMadeFiles(R"SH(
ffmpeg -nostdin -v error -f lavfi -i 'sine=f=440:d=2:r=44100' -ac 2 tone.wav &&
lame --quiet -b 128 tone.wav plain.mp3 && rm tone.wav && /usr/bin/python3 - <<'PY'
import shutil, struct, zlib
from mutagen.id3 import ID3, TIT2, TPE1, TALB, TRCK, APIC, COMM, MakeID3v1
from mutagen.apev2 import APEv2
def tagged(name, frames, version=4):
    shutil.copy('plain.mp3', name)
    tags = ID3()
    for frame in frames: tags.add(frame)
    tags.save(name, v2_version=version, v1=0)
    return name
# ID3v1 only: mutagen writes its texts as single bytes.
shutil.copy('plain.mp3', 'v1.mp3')
open('v1.mp3', 'ab').write(MakeID3v1({'TIT2': TIT2(text='Café'), 'TPE1': TPE1(text='Bjørk'),
                                      'TRCK': TRCK(text='7/12')}))
tagged('rich.mp3', [TIT2(encoding=3, text='Rich'), TPE1(encoding=3, text=['A', 'B']),
                    TRCK(encoding=3, text='7/12'),
                    APIC(encoding=3, mime='image/png', type=3, desc='Front', data=b'\x89PNG front'),
                    APIC(encoding=1, mime='image/jpeg', type=4, desc='Back ☺',
                         data=bytes(range(256)) * 40)])
tagged('fallback.mp3', [TIT2(encoding=1, text='V2 title')], 3)
open('fallback.mp3', 'ab').write(MakeID3v1({'TPE1': TPE1(text='V1 Artist'),
                                            'TALB': TALB(text='V1 Albüm')}))
tagged('ape.mp3', [TIT2(encoding=3, text='V2 title')])
ape = APEv2()
ape['Artist'] = 'Ape Artist'
ape['Album'] = 'Ape Album'
ape['Year'] = '1987'
ape.save('ape.mp3')
tagged('comm_latin1.mp3', [COMM(encoding=0, lang='eng', desc='', text='Café note')], 3)
tagged('comm_utf16.mp3', [COMM(encoding=1, lang='deu', desc='', text='Grüße ☺'),
                          COMM(encoding=1, lang='eng', desc='Notes', text='Ωmega')], 3)
tagged('comm_utf16be.mp3', [COMM(encoding=2, lang='fra', desc='', text='Été ☺')])
tagged('comm_utf8.mp3', [COMM(encoding=3, lang='eng', desc='', text='Ünïcode ☺'),
                         COMM(encoding=3, lang='eng', desc='iTunSMPB', text=' 00000000 00000210')])
# Version 2.3 with zlib-compressed frames, which mutagen reads but does not write.
def frame3(name, data, flags=0):
    return name.encode() + struct.pack('>IH', len(data), flags) + data
def packed(name, data):
    return frame3(name, struct.pack('>I', len(data)) + zlib.compress(data), 0x0080)
body = (packed('TIT2', b'\x01\xff\xfe' + 'Packed ☺'.encode('utf-16-le')) +
        packed('COMM', b'\x00eng\x00Packed note') + frame3('TPE1', b'\x00Plain artist'))
size = bytes((len(body) >> shift) & 0x7F for shift in (21, 14, 7, 0))
open('packed_v23.mp3', 'wb').write(b'ID3\x03\x00\x00' + size + body +
                                   open('plain.mp3', 'rb').read())
PY
)SH",
                              Folder));
  }

  TScratch Folder;
};

TEST_F(CliTags, CutsKeepTextsTrackTextsAndPicturesAndFillGapsFromOlderTags) {
  const struct {
    const char* In;
    const char *Title, *Artist, *Album, *Track;
    std::vector<TPicture> Pictures;
    unsigned Id3v1Track;
  } rows[] = {
      {"v1.mp3", "Caf\u00E9", "Bj\u00F8rk", "", "7", {}, 7},
      {"rich.mp3", "Rich", "A/B", "", "7/12", kRichPictures, 7},
      {"fallback.mp3", "V2 title", "V1 Artist", "V1 Alb\u00FCm", "", {}, 0},
      {"ape.mp3", "V2 title", "Ape Artist", "Ape Album", "", {}, 0},
  };
  // Re-encoded, and with the frames kept as they are.
  for (const bool copy : {false, true}) for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.In) + (copy ? " --copy" : ""));
    std::vector<std::string> args = {"cut", row.In, "--end", "00:00:01.0", "-o", "out.mp3"};
    if (copy) args.push_back("--copy");
    const auto run = Folder.Cli(args);
    ASSERT_EQ(run.Status, 0) << run.Err;
    const auto out = Folder / "out.mp3";
    EXPECT_EQ(Frame(out, "TIT2"), row.Title);
    EXPECT_EQ(Frame(out, "TPE1"), row.Artist);
    EXPECT_EQ(Frame(out, "TALB"), row.Album);
    EXPECT_EQ(Frame(out, "TRCK"), row.Track);
    EXPECT_EQ(Pictures(out), row.Pictures);
    TagLib::MPEG::File mp3(out.c_str());
    ASSERT_TRUE(mp3.hasID3v1Tag());
    EXPECT_EQ(mp3.ID3v1Tag()->title().to8Bit(true), row.Title) << "single-byte text in ID3v1";
    EXPECT_EQ(mp3.ID3v1Tag()->track(), row.Id3v1Track);
    std::filesystem::remove(out);
  }
  EXPECT_EQ(Frame(Folder / "ape.mp3", "TPE1"), "") << "the sources are as they were";
}

TEST_F(CliTags, CutsCarryCommentsInEveryEncodingAndCompressedFrames) {
  const struct {
    const char *In, *Title, *Artist;
    std::vector<TComment> Comments;
    const char* Id3v1Comment;
  } rows[] = {
      {"comm_latin1.mp3", "", "", {{"eng", "", "Caf\u00E9 note"}}, "Caf\u00E9 note"},
      {"comm_utf16.mp3",
       "",
       "",
       {{"deu", "", "Gr\u00FC\u00DFe \u263A"}, {"eng", "Notes", "\u03A9mega"}},
       "Gr\u00FC\u00DFe ?"},
      {"comm_utf16be.mp3", "", "", {{"fra", "", "\u00C9t\u00E9 \u263A"}}, "\u00C9t\u00E9 ?"},
      // An encoder's gapless-playback note would be wrong for the new encoding.
      {"comm_utf8.mp3", "", "", {{"eng", "", "\u00DCn\u00EFcode \u263A"}}, "\u00DCn\u00EFcode ?"},
      {"packed_v23.mp3",
       "Packed \u263A",
       "Plain artist",
       {{"eng", "", "Packed note"}},
       "Packed note"},
  };
  // Re-encoded, and with the frames kept as they are.
  for (const bool copy : {false, true}) for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.In) + (copy ? " --copy" : ""));
    std::vector<std::string> args = {"cut", row.In, "--end", "00:00:01.0", "-o", "out.mp3"};
    if (copy) args.push_back("--copy");
    const auto run = Folder.Cli(args);
    ASSERT_EQ(run.Status, 0) << run.Err;
    const auto out = Folder / "out.mp3";
    EXPECT_EQ(Frame(out, "TIT2"), row.Title);
    EXPECT_EQ(Frame(out, "TPE1"), row.Artist);
    EXPECT_EQ(Comments(out), row.Comments);
    TagLib::MPEG::File mp3(out.c_str());
    ASSERT_TRUE(mp3.hasID3v1Tag());
    EXPECT_EQ(mp3.ID3v1Tag()->comment().to8Bit(true), row.Id3v1Comment);
    std::filesystem::remove(out);
  }
}

TEST_F(CliTags, JoinKeepsTheFirstFilesPictures) {
  const auto run = Folder.Cli({"join", "rich.mp3", "plain.mp3", "-o", "out.mp3"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(Pictures(Folder / "out.mp3"), kRichPictures);
}

TEST_F(CliTags, InfoShowsTagsVbrProtectionAndTheTrueLength) {
  auto run = Folder.Cli({"info", "rich.mp3"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Out.find("Length:      00:00:02.0 ("), std::string::npos) << run.Out;
  for (const char* line : {"VBR:         no\n", "Protected:   no\n", "Title:       Rich\n",
                           "Artist:      A/B\n", "Track:       7/12\n"})
    EXPECT_NE(run.Out.find(line), std::string::npos) << line << run.Out;
  EXPECT_EQ(run.Out.find("Comment:"), std::string::npos)
      << "the pictures' kinds are no comment of the file";

  run = Folder.Cli({"info", "--json", "v1.mp3"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out.substr(0, run.Out.find("\"frames\"")),
            "{\"file\":\"v1.mp3\",\"format\":\"MP3, 128 kbps\",\"protected\":false,"
            "\"channels\":2,\"sample_rate\":44100,\"bits_per_sample\":16,");
  EXPECT_NE(run.Out.find("\"vbr\":false,\"tags\":{\"title\":\"Caf\u00E9\",\"artist\":"
                         "\"Bj\u00F8rk\",\"album\":\"\",\"year\":\"\",\"track\":\"7\","),
            std::string::npos)
      << run.Out;
  const auto frames = std::stoll(run.Out.substr(run.Out.find("\"frames\":") + 9));
  EXPECT_NEAR(frames, 88200, 441) << "two seconds, not two and a third";

  // Quotes, backslashes and control characters are escaped, also in file names.
  std::filesystem::copy_file(Folder / "v1.mp3", Folder / "q\"\\\x01.mp3");
  run = Folder.Cli({"info", "--json", "q\"\\\x01.mp3"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out.rfind("{\"file\":\"q\\\"\\\\\\u0001.mp3\",", 0), 0u) << run.Out;

  run = Folder.Cli({"info", "--json", std::string(TRIMORA_TEST_DATA) + "/media/wma_protected.wma"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Out.find("\"format\":\"WMA\",\"protected\":true,"), std::string::npos) << run.Out;
}

}  // namespace
