// SPDX-License-Identifier: GPL-3.0-or-later
// trimora-cli cut on WMA files made by FFmpeg: the output has the range (to within one
// codec frame, never less), the source's format and bit rate and its tags, read back by
// FFmpeg and by our own reader (the info command); a failure leaves no file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "cli_test_support.h"

namespace {

using namespace cli_test;

std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

// RMS difference, relative to full scale, of the first channel of `cut` against `source`
// from frame `first` on, with `cut` shifted by `lag` frames.
double Difference(const std::vector<int16_t>& cut, const std::vector<int16_t>& source, int channels,
                  int64_t first, int64_t frames, int64_t lag) {
  double sum = 0;
  int64_t n = 0;
  for (int64_t i = 2048; i + 2048 < frames; ++i, ++n) {
    const double d = cut[size_t((i + lag) * channels)] - source[size_t((first + i) * channels)];
    sum += d * d;
  }
  return n > 0 ? std::sqrt(sum / double(n)) / 32768 : 1.0;
}

// The first `share` of a file's bytes, as a download cut short leaves it, its header that of
// the whole; with `uncounted`, the header's packet count cleared too, so that nothing tells
// how much of the file is missing.
std::vector<uint8_t> CutShort(std::vector<uint8_t> bytes, double share, bool uncounted) {
  bytes.resize(static_cast<size_t>(static_cast<double>(bytes.size()) * share));
  // The file properties object, whose packet count lies 56 bytes in.
  const uint8_t guid[] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                          0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
  const auto at = std::search(bytes.begin(), bytes.end(), std::begin(guid), std::end(guid));
  if (at == bytes.end() || bytes.end() - at < 64) return {};
  if (uncounted) std::fill_n(at + 56, 8, 0);
  return bytes;
}

class CliWma : public ::testing::Test {
 protected:
  // Two 5-second tones rising from 200 to 1200 Hz, encoded by FFmpeg: stereo 44.1 kHz at
  // 128 kbps and mono 22.05 kHz at 32 kbps, each with tags.
  void SetUp() override {
    const std::string tone = "-f lavfi -i 'aevalsrc=0.4*sin(2*PI*(200*t+100*t*t)):d=5:s=";
    ASSERT_TRUE(CopyMadeFiles(
        "ffmpeg -nostdin -v error " + tone +
            "44100' -ac 2 -c:a wmav2 -b:a 128k -metadata title='Caf\u00E9 \u263A' "
            "-metadata artist='FF Artist' -metadata album='FF Album' "
            "-metadata genre=Rock -metadata WM/Year=2015 -metadata track=7 "
            "-metadata copyright='(c) FF' stereo.wma && "
            // Where the Windows runtime puts a description: the content description object,
            // which FFmpeg's muxer leaves without one.
            "/usr/bin/python3 -c \"from mutagen.asf import ASF; f = ASF('stereo.wma'); "
            "f['Description'] = 'FF description'; f.save()\" && "
            "ffmpeg -nostdin -v error " +
            tone +
            "22050' -ac 1 -c:a wmav2 -b:a 32k -metadata title='Mono Title' "
            "-metadata artist='Mono Artist' mono.wma",
        Folder));
  }

