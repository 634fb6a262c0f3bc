// SPDX-License-Identifier: GPL-3.0-or-later
// The WMA sink and its writer layer: formats chosen by index and by search, block timing,
// tags as header attributes, failures and their messages. What it writes is checked with
// FFmpeg's programs and our own reader.

#include <gtest/gtest.h>
#include <taglib/asffile.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "formats/media/wm_in.h"
#include "formats/media/wma_out.h"
#include "formats/media/wma_writer.h"
#include "mp3_test_support.h"
#include "pipeline/au_file_stream.h"
#include "pipeline_test_support.h"
#include "tag_texts.h"
#include "test_support.h"

namespace {

using mp3_test::RunToEnd;
using mp3_test::TPcmIn;
using pipeline_test::TTempFile;

std::string Probe(const std::filesystem::path& file, const std::string& entries) {
  return test_support::Shell("ffprobe -v error -show_entries " + entries + " -of default=nw=1 " +
                             test_support::Quoted(file.string()))
      .Out;
}

int FormatIndex(TWMAOut& sink, const std::string& description) {
  const auto& list = sink.FormatList(0);
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i] == description) return static_cast<int>(i);
  return -1;
}

// Counts the samples the sink hands to the runtime: every WriteBlock that asks to be called
// again wrote one.
class TCountingWMAOut : public TWMAOut {
 public:
  int Samples = 0;

 protected:
  bool WriteBlock(bool Abort) override {
    const bool more = TWMAOut::WriteBlock(Abort);
    if (more && IsActive()) ++Samples;
    return more;
  }
};

TEST(WMAOut, ListsCodecsAndTheirFormats) {
  TWMAOut sink;
  ASSERT_EQ(sink.CodecNames().size(), 2u);
  EXPECT_EQ(sink.CodecNames()[0], "Windows Media Audio Standard");
  EXPECT_GT(sink.FormatCount(0), 29);
  EXPECT_EQ(sink.FormatList(0)[29], "128 kbps, 44 kHz, stereo CBR");
  EXPECT_EQ(sink.FormatCount(1), sink.FormatCount(0));
  EXPECT_EQ(sink.FormatCount(2), 0);
  EXPECT_EQ(sink.FormatCount(-65536), sink.FormatCount(0));  // taken as 16 bits: codec 0
  sink.VBR = true;                                           // no codec here has VBR formats
  EXPECT_EQ(sink.FormatCount(0), 0);
  sink.VBR = false;
  sink.Lossless = true;
  EXPECT_TRUE(sink.FormatList(0).empty());
}

TEST(WMAWriter, BlocksLastTheirBytesAndAreStampedWithTheirEnd) {
  TAuMemoryStream memory;
  TWmaWriter w;
  wma_writer_open_stream(w, memory, nullptr, nullptr);
  ASSERT_TRUE(w.Ok);
  wma_writer_use_format(w, 2, 16, 44100, false, 0, 29);
  EXPECT_EQ(w.BytesPerSecond, 176400u);
  ASSERT_TRUE(wma_writer_begin(w));
  std::vector<uint8_t> block(14112);
  wma_writer_write(w, block.data(), 14112);
  EXPECT_EQ(w.TotalTime, 800000u);
  wma_writer_write(w, block.data(), 14112);
  EXPECT_EQ(w.TotalTime, 1600000u);
  wma_writer_write(w, block.data(), 0);
  EXPECT_EQ(w.TotalTime, 1600000u);
  EXPECT_EQ(w.SampleCount, 3u);
  EXPECT_TRUE(wma_writer_close(w));
  EXPECT_FALSE(w.Ok);
  ASSERT_GT(memory.Bytes().size(), 16u);
  EXPECT_EQ(memory.Bytes()[0], 0x30);  // the ASF header object's GUID
  EXPECT_EQ(memory.Bytes()[1], 0x26);
}

TEST(WMAWriter, SearchFindsTheNearestBitRateAndNothingForVbrOrLossless) {
  const auto found = wma_writer_find_format({2, 44100, 16}, 128000, false, false);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->Bitrate, 128000u);
  EXPECT_EQ(found->Type.Format.Channels, 2);
  EXPECT_EQ(found->Type.Format.SamplesPerSec, 44100u);
  // Of equally near bit rates the first listed with the source's channels wins, even at
  // another rate than the source's.
  const auto mono = wma_writer_find_format({1, 22050, 16}, 30000, false, false);
  ASSERT_TRUE(mono);
  EXPECT_EQ(mono->Bitrate, 32000u);
  EXPECT_EQ(mono->Type.Format.Channels, 1);
  EXPECT_EQ(mono->Type.Format.SamplesPerSec, 44100u);
  EXPECT_FALSE(wma_writer_find_format({2, 44100, 16}, 50, false, true));
  EXPECT_FALSE(wma_writer_find_format({2, 44100, 16}, 128000, true, false));
  // Formats are 16-bit: a 24-bit source matches none of them.
  EXPECT_FALSE(wma_writer_find_format({2, 44100, 24}, 128000, false, false));
}

