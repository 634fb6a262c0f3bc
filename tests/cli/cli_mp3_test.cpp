// SPDX-License-Identifier: GPL-3.0-or-later
// trimora-cli cut on MP3 files made by LAME and by FFmpeg: the output decodes (FFmpeg) to
// exactly the number of frames asked for, at the source's bit rate, with the source's tags
// readable by TagLib and FFmpeg; a failure leaves no file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include "cli_test_support.h"

namespace {

using namespace cli_test;

// Channel mode in the first frame header after the ID3v2 tag: 0 stereo, 1 joint, 3 mono.
int FirstFrameMode(const std::vector<uint8_t>& f) {
  size_t pos = 0;
  if (f.size() > 10 && std::memcmp(f.data(), "ID3", 3) == 0)
    pos = 10 + static_cast<size_t>(f[6] << 21 | f[7] << 14 | f[8] << 7 | f[9]);
  return pos + 4 <= f.size() && f[pos] == 0xFF ? f[pos + 3] >> 6 : -1;
}

class CliMp3 : public ::testing::Test {
 protected:
  // A 5-second stereo tone rising from 200 to 1200 Hz, encoded by LAME (CBR 128, joint
  // stereo) and by FFmpeg's LAME binding (VBR), each with tags.
  void SetUp() override {
    ASSERT_TRUE(
        CopyMadeFiles("ffmpeg -nostdin -v error -f lavfi -i "
                      "'aevalsrc=0.4*sin(2*PI*(200*t+100*t*t)):s=44100:d=5' -ac 2 tone.wav && "
                      "lame --quiet -b 128 -m j --tt 'Lame Title' --ta 'Lame Artist' "
                      "--tl 'Lame Album' --ty 2015 --tn 7 --tg Rock tone.wav cbr.mp3 && "
                      "ffmpeg -nostdin -v error -i tone.wav -c:a libmp3lame -q:a 2 "
                      "-metadata title='Caf\u00E9 \u263A' -metadata artist='FF Artist' "
                      "-metadata album='FF Album' -metadata genre=Jazz -metadata date=1999 "
                      "-metadata track=3 vbr.mp3 && rm tone.wav",
                      Folder));
  }

  // Cuts 1.0 s to 3.0 s of `in` into `out`: frames 44100 to 132300, 88201 in all.
  void CutAndCheckFrames(const std::string& in, const std::string& out) {
    const auto run =
        Folder.Cli({"cut", in, "--start", "00:00:01.0", "--end", "00:00:03.0", "-o", out});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(DecodeWithFfmpeg(Folder / out, "s16le").size(), 88201u * 4);
  }

  TScratch Folder;
};

TEST_F(CliMp3, CbrCutHasTheRangeTheBitRateAndTheTags) {
  CutAndCheckFrames("cbr.mp3", "out.mp3");
  const auto out = Folder / "out.mp3";
  EXPECT_EQ(Probe(out, "stream=bit_rate,channels,sample_rate"),
            "sample_rate=44100\nchannels=2\nbit_rate=128000\n");
  EXPECT_EQ(FirstFrameMode(ReadBytes(out)), 0) << "a two-channel source gives plain stereo";

  TagLib::MPEG::File file(out.c_str());
  ASSERT_TRUE(file.hasID3v2Tag());
  EXPECT_EQ(file.ID3v2Tag()->header()->majorVersion(), 4u);
  EXPECT_EQ(file.ID3v2Tag()->title().to8Bit(true), "Lame Title");
  EXPECT_EQ(file.ID3v2Tag()->artist().to8Bit(true), "Lame Artist");
  EXPECT_EQ(file.ID3v2Tag()->album().to8Bit(true), "Lame Album");
  EXPECT_EQ(file.ID3v2Tag()->genre().to8Bit(true), "Rock");
  EXPECT_EQ(file.ID3v2Tag()->year(), 2015u);
  EXPECT_EQ(file.ID3v2Tag()->track(), 7u);
  ASSERT_TRUE(file.hasID3v1Tag());
  EXPECT_EQ(file.ID3v1Tag()->title().to8Bit(), "Lame Title");
  EXPECT_EQ(file.ID3v1Tag()->year(), 2015u);

  EXPECT_EQ(Probe(out, "format_tags=title,artist,album,genre,date,track"),
            "TAG:title=Lame Title\nTAG:artist=Lame Artist\nTAG:album=Lame Album\n"
            "TAG:genre=Rock\nTAG:date=2015\nTAG:track=7\n");
  EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"cbr.mp3", "out.mp3", "vbr.mp3"}));
}

