// SPDX-License-Identifier: GPL-3.0-or-later
// The MP3 sink end to end: what it writes is decoded by FFmpeg and read by TagLib, two
// readers other players rely on.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>

#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include "formats/mp3out/mp3_out.h"
#include "formats/mp3out/mp3_tag_writer.h"
#include "pipeline/au_exception.h"
#include "mp3_test_support.h"
#include "pipeline_test_support.h"

namespace {

using namespace mp3_test;
using pipeline_test::TTempFile;

// RMS difference of the first channels of `decoded` and `source` shifted by `lag` frames.
// The source's tone rises, so the difference is smallest where the two line up.
double Rms(const TDecoded& decoded, const TPcmIn& source, int channels, int lag) {
  double sum = 0;
  int64_t n = 0;
  for (int64_t i = 2000; i + 2000 < decoded.Frames(); ++i, ++n) {
    const double d = decoded.Samples[static_cast<size_t>(i * decoded.Channels)] -
                     source.Samples()[static_cast<size_t>((i + lag) * channels)];
    sum += d * d;
  }
  return n > 0 ? std::sqrt(sum / static_cast<double>(n)) / 32768 : 1.0;
}

TEST(MP3Out, DecodesToExactlyTheFramesItWasGivenWithNoDelay) {
  const struct {
    const char* name;
    int rate, channels;
    int64_t frames;
    std::function<void(TMP3Out&)> settings;
    int outChannels, mode;
    const char* tag;
    int kbps;  // 0: variable
  } rows[] = {
      {"CBR 128 stereo", 44100, 2, 2 * 44100 + 17, [](TMP3Out&) {}, 2, 0, "Info", 128},
      {"mono source", 44100, 1, 30011, [](TMP3Out&) {}, 1, 3, "Info", 128},
      {"MPEG-2 rate", 22050, 2, 22055, [](TMP3Out& o) { o.BitRate = mbr64; }, 2, 0, "Info", 64},
      {"joint stereo, whole chunks", 48000, 2, 1152 * 40,
       [](TMP3Out& o) { o.Mode = mmJointStereo; }, 2, 1, "Info", 128},
      {"stereo source as mono", 44100, 2, 25000, [](TMP3Out& o) { o.Mode = mmMono; }, 1, 3, "Info",
       128},
      // Frames too small for the tag: the rate stays, the tag gets a frame of its own size.
      {"32 kbps at 44.1 kHz", 44100, 2, 20000, [](TMP3Out& o) { o.BitRate = mbr32; }, 2, 0, "Info",
       32},
      {"8 kHz, encoder's choice", 8000, 1, 8001, [](TMP3Out& o) { o.BitRate = mbrAuto; }, 1, 3,
       "Info", 8},
      {"VBR", 44100, 2, 45099, [](TMP3Out& o) { o.EnableVBR = true; }, 2, 0, "Xing", 0},
  };
  const TTempFile dir(0);
  const auto path = dir.Folder / "cut.mp3";
  TMP3Out sink;  // one sink for every row: runs are independent
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TPcmIn source(row.rate, row.channels, row.frames);
    static_cast<TMP3Settings&>(sink) = TMP3Settings{};
    row.settings(sink);
    sink.SetInput(&source);
    sink.SetFileName(path);
    ASSERT_EQ(RunToEnd(sink), "");
    EXPECT_FALSE(source.IsBusy());

    const TDecoded decoded = DecodeWithFFmpeg(path);
    EXPECT_EQ(decoded.Frames(), row.frames);
    EXPECT_EQ(decoded.SampleRate, row.rate);
    EXPECT_EQ(decoded.Channels, row.outChannels);
    if (row.channels == row.outChannels) {
      const double aligned = Rms(decoded, source, row.channels, 0);
      EXPECT_LT(aligned, 0.05);
      EXPECT_LT(aligned, Rms(decoded, source, row.channels, 1));
      EXPECT_LT(aligned, Rms(decoded, source, row.channels, -1));
    }
    const TFirstFrame first = FirstFrame(ReadBytes(path));
    EXPECT_EQ(first.Tag, row.tag);
    EXPECT_EQ(first.Mode, row.mode);
    if (row.kbps != 0) {  // a short file: the tag frame and the ID3v1 record weigh in
      EXPECT_NEAR(decoded.BitRate, row.kbps * 1000, row.kbps * 300);
    }
  }
  sink.SetInput(nullptr);
}

TEST(MP3Out, AverageBitRateSettingGivesThatAverage) {
  const TTempFile dir(0);
  TPcmIn source(44100, 2, 44100 * 3, TSignal::Noise);
  TMP3Out sink;
  sink.BitRate = mbr32;  // the minimum; the average must come from AverageBitrate
  sink.EnableVBR = true;
  sink.AverageBitrate = mbr160;
  sink.SetInput(&source);
  sink.SetFileName(dir.Folder / "abr.mp3");
  ASSERT_EQ(RunToEnd(sink), "");
  EXPECT_NEAR(DecodeWithFFmpeg(dir.Folder / "abr.mp3").BitRate, 160000, 30000);
}

