// SPDX-License-Identifier: GPL-3.0-or-later
// Cue sheets as rippers write them, and the broken ones that must be refused by their line.
#include "cutting/marks/cue_sheet.h"

#include <gtest/gtest.h>

#include "cutting/cut_error.h"

namespace {

// `Album` by `Performer` [genre date comment] files | number@frame "title"/"performer"/"writer"
std::string Described(const TCueSheet& sheet) {
  std::string text = "\"" + sheet.Album.Title + "\" by \"" + sheet.Album.Performer + "\" [" +
                     sheet.Genre + "|" + sheet.Date + "|" + sheet.Comment + "]";
  for (const std::string& file : sheet.Files) text += " <" + file + ">";
  for (const TCueTrack& track : sheet.Tracks)
    text += " | " + std::to_string(track.Number) + "@" + std::to_string(track.File) + ":" +
            std::to_string(track.Start.Frames(44100)) + " \"" + track.Texts.Title + "\"/\"" +
            track.Texts.Performer + "\"/\"" + track.Texts.Songwriter + "\"";
  return text;
}

TEST(CueSheet, ReadsTheStylesOfSeveralRippers) {
  const struct {
    const char* Name;
    std::string Bytes;
    const char* Expected;
  } cases[] = {
      {"gaps appended, REM lines, catalog, flags and ISRC, CRLF",
       "REM GENRE \"Progressive Rock\"\r\nREM DATE 1999\r\nREM DISCID 8A0B3C0D\r\n"
       "REM COMMENT \"ripped with care\"\r\nCATALOG 0724384960650\r\n"
       "PERFORMER \"The Band\"\r\nTITLE \"The Album\"\r\nFILE \"The Album.wav\" WAVE\r\n"
       "  TRACK 01 AUDIO\r\n    TITLE \"Opening\"\r\n    PERFORMER \"The Band\"\r\n"
       "    ISRC GBAYE9900001\r\n    FLAGS DCP\r\n    INDEX 01 00:00:00\r\n"
       "  TRACK 02 AUDIO\r\n    TITLE \"Second\"\r\n    SONGWRITER \"Someone Else\"\r\n"
       "    INDEX 00 04:58:40\r\n    INDEX 01 05:00:00\r\n",
       "\"The Album\" by \"The Band\" [Progressive Rock|1999|ripped with care] <The Album.wav>"
       " | 1@0:0 \"Opening\"/\"The Band\"/\"\" | 2@0:13230000 \"Second\"/\"\"/\"Someone Else\""},
      {"unquoted values, lower case commands, a name with blanks, tabs, LF",
       "title Live at Home\nperformer Solo\nfile Live at Home.flac WAVE\ntrack 1 audio\n"
       "\tindex 01 00:00:00\ntrack 2 audio\n\ttitle Encore\n\tindex 01 61:02:74\n",
       "\"Live at Home\" by \"Solo\" [||] <Live at Home.flac> | 1@0:0 \"\"/\"\"/\"\""
       " | 2@0:161537712 \"Encore\"/\"\"/\"\""},
      {"a file per track, its pregap at the end of the file before, BOM, PREGAP and POSTGAP",
       "\xEF\xBB\xBFTITLE \"Caf\xC3\xA9\"\nFILE \"C:\\rips\\01.wav\" WAVE\n  TRACK 01 AUDIO\n"
       "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    PREGAP 00:02:00\n    INDEX 00 03:10:00\n"
       "FILE \"02.wav\" WAVE\n    INDEX 01 00:00:00\n    POSTGAP 00:01:00\n",
       "\"Caf\xC3\xA9\" by \"\" [||] <C:\\rips\\01.wav> <02.wav> | 1@0:0 \"\"/\"\"/\"\""
       " | 2@1:0 \"\"/\"\"/\"\""},
      {"Windows-1252 text and unknown commands",
       "TITLE \"Gr\xFC\xDF\x65 \x96 1\"\nFROBNICATE 3\nFILE a.mp3 MP3\nTRACK 01 AUDIO\n"
       "  INDEX 01 00:00:01\n",
       "\"Gr\xC3\xBC\xC3\x9F\x65 \xE2\x80\x93 1\" by \"\" [||] <a.mp3> | 1@0:588 \"\"/\"\"/\"\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    try {
      EXPECT_EQ(Described(ParseCueSheet(c.Bytes)), c.Expected);
    } catch (const ECutError& e) {
      ADD_FAILURE() << e.what();
    }
  }
}

TEST(CueSheet, RefusesABrokenSheetNamingTheLine) {
  const std::string head = "FILE \"a.wav\" WAVE\n";
  const struct {
    std::string Bytes;
    const char* Message;
  } cases[] = {
      {head + "TRACK 01 AUDIO\n TITLE x\nTRACK 02 AUDIO\n INDEX 01 00:01:00\n",
       "line 2: TRACK 1 has no INDEX 01"},
      {head + "TRACK 01 AUDIO\n INDEX 01 00:05:00\nTRACK 02 AUDIO\n INDEX 01 00:04:74\n",
       "line 5: TRACK 2 starts at 00:04:74, not after TRACK 1 at 00:05:00"},
      {head + "TRACK 01 AUDIO\n INDEX 01 00:00:75\n",
       "line 3: the time '00:00:75' has 75 frames or more (a second holds 75)"},
      {head + "TRACK 01 AUDIO\n INDEX 01 00:60:00\n", "line 3: the time '00:60:00' has 60 seconds"},
      {head + "TRACK 01 AUDIO\n INDEX 01 1:2\n", "line 3: the time '1:2' is not MM:SS:FF"},
      {head + "TRACK AUDIO\n INDEX 01 00:00:00\n", "line 2: TRACK needs its number, from 1 to 99"},
      {head + " INDEX 01 00:00:00\n", "line 2: INDEX before any TRACK"},
      {"TITLE x\nTRACK 01 AUDIO\n INDEX 01 00:00:00\n", "line 2: TRACK before any FILE line"},
      {"TITLE x\nREM DATE 2000\n", "the sheet names no FILE"},
      {head + "REM nothing\n", "the sheet holds no TRACK"},
      {head + "TRACK 01 AUDIO\n" + std::string("\x00\x01\x02\xFF", 4), "line 3: holds binary data"},
  };
  for (const auto& c : cases) {
    try {
      ParseCueSheet(c.Bytes);
      ADD_FAILURE() << c.Message << " was taken";
    } catch (const ECutError& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, std::string(c.Message).size()), c.Message);
    }
  }
}