struct TEncodeRow {
  const char* Name;
  int Rate, Channels;
  int64_t Frames;
  std::function<void(TWMAOut&)> Settings;
  const char* Codec;
  int OutRate, OutChannels;
  int64_t Bitrate;
};

// What the sink writes decodes (FFmpeg, our reader) to the source's length, rounded up to
// a codec frame, in the chosen format.
TEST(WMAOut, WritesTheChosenFormat) {
  const auto byIndex = [](int codec, const char* description) {
    return [=](TWMAOut& o) {
      o.CodecIndex = codec;
      o.FormatIndex = FormatIndex(o, description);
    };
  };
  const TEncodeRow rows[] = {
      {"44.1 kHz stereo, format 29", 44100, 2, 7 * 44100 + 17,
       byIndex(0, "128 kbps, 44 kHz, stereo CBR"), "wmav2", 44100, 2, 128000},
      {"22 kHz mono", 22050, 1, 30011, byIndex(0, "32 kbps, 22 kHz, mono CBR"), "wmav2", 22050, 1,
       32000},
      {"version 1 codec", 44100, 2, 20000, byIndex(1, "64 kbps, 44 kHz, stereo CBR"), "wmav1",
       44100, 2, 64000},
      {"mono source into a stereo format", 22050, 1, 22050,
       byIndex(0, "96 kbps, 44 kHz, stereo CBR"), "wmav2", 44100, 2, 96000},
      {"search, target in kbps", 44100, 2, 10000, [](TWMAOut& o) { o.DesiredBitrate = 128; },
       "wmav2", 44100, 2, 128000},
      // The first 40 kbps mono format listed is at 44.1 kHz.
      {"search, target in bps", 22050, 1, 10000, [](TWMAOut& o) { o.DesiredBitrate = 40000; },
       "wmav2", 44100, 1, 40000},
  };
  const TTempFile dir(0);
  const auto path = dir.Folder / "out.wma";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    TWMAOut sink;
    TPcmIn source(row.Rate, row.Channels, row.Frames);
    row.Settings(sink);
    sink.SetInput(&source);
    sink.SetFileName(path);
    ASSERT_EQ(RunToEnd(sink), "");
    EXPECT_FALSE(source.IsBusy());

    EXPECT_NE(Probe(path, "stream=codec_name").find(row.Codec), std::string::npos);
    const mp3_test::TDecoded decoded = mp3_test::DecodeWithFFmpeg(path);
    const int outRate = row.OutRate;
    const int64_t written = row.Frames * outRate / row.Rate;
    EXPECT_EQ(decoded.Channels, row.OutChannels);
    EXPECT_EQ(decoded.BitRate, row.Bitrate);
    EXPECT_GE(decoded.Frames(), written);
    EXPECT_LT(decoded.Frames(), written + 2048 + 64);

    TWMIn back;
    back.SetFileName(path);
    ASSERT_TRUE(back.Valid());
    EXPECT_EQ(back.SampleRate(), outRate);
    EXPECT_EQ(back.Channels(), row.OutChannels);
    EXPECT_EQ(back.Bitrate(), static_cast<uint32_t>(row.Bitrate));
    EXPECT_FALSE(back.IsVBR());
    EXPECT_NEAR(static_cast<double>(back.TotalSamples()), static_cast<double>(written),
                outRate / 100.0 + 1);
  }
}

TEST(WMAOut, AWholeNumberOfBlocksEndsWithAnEmptySample) {
  const int64_t block = 14112 / 4;  // frames of 80 ms at 44.1 kHz stereo
  const struct {
    int64_t Frames;
    int Samples;
  } rows[] = {{3 * block, 4}, {3 * block - 10, 3}, {3 * block + 10, 4}};
  const TTempFile dir(0);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Frames);
    TCountingWMAOut sink;
    TPcmIn source(44100, 2, row.Frames);
    sink.CodecIndex = 0;
    sink.FormatIndex = 29;
    sink.SetInput(&source);
    sink.SetFileName(dir.Folder / "blocks.wma");
    ASSERT_EQ(RunToEnd(sink), "");
    EXPECT_EQ(sink.Samples, row.Samples);
  }
}

const test_support::TTagTexts kTexts{u"Title ☃",         u"Ärtist", u"Album", u"Rock",
                                     u"A description ☺", "3",       "2016"};

// The texts of the header's content description object (title, author, copyright,
// description), as readers that look only there see them.
std::vector<std::string> ContentDescription(const std::filesystem::path& file) {
  TagLib::ASF::File asf(file.c_str());
  const TagLib::ASF::Tag* tag = asf.isValid() ? asf.tag() : nullptr;
  if (tag == nullptr) return {};
  return {tag->title().to8Bit(true), tag->artist().to8Bit(true), tag->copyright().to8Bit(true),
          tag->comment().to8Bit(true)};
}