TEST(MP3Out, TagsAreReadByTagLibAndFFmpegAndABadYearIsLeftOut) {
  for (const std::string year : {"2015", "abc"}) {
    SCOPED_TRACE(year);
    const TTempFile dir(0);
    const auto path = dir.Folder / "tagged.mp3";
    TPcmIn source(44100, 2, 30000);
    TMP3Out sink;
    TId3v2Tags& v2 = sink.Id3v2Tags();
    v2.SetTitle(u"Caf\u00E9 \u263A");
    v2.SetArtist(u"The Artist");
    v2.SetAlbum(u"An Album");
    v2.SetGenre(u"Rock");
    v2.SetYear(year);
    v2.SetTrack("7");
    sink.Id3v1Tags().SetYear(year == "2015" ? 2015 : 0);
    sink.SetInput(&source);
    sink.SetFileName(path);
    ASSERT_EQ(RunToEnd(sink), "");

    TagLib::MPEG::File file(path.c_str());
    ASSERT_TRUE(file.hasID3v2Tag());
    const TagLib::ID3v2::Tag& tag = *file.ID3v2Tag();
    EXPECT_EQ(tag.header()->majorVersion(), 4u);
    EXPECT_EQ(tag.title().to8Bit(true), "Caf\u00E9 \u263A");
    EXPECT_EQ(tag.artist().to8Bit(true), "The Artist");
    EXPECT_EQ(tag.album().to8Bit(true), "An Album");
    EXPECT_EQ(tag.genre().to8Bit(true), "Rock");
    EXPECT_EQ(tag.year(), year == "2015" ? 2015u : 0u);
    EXPECT_EQ(tag.track(), 7u);
    ASSERT_TRUE(file.hasID3v1Tag()) << "TagLib brings our record up to date";
    EXPECT_EQ(file.ID3v1Tag()->artist().to8Bit(), "The Artist");
    EXPECT_EQ(DecodeWithFFmpeg(path).Frames(), 30000) << "the tag in front changes nothing";
  }
}

TEST(MP3Out, FailuresGiveTheirMessageEndTheReadAndLeaveNoFile) {
  const struct {
    const char* name;
    int rate;
    std::function<void(TMP3Out&, TPcmIn&, const std::filesystem::path&)> setup;
    const char* message;  // "" where the system's own text is expected
  } rows[] = {
      {"no file name", 44100, [](TMP3Out& o, TPcmIn&, auto&) { o.SetFileName({}); },
       "File name is not assigned."},
      {"missing folder", 44100,
       [](TMP3Out& o, TPcmIn&, auto& dir) { o.SetFileName(dir / "missing" / "out.mp3"); }, ""},
      {"not 16-bit", 44100, [](TMP3Out&, TPcmIn& in, auto&) { in.ReportedBits = 8; },
       "Only 16-bit mono or stereo input can be encoded to MP3"},
      {"encoder refuses", 0, [](TMP3Out&, TPcmIn&, auto&) {}, "LAME Error: 2"},
  };
  const TTempFile dir(0);
  TMP3Out sink;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TPcmIn source(row.rate, 2, 10000);
    sink.SetInput(&source);
    sink.SetFileName(dir.Folder / "out.mp3");
    row.setup(sink, source, dir.Folder.Path());
    const std::string message = RunToEnd(sink);
    EXPECT_EQ(*row.message == 0 ? message : std::string(row.message), message);
    EXPECT_FALSE(message.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.Folder / "out.mp3"));
    EXPECT_FALSE(source.IsBusy());
  }
  TPcmIn good(44100, 2, 5000);  // and the sink still works
  sink.SetInput(&good);
  sink.SetFileName(dir.Folder / "out.mp3");
  EXPECT_EQ(RunToEnd(sink), "");
  EXPECT_EQ(DecodeWithFFmpeg(dir.Folder / "out.mp3").Frames(), 5000);
}

// The file is opened as MPEG whatever its name says, so an output named otherwise still gets
// its tags.
TEST(MP3Out, TagsGoInWhateverTheNamesExtension) {
  const TTempFile dir(0);
  TPcmIn source(44100, 2, 5000);
  TMP3Out sink;
  sink.Id3v2Tags().SetTitle(u"Raw");
  sink.SetInput(&source);
  sink.SetFileName(dir.Folder / "out.raw");
  ASSERT_EQ(RunToEnd(sink), "");
  TagLib::MPEG::File file((dir.Folder / "out.raw").c_str());
  ASSERT_TRUE(file.hasID3v2Tag());
  EXPECT_EQ(file.ID3v2Tag()->title().to8Bit(true), "Raw");
}

// A file TagLib cannot open, or open only to read, gives the tag writer's own message.
TEST(MP3Out, TagWriterReportsWhatItCannotOpenOrSave) {
  const TTempFile dir(0);
  std::filesystem::create_directory(dir.Folder / "folder.mp3");
  const struct {
    const char* name;
    const char* message;
  } rows[] = {{"missing.mp3", "Failed to write tags"}, {"folder.mp3", "Failed to save tags"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    try {
      WriteMP3Tags(dir.Folder / row.name, TId3v2Tags());
      ADD_FAILURE() << "no error";
    } catch (const EAuException& e) {
      EXPECT_STREQ(e.what(), row.message);
    }
  }
}

TEST(MP3Out, NeverWritesOverTheFileItReads) {
  TMP3Out sink;
  EXPECT_TRUE(pipeline_test::RefusesToWriteOverItsInput(sink));
}

TEST(MP3Out, FinishesTheTagFrameInACallersStream) {
  TPcmIn source(44100, 2, 12345);
  TAuMemoryStream memory;
  TMP3Out sink;
  sink.SetStream(&memory);
  sink.SetInput(&source);
  ASSERT_EQ(RunToEnd(sink), "");
  EXPECT_EQ(FirstFrame(memory.Bytes()).Tag, "Info");
  EXPECT_EQ(std::string(memory.Bytes().end() - 128, memory.Bytes().end() - 125), "TAG");
}

}  // namespace