TEST(CueSheet, TakesTheTracksOfTheFileGiven) {
  const TCueSheet two = ParseCueSheet(
      "TITLE A\nFILE \"x/one.wav\" WAVE\nTRACK 01 AUDIO\n INDEX 01 00:00:00\nTRACK 02 AUDIO\n"
      " INDEX 01 00:01:00\nFILE \"two.wav\" WAVE\nTRACK 03 AUDIO\n INDEX 01 00:00:00\n");
  std::string note;
  EXPECT_EQ(CueMarksFor(two, "/m/one.wav", note).Marks.size(), 2u);
  EXPECT_EQ(CueMarksFor(two, "/m/two.flac", note).Marks.size(), 1u) << "by the name's stem";
  EXPECT_EQ(note, "");
  EXPECT_THROW(CueMarksFor(two, "/m/three.wav", note), ECutError);

  const TCueSheet one =
      ParseCueSheet("FILE \"rip.wav\" WAVE\nTRACK 01 AUDIO\n INDEX 01 00:00:00\n");
  EXPECT_EQ(CueMarksFor(one, "/m/album.flac", note).Marks.size(), 1u);
  EXPECT_EQ(note, "the sheet names 'rip.wav'; its tracks are taken from 'album.flac'");
}

// Written at any rate, a sheet reads back to the same starts within half a cue frame, and the
// gap before a piece becomes its INDEX 00.
TEST(CueSheet, AWrittenSheetReadsBackToTheSameStarts) {
  for (const int rate : {44100, 48000, 22050, 8000}) {
    TMarkSheet marks;
    marks.Album = {"Album \"Q\"", "P\xC3\xA9rformer", ""};
    marks.Genre = "Jazz";
    marks.Date = "2001";
    const int64_t starts[] = {0, rate * 3 + 7, rate * 125 + rate / 3};
    for (const int64_t start : starts)
      marks.Marks.push_back({FrameTime(start, rate, rate),
                             FrameTime(start + rate, rate, rate),
                             {"T" + std::to_string(start), "", ""}});
    const std::string written = WriteCueSheet(marks, "a.flac", "WAVE", rate);
    const TCueSheet read = ParseCueSheet(written);
    ASSERT_EQ(read.Tracks.size(), 3u) << written;
    EXPECT_EQ(read.Album.Title, "Album 'Q'");
    EXPECT_EQ(read.Album.Performer, "P\xC3\xA9rformer");
    EXPECT_EQ(read.Genre, "Jazz");
    for (size_t k = 0; k < 3; ++k) {
      EXPECT_LE(std::abs(read.Tracks[k].Start.Frames(rate) - starts[k]), rate / 150) << written;
      EXPECT_EQ(read.Tracks[k].Texts.Title, marks.Marks[k].Texts.Title);
    }
    EXPECT_NE(written.find("INDEX 00 00:01:00\n    INDEX 01 00:03:"), std::string::npos) << written;
  }
}

}  // namespace