  TScratch Folder;
};

struct TCutRow {
  const char* In;
  const char* Start;
  const char* End;
  int64_t First, Frames;  // the range in frames, both ends included
  const char* Stream;     // ffprobe's view of the output's stream
  const char* Tags;
  const char* Info;  // our reader's format line
};

TEST_F(CliWma, CutKeepsRangeFormatBitRateAndTags) {
  const TCutRow rows[] = {
      {"stereo.wma", "00:00:01.0", "00:00:03.0", 44100, 88201,
       "codec_name=wmav2\nsample_rate=44100\nchannels=2\nbit_rate=128000\n",
       "TAG:Title=Caf\u00E9 \u263A\nTAG:artist=FF Artist\nTAG:album=FF Album\nTAG:genre=Rock\n"
       "TAG:WM/Year=2015\nTAG:track=7\nTAG:Copyright=(c) FF\nTAG:comment=FF description\n",
       "Format:      WMA, 128 kbps\n"},
      {"mono.wma", "00:00:00.5", "00:00:04.0", 11025, 77176,
       "codec_name=wmav2\nsample_rate=22050\nchannels=1\nbit_rate=32000\n",
       "TAG:Title=Mono Title\nTAG:artist=Mono Artist\n", "Format:      WMA, 32 kbps\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.In);
    const auto run =
        Folder.Cli({"cut", row.In, "--start", row.Start, "--end", row.End, "-o", "out.wma"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const auto out = Folder / "out.wma";
    const std::string stream = Probe(out, "stream=codec_name,sample_rate,channels,bit_rate");
    EXPECT_EQ(stream, row.Stream);
    // The muxer puts some texts in the header's description and the rest after it.
    const std::string tags = Probe(out, "format_tags");
    for (size_t at = 0, end; (end = std::string(row.Tags).find('\n', at)) != std::string::npos;
         at = end + 1) {
      const std::string line = std::string(row.Tags).substr(at, end - at + 1);
      EXPECT_NE(tags.find(line), std::string::npos) << line << " in " << tags;
    }

    const int channels = stream.find("channels=2") != std::string::npos ? 2 : 1;
    const auto cut = Samples(DecodeWithFfmpeg(out, "s16le"));
    const auto source = Samples(DecodeWithFfmpeg(Folder / row.In, "s16le"));
    const auto frames = int64_t(cut.size()) / channels;
    EXPECT_GE(frames, row.Frames);
    EXPECT_LT(frames, row.Frames + 2048);
    // In place: the cut lines up with the source's range, not with a shifted copy of it.
    const double aligned = Difference(cut, source, channels, row.First, row.Frames, 0);
    EXPECT_LT(aligned, 0.05);
    EXPECT_LT(aligned, Difference(cut, source, channels, row.First, row.Frames, 64) / 2);

    const auto info = Folder.Cli({"info", "out.wma"});
    ASSERT_EQ(info.Status, 0) << info.Err;
    EXPECT_NE(info.Out.find(row.Info), std::string::npos) << info.Out;
    std::filesystem::remove(out);
  }
}

// A source whose format is not in the list is written in the general default, 128 kbps,
// 44 kHz, stereo, as the windows write it: resampled to twice its rate, twice the frames.
TEST_F(CliWma, ASourceOfNoListedFormatIsWrittenInTheDefaultFormat) {
  ASSERT_FALSE(Shell("cd '" + Folder.Path().string() +
                     "' && ffmpeg -nostdin -v error -f lavfi -i 'sine=f=440:d=3:r=22050' -ac 2 "
                     "-c:a wmav2 -b:a 192k odd.wma && echo ok")
                   .empty());
  ASSERT_EQ(Folder.Cli({"formats"}).Out.find("192 kbps, 22 kHz, stereo"), std::string::npos);
  for (const std::string command : {"cut", "join"}) {
    std::vector<std::string> args = {command, "odd.wma", "-o", command + ".wma"};
    if (command == "join") args.insert(args.begin() + 2, "odd.wma");
    const auto run = Folder.Cli(args);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(Probe(Folder / (command + ".wma"), "stream=sample_rate,channels,bit_rate"),
              "sample_rate=44100\nchannels=2\nbit_rate=128000\n");
    const auto frames = DecodeWithFfmpeg(Folder / (command + ".wma"), "s16le").size() / 4;
    const auto source = DecodeWithFfmpeg(Folder / "odd.wma", "s16le").size() / 4;
    const size_t expected = (command == "cut" ? 2 : 4) * source;
    EXPECT_GE(frames + 2048, expected) << command;
    EXPECT_LE(frames, expected + 2048) << command;
  }
}

// A file cut short claims a length its header estimates: short of the sound where the packets
// left scale it, past it where no count does. Info says "about"; a whole cut, a tail cut and a
// split end where the sound ends (as FFmpeg decodes it, up to a codec frame more a piece).
TEST_F(CliWma, ACutShortFileIsCutToWhereItsSoundEnds) {
  for (const bool uncounted : {false, true}) {
    SCOPED_TRACE(uncounted ? "no packet count" : "packets counted");
    const auto bytes = CutShort(ReadBytes(Folder / "stereo.wma"), 0.6, uncounted);
    ASSERT_FALSE(bytes.empty());
    WriteBytes(Folder / "short.wma", bytes);
    const auto frames = [&](const std::string& name) {
      return static_cast<int64_t>(DecodeWithFfmpeg(Folder / name, "s16le").size() / 4);
    };
    const int64_t sound = frames("short.wma");
    const auto info = Folder.Cli({"info", "short.wma"});
    EXPECT_NE(info.Out.find("Length:      about 00:00:0"), std::string::npos) << info.Out;

    const struct {
      std::vector<std::string> Args;
      const char* Out;
      int64_t Frames;
    } cuts[] = {{{"cut", "short.wma", "-o", "whole.wma", "--force"}, "whole.wma", sound},
                {{"cut", "short.wma", "--start", "00:00:02.0", "-o", "tail.wma", "--force"},
                 "tail.wma",
                 sound - 88200}};
    for (const auto& cut : cuts) {
      const auto run = Folder.Cli(cut.Args);
      ASSERT_EQ(run.Status, 0) << cut.Out << ": " << run.Err;
      EXPECT_GE(frames(cut.Out), cut.Frames) << cut.Out;
      EXPECT_LT(frames(cut.Out), cut.Frames + 2048) << cut.Out;
    }
    const auto split = Folder.Cli({"split", "short.wma", "--parts", "3", "--force"});
    ASSERT_EQ(split.Status, 0) << split.Err;
    int64_t pieces = 0;
    for (const char* piece : {"short - 01.wma", "short - 02.wma", "short - 03.wma"})
      if (std::filesystem::exists(Folder / piece)) pieces += frames(piece);
    EXPECT_NEAR(pieces, sound, 3 * 2048);
    for (const auto& name : Folder.Names())
      if (name.starts_with("short - ")) std::filesystem::remove(Folder / name);
  }
}

// WMA frames cannot be cut apart: --copy is refused before anything is written.
TEST_F(CliWma, CopyIsRefusedWithTheReason) {
  const auto run = Folder.Cli({"cut", "stereo.wma", "--copy", "-o", "out.wma"});
  EXPECT_NE(run.Status, 0);
  EXPECT_NE(run.Err.find("WMA frames cannot be kept as they are"), std::string::npos) << run.Err;
  EXPECT_FALSE(std::filesystem::exists(Folder / "out.wma"));
}

TEST_F(CliWma, FormatsListsTheCodecsAndTheIndexesACutChoosesFrom) {
  const auto run = Folder.Cli({"formats"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  for (const char* line :
       {"   0  Windows Media Audio Standard\n", "   1  Windows Media Audio Standard v1\n",
        "  29  128 kbps, 44 kHz, stereo CBR\n", "32 kbps, 22 kHz, mono CBR\n",
        "32 kbps,  8 kHz, mono CBR\n"})
    EXPECT_NE(run.Out.find(line), std::string::npos) << line;
  EXPECT_EQ(Folder.Cli({"formats", "x.wma"}).Status, 2);
}

// Writes fail part way (the file-size limit): the writer's message, and no file left.
TEST_F(CliWma, AFailedWriteLeavesNoFile) {
  const auto run =
      Folder.Cli({"cut", "stereo.wma", "-o", "out.wma"}, "trap '' XFSZ; ulimit -f 20;");
  EXPECT_EQ(run.Status, 1);
  // Refused while writing a block, or while the last packets and the header are written.
  const bool reported =
      run.Err.find("cut failed: Failed to write data: File too large") != std::string::npos ||
      run.Err.find("cut failed: Windows Media output error: File too large") != std::string::npos;
  EXPECT_TRUE(reported) << run.Err;
  EXPECT_NE(run.Err.find("'out.wma'"), std::string::npos) << run.Err;
  EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"mono.wma", "stereo.wma"}));
}

}  // namespace