TEST(WMAOut, TagTextsBecomeHeaderAttributesAndEmptyOnesAreLeftOut) {
  const TTempFile dir(0);
  const auto path = dir.Folder / "tags.wma";
  {
    TWMAOut sink;
    TPcmIn source(44100, 2, 5000);
    sink.CodecIndex = 0;
    sink.FormatIndex = 29;
    test_support::SetTexts(sink.Id3v2Tags(), kTexts);
    sink.Id3v2Tags().SetCopyright(u"(c) someone");
    sink.SetInput(&source);
    sink.SetFileName(path);
    ASSERT_EQ(RunToEnd(sink), "");
  }
  TWMIn back;
  back.SetFileName(path);
  ASSERT_TRUE(back.Valid());
  test_support::ExpectTexts(back.Id3v2Tags(), kTexts);
  EXPECT_EQ(back.Id3v2Tags().Copyright(), u"(c) someone");
  back.SetFileName("");
  const std::string probed = Probe(path, "format_tags");
  for (const char* line : {"artist=Ärtist", "album=Album", "genre=Rock", "WM/Year=2016", "track=3",
                           "Title=Title ☃", "Copyright=(c) someone", "comment=A description ☺"})
    EXPECT_NE(probed.find(line), std::string::npos) << line << " in " << probed;
  EXPECT_EQ(ContentDescription(path),
            (std::vector<std::string>{"Title ☃", "Ärtist", "(c) someone", "A description ☺"}));

  {
    TWMAOut sink;
    TPcmIn source(44100, 2, 5000);
    sink.CodecIndex = 0;
    sink.FormatIndex = 29;
    sink.Id3v2Tags().SetTitle(u"Only");
    sink.SetInput(&source);
    sink.SetFileName(path);
    ASSERT_EQ(RunToEnd(sink), "");
  }
  const std::string only = Probe(path, "format_tags");
  EXPECT_NE(only.find("Title=Only"), std::string::npos);
  for (const char* absent : {"artist", "album", "genre", "Year", "track", "Copyright", "comment"})
    EXPECT_EQ(only.find(absent), std::string::npos) << absent;
}

TEST(WMAOut, FailuresCarryTheirMessagesAndLeaveNoFile) {
  const std::string noCodec =
      "Filed to set data writer, possible reason: required WMA codec not installed.";
  const struct {
    const char* Name;
    std::function<void(TWMAOut&)> Settings;
    std::string Message;
  } rows[] = {
      {"codec index past the list", [](TWMAOut& o) { o.CodecIndex = 2; }, noCodec},
      {"format index past the list",
       [](TWMAOut& o) {
         o.CodecIndex = 0;
         o.FormatIndex = 100000;
       },
       noCodec},
      {"VBR by index",
       [](TWMAOut& o) {
         o.CodecIndex = 0;
         o.VBR = true;
       },
       noCodec},
      {"lossless search", [](TWMAOut& o) { o.Lossless = true; }, "Failed to init codec"},
      {"VBR search ignores the bit rate",
       [](TWMAOut& o) {
         o.VBR = true;
         o.DesiredBitrate = 128;
         o.VBRQuality = 90;
       },
       "Failed to init codec"},
      {"no target", [](TWMAOut&) {}, "Failed to init codec"},
  };
  const TTempFile dir(0);
  const auto path = dir.Folder / "failed.wma";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    TWMAOut sink;
    TPcmIn source(44100, 2, 5000);
    row.Settings(sink);
    sink.SetInput(&source);
    sink.SetFileName(path);
    EXPECT_EQ(RunToEnd(sink), row.Message);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(source.IsBusy());
  }

  TWMAOut sink;
  TPcmIn source(44100, 2, 5000);
  sink.CodecIndex = 0;
  sink.FormatIndex = 29;
  sink.SetInput(&source);
  EXPECT_EQ(RunToEnd(sink), "File name is not assigned.");
  sink.SetFileName(dir.Folder / "missing" / "out.wma");
  EXPECT_EQ(RunToEnd(sink), "Cannot create file");
}

TEST(WMAOut, RefusesToWriteOverItsOwnSource) {
  const TTempFile dir(0);
  const auto path = dir.Folder / "source.wma";
  std::filesystem::copy_file(std::string(TRIMORA_TEST_DATA) + "/media/wma_v2_64k_44k_stereo.wma",
                             path);
  const auto before = mp3_test::ReadBytes(path);
  TWMIn source;
  source.SetFileName(path);
  TWMAOut sink;
  sink.CodecIndex = 0;
  sink.FormatIndex = 29;
  sink.SetInput(&source);
  sink.SetFileName(path);
  EXPECT_EQ(RunToEnd(sink), "Cannot create file");
  source.SetFileName("");
  EXPECT_EQ(mp3_test::ReadBytes(path), before);
}

}  // namespace