TEST_F(CliMp3, VbrCutStaysVbrWithTheRangeAndTheTags) {
  CutAndCheckFrames("vbr.mp3", "out.mp3");
  const auto bytes = ReadBytes(Folder / "out.mp3");
  const std::string head(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), 4096));
  EXPECT_NE(head.find("Xing"), std::string::npos) << "a VBR tag frame";

  TagLib::MPEG::File file((Folder / "out.mp3").c_str());
  ASSERT_TRUE(file.hasID3v2Tag());
  EXPECT_EQ(file.ID3v2Tag()->title().to8Bit(true), "Caf\u00E9 \u263A");
  EXPECT_EQ(file.ID3v2Tag()->genre().to8Bit(true), "Jazz");
  EXPECT_EQ(file.ID3v2Tag()->year(), 1999u);
  EXPECT_EQ(file.ID3v2Tag()->track(), 3u);
  EXPECT_EQ(Probe(Folder / "out.mp3", "format_tags=title,artist,album"),
            "TAG:title=Caf\u00E9 \u263A\nTAG:artist=FF Artist\nTAG:album=FF Album\n");
}

// A VBR file of a low quality stays near its own average rate, with no 128 kbps floor.
TEST_F(CliMp3, ALowQualityVbrCutKeepsItsRate) {
  ASSERT_FALSE(Shell("cd '" + Folder.Path().string() +
                     "' && ffmpeg -nostdin -v error -i vbr.mp3 -c:a libmp3lame -q:a 9 v9.mp3 && "
                     "echo ok")
                   .empty());
  ASSERT_EQ(Folder.Cli({"cut", "v9.mp3", "-o", "out.mp3"}).Status, 0);
  const auto rate = [&](const char* name) {
    return std::stod(Probe(Folder / name, "format=bit_rate").substr(9));
  };
  const double source = rate("v9.mp3"), cut = rate("out.mp3");
  EXPECT_LT(source, 100000);
  EXPECT_GT(cut, source * 0.5);
  EXPECT_LT(cut, source * 1.6);
}

TEST_F(CliMp3, MonoFileCutWholeKeepsEveryFrame) {
  const std::filesystem::path data = std::filesystem::path(TRIMORA_TEST_DATA) / "media";
  const auto in = data / "mp3_lame_10s_8k_mono.mp3";
  const auto run = Folder.Cli({"cut", in.string(), "-o", "mono.mp3"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(DecodeWithFfmpeg(Folder / "mono.mp3", "s16le").size(),
            DecodeWithFfmpeg(in, "s16le").size());
  EXPECT_EQ(Probe(Folder / "mono.mp3", "stream=channels"), "channels=1\n");
}

TEST_F(CliMp3, AYearThatIsNoNumberIsLeftOutAndTheCutSucceeds) {
  ASSERT_FALSE(Shell("cd '" + Folder.Path().string() +
                     "' && ffmpeg -nostdin -v error -i cbr.mp3 -c copy -map_metadata -1 "
                     "-id3v2_version 3 -metadata title=Odd -metadata date=abc abc.mp3 && echo ok")
                   .empty());
  const auto run = Folder.Cli({"cut", "abc.mp3", "--end", "00:00:01.0", "-o", "out.mp3"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  TagLib::MPEG::File file((Folder / "out.mp3").c_str());
  ASSERT_TRUE(file.hasID3v2Tag());
  EXPECT_EQ(file.ID3v2Tag()->title().to8Bit(true), "Odd");
  EXPECT_EQ(file.ID3v2Tag()->year(), 0u);
  EXPECT_EQ(Probe(Folder / "out.mp3", "format_tags=date"), "");
}

// Writes fail part way (the file-size limit, as a full disk would): the encoder's message with
// the system's reason and the target's name, and no file left.
TEST_F(CliMp3, AFailedWriteLeavesNoFile) {
  const auto run = Folder.Cli({"cut", "cbr.mp3", "-o", "out.mp3"}, "trap '' XFSZ; ulimit -f 20;");
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("cut failed: Error writing down mp3 file: File too large (while "
                         "writing 'out.mp3')"),
            std::string::npos)
      << run.Err;
  EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"cbr.mp3", "vbr.mp3"}));
}

// A download cut short keeps the frame count of the whole file in its tag. What it holds
// decides its length, a cut past that is refused naming the user's file, and a cut within it
// succeeds.
TEST_F(CliMp3, ATruncatedFileIsCutByWhatItHolds) {
  auto bytes = ReadBytes(Folder / "cbr.mp3");
  bytes.resize(24000);  // about 1.4 s of the 5 s at 128 kbps
  WriteBytes(Folder / "short.mp3", bytes);
  const auto info = Folder.Cli({"info", "short.mp3"});
  ASSERT_EQ(info.Status, 0) << info.Err;
  EXPECT_NE(info.Out.find("Length:      00:00:01."), std::string::npos) << info.Out;

  const auto past = Folder.Cli({"cut", "short.mp3", "--start", "00:00:03.0", "-o", "past.mp3"});
  EXPECT_EQ(past.Status, 1);
  EXPECT_NE(past.Err.find("lies past the end of 'short.mp3'"), std::string::npos) << past.Err;
  EXPECT_EQ(past.Err.find(".trimora-"), std::string::npos) << past.Err;

  const auto within = Folder.Cli({"cut", "short.mp3", "--start", "00:00:00.5", "-o", "in.mp3"});
  EXPECT_EQ(within.Status, 0) << within.Err;
  EXPECT_EQ(Folder.Names(),
            (std::vector<std::string>{"cbr.mp3", "in.mp3", "short.mp3", "vbr.mp3"}));
}

}  // namespace
