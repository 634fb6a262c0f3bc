// The MP3 sink end to end: what it writes is decoded by FFmpeg and read by TagLib, two
// readers other players rely on.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include "formats/mp3out/mp3_out.h"
#include "mp3_test_support.h"
#include "pipeline_test_support.h"

namespace {

using namespace mp3_test;
using pipeline_test::TTempFile;

struct TCutRow {
  const char* name;
  int rate, channels;
  int64_t frames;
  std::function<void(TMP3Out&)> settings;
  int outChannels, mode;
  const char* tagFrame;
  int kbps;  // every frame's bit rate under CBR; 0 under VBR
};

// Root-mean-square difference between the decoded first channel and the source's shifted by
// `lag` frames, away from the edges. The source is a rising tone, so it is smallest where
// the two line up.
double RmsError(const TDecoded& decoded, const TPcmIn& source, int channels, int lag) {
  double sum = 0;
  int64_t n = 0;
  for (int64_t i = 2000; i + 2000 < decoded.Frames; ++i, ++n) {
    const double want = source.Samples()[static_cast<size_t>((i + lag) * channels)] / 32768.0;
    const double diff = decoded.FirstChannel[static_cast<size_t>(i)] - want;
    sum += diff * diff;
  }
  return n > 0 ? std::sqrt(sum / static_cast<double>(n)) : 1.0;
}

TEST(MP3Out, DecodesToExactlyTheFramesItWasGiven) {
  const TCutRow rows[] = {
      {"CBR 128 stereo", 44100, 2, 2 * 44100 + 17, [](TMP3Out&) {}, 2, 0, "Info", 128},
      {"mono source", 44100, 1, 30011, [](TMP3Out&) {}, 1, 3, "Info", 128},
      {"MPEG-2 rate", 22050, 2, 22050 + 5, [](TMP3Out& o) { o.BitRate = mbr64; }, 2, 0, "Info",
       64},
      // Too small a frame for the tag: frames stay at 32 kbps, the tag frame is larger.
      {"low bit rate keeps rate and tag", 44100, 2, 20000,
       [](TMP3Out& o) { o.BitRate = mbr32; }, 2, 0, "Xing", 32},
      {"8 kHz mono, encoder picks 8 kbps", 8000, 1, 8000 + 1, [](TMP3Out& o) { o.BitRate = mbrAuto; }, 1, 3,
       "Xing", 8},
      {"joint stereo", 48000, 2, 1152 * 40, [](TMP3Out& o) { o.Mode = mmJointStereo; }, 2, 1,
       "Info", 128},
      {"stereo source as mono", 44100, 2, 25000, [](TMP3Out& o) { o.Mode = mmMono; }, 1, 3,
       "Info", 128},
      {"VBR", 44100, 2, 44100 + 999,
       [](TMP3Out& o) {
         o.EnableVBR = true;
         o.VBRQuality = mp3ql2;
       },
       2, 0, "Xing", 0},
  };
  const TTempFile dir(0);
  TMP3Out sink;  // one sink for every row: runs are independent
  for (const TCutRow& row : rows) {
    SCOPED_TRACE(row.name);
    TPcmIn source(row.rate, row.channels, row.frames);
    static_cast<TMP3Settings&>(sink) = TMP3Settings{};
    row.settings(sink);
    const auto path = dir.Folder / "cut.mp3";
    sink.SetInput(&source);
    sink.SetFileName(path);
    ASSERT_EQ(RunToEnd(sink), "");
    EXPECT_FALSE(source.IsBusy());

    const TDecoded decoded = DecodeWithFFmpeg(path);
    ASSERT_TRUE(decoded.Opened);
    EXPECT_EQ(decoded.Frames, row.frames);
    EXPECT_EQ(decoded.SampleRate, row.rate);
    EXPECT_EQ(decoded.Channels, row.outChannels);
    if (row.channels == row.outChannels) {
      // The encoder's delay is trimmed to the sample: the best match is without a shift.
      const double aligned = RmsError(decoded, source, row.channels, 0);
      EXPECT_LT(aligned, 0.05);
      EXPECT_LT(aligned, RmsError(decoded, source, row.channels, -1));
      EXPECT_LT(aligned, RmsError(decoded, source, row.channels, 1));
    }

    const std::vector<uint8_t> bytes = ReadFile(path);
    const TFrameWalk walk = WalkFrames(bytes);
    EXPECT_EQ(walk.TagFrame, row.tagFrame);
    EXPECT_EQ(walk.Mode, row.mode);
    if (row.kbps != 0) {
      EXPECT_EQ(walk.AverageKbps(), row.kbps);
      if (walk.TagFrame == "Info") {
        EXPECT_EQ(decoded.BitRate, row.kbps * 1000);
      }
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
  const double kbps = WalkFrames(ReadFile(dir.Folder / "abr.mp3")).AverageKbps();
  EXPECT_GT(kbps, 130);
  EXPECT_LT(kbps, 190);
}

void SetTags(TMP3Out& sink, const std::string& year) {
  TId3v2Tags& v2 = sink.Id3v2Tags();
  v2.SetTitle(u"Caf\u00E9 \u263A title");
  v2.SetArtist(u"The Artist");
  v2.SetAlbum(u"An Album");
  v2.SetGenre(u"Rock");
  v2.SetYear(year);
  v2.SetTrack("7");
  sink.Id3v1Tags().SetTitle("Cafe title");
  sink.Id3v1Tags().SetYear(2015);
}

TEST(MP3Out, TagsAreReadByTagLibAndFFmpeg) {
  const TTempFile dir(0);
  const auto path = dir.Folder / "tagged.mp3";
  TPcmIn source(44100, 2, 30000);
  TMP3Out sink;
  SetTags(sink, "2015");
  sink.SetInput(&source);
  sink.SetFileName(path);
  ASSERT_EQ(RunToEnd(sink), "");

  TagLib::MPEG::File file(path.c_str());
  ASSERT_TRUE(file.isValid());
  ASSERT_TRUE(file.hasID3v2Tag());
  EXPECT_EQ(file.ID3v2Tag()->header()->majorVersion(), 4u);
  const TagLib::Tag* v2 = file.ID3v2Tag();
  EXPECT_EQ(v2->title().toCWString(), std::wstring(L"Caf\u00E9 \u263A title"));
  EXPECT_EQ(v2->artist().to8Bit(), "The Artist");
  EXPECT_EQ(v2->album().to8Bit(), "An Album");
  EXPECT_EQ(v2->genre().to8Bit(), "Rock");
  EXPECT_EQ(v2->year(), 2015u);
  EXPECT_EQ(v2->track(), 7u);
  ASSERT_TRUE(file.hasID3v1Tag()) << "TagLib brings our record up to date";
  EXPECT_EQ(file.ID3v1Tag()->year(), 2015u);
  EXPECT_EQ(file.ID3v1Tag()->artist().to8Bit(), "The Artist");

  TDecoded decoded = DecodeWithFFmpeg(path);
  EXPECT_EQ(decoded.Tags["title"], "Caf\u00E9 \u263A title");
  EXPECT_EQ(decoded.Tags["artist"], "The Artist");
  EXPECT_EQ(decoded.Tags["album"], "An Album");
  EXPECT_EQ(decoded.Tags["genre"], "Rock");
  EXPECT_EQ(decoded.Tags["date"], "2015");
  EXPECT_EQ(decoded.Tags["track"], "7");
  EXPECT_EQ(decoded.Frames, 30000) << "the tag in front does not disturb the trimming";
}

TEST(MP3Out, AYearThatIsNoNumberIsLeftOut) {
  const TTempFile dir(0);
  const auto path = dir.Folder / "abc.mp3";
  TPcmIn source(44100, 1, 10000);
  TMP3Out sink;
  SetTags(sink, "abc");
  sink.Id3v1Tags().SetYear(0);  // as the tag copy derives it from "abc"
  sink.SetInput(&source);
  sink.SetFileName(path);
  ASSERT_EQ(RunToEnd(sink), "");
  TagLib::MPEG::File file(path.c_str());
  ASSERT_TRUE(file.hasID3v2Tag());
  EXPECT_EQ(file.ID3v2Tag()->year(), 0u);
  EXPECT_EQ(file.ID3v2Tag()->track(), 7u);
}

struct TFailRow {
  const char* name;
  std::function<void(TMP3Out&, TPcmIn&, const std::filesystem::path&)> setup;
  const char* message;  // "" where the system's own text is expected
};

TEST(MP3Out, FailuresGiveTheirMessageAndLeaveNoFile) {
  const TFailRow rows[] = {
      {"no file name", [](TMP3Out& o, TPcmIn&, auto&) { o.SetFileName({}); },
       "File name is not assigned."},
      {"unwritable folder",
       [](TMP3Out& o, TPcmIn&, auto& dir) { o.SetFileName(dir / "missing" / "out.mp3"); }, ""},
      {"not 16-bit", [](TMP3Out&, TPcmIn& in, auto&) { in.ReportedBits = 8; },
       "Only 16-bit mono or stereo input can be encoded to MP3"},
  };
  for (const TFailRow& row : rows) {
    SCOPED_TRACE(row.name);
    const TTempFile dir(0);
    TPcmIn source(44100, 2, 10000);
    TMP3Out sink;
    sink.SetInput(&source);
    sink.SetFileName(dir.Folder / "out.mp3");
    row.setup(sink, source, dir.Folder);
    const std::string message = RunToEnd(sink);
    if (*row.message != 0)
      EXPECT_EQ(message, row.message);
    else
      EXPECT_FALSE(message.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.Folder / "out.mp3"));
    EXPECT_FALSE(source.IsBusy()) << "the source's read was ended";
  }
}

TEST(MP3Out, RefusedConfigurationEndsTheRunAndTheSinkCanRunAgain) {
  const TTempFile dir(0);
  const auto path = dir.Folder / "out.mp3";
  TPcmIn noRate(0, 2, 1000);
  TMP3Out sink;
  sink.SetInput(&noRate);
  sink.SetFileName(path);
  EXPECT_EQ(RunToEnd(sink), "LAME Error: 2");
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(noRate.IsBusy());

  TPcmIn good(44100, 2, 5000);
  sink.SetInput(&good);
  EXPECT_EQ(RunToEnd(sink), "");
  EXPECT_EQ(DecodeWithFFmpeg(path).Frames, 5000);
}

TEST(MP3Out, NeverWritesOverTheFileItReads) {
  const TTempFile file(20000);
  const auto before = ReadFile(file.Path());
  pipeline_test::TRawFileIn source;
  source.SetFileName(file.Path());
  TMP3Out sink;
  sink.SetInput(&source);
  sink.SetFileName(file.Path());
  EXPECT_FALSE(RunToEnd(sink).empty());
  EXPECT_EQ(ReadFile(file.Path()), before);
}

TEST(MP3Out, WritesAFinishedStreamIntoACallersStream) {
  TPcmIn source(44100, 2, 12345);
  TAuMemoryStream memory;
  TMP3Out sink;
  sink.SetStream(&memory);
  sink.SetInput(&source);
  ASSERT_EQ(RunToEnd(sink), "");
  const TFrameWalk walk = WalkFrames(memory.Bytes());
  EXPECT_EQ(walk.TagFrame, "Info");
  EXPECT_GE(walk.Frames, 12345 / 1152);
  ASSERT_GE(memory.Size(), 128);
  EXPECT_EQ(std::string(memory.Bytes().end() - 128, memory.Bytes().end() - 125), "TAG");
}

}  // namespace
