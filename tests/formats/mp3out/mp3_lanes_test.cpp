// SPDX-License-Identifier: GPL-3.0-or-later
// MP3 encoding on several encoders at once, checked by FFmpeg's decoder against the source
// and against what one encoder makes of the same input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include "formats/mp3out/be_config.h"
#include "formats/mp3out/mp3_lanes.h"
#include "formats/mp3out/mp3_out.h"
#include "mp3_test_support.h"
#include "pipeline_test_support.h"

namespace {

using namespace mp3_test;
using pipeline_test::TTempFile;

TDecoded EncodeWithSink(TPcmIn& source, int lanes, int chunkFrames,
                        const std::filesystem::path& path) {
  TMP3Out sink;
  sink.Lanes = lanes;
  sink.LaneChunkFrames = chunkFrames;
  sink.Id3v2Tags().SetTitle(u"Lanes");
  sink.Id3v2Tags().SetYear("2021");
  sink.Id3v2Tags().SetTrack("3");
  sink.Id3v2Tags().SetArtist(u"Someone");
  sink.SetInput(&source);
  sink.SetFileName(path);
  EXPECT_EQ(RunToEnd(sink), "");
  return DecodeWithFFmpeg(path);
}

// The lanes' output laid out as the sink lays it: the tag frame over its placeholder.
TDecoded EncodeOnLanes(const std::vector<int16_t>& pcm, int rate, int channels,
                       const TMP3LaneOptions& options, const std::filesystem::path& path) {
  TMP3Lanes lanes(MakeBeConfig(TMP3Settings{}, static_cast<uint32_t>(rate), channels), options);
  std::vector<uint8_t> out;
  const auto write = [&out](const uint8_t* data, uint32_t count) {
    out.insert(out.end(), data, data + count);
  };
  const size_t frames = pcm.size() / static_cast<size_t>(channels);
  for (size_t at = 0; at < frames; at += 3001)  // pieces that never line up with a frame
    lanes.Encode(pcm.data() + at * static_cast<size_t>(channels),
                 std::min<size_t>(3001, frames - at), write);
  lanes.Finish(write);
  const std::vector<uint8_t> tag = lanes.TagFrame();
  std::copy(tag.begin(), tag.end(), out.begin());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  return DecodeWithFFmpeg(path);
}

// Signal-to-noise ratio in dB of the first channel of `decoded` over frames [first, end).
double Snr(const TDecoded& decoded, const std::vector<int16_t>& source, int channels, int64_t first,
           int64_t end) {
  double signal = 0, noise = 0;
  for (int64_t i = std::max<int64_t>(first, 0); i < std::min(end, decoded.Frames()); ++i) {
    const double s = source[static_cast<size_t>(i * channels)];
    const double d = decoded.Samples[static_cast<size_t>(i * decoded.Channels)] - s;
    signal += s * s;
    noise += d * d;
  }
  return 10 * std::log10(signal / std::max(noise, 1e-9));
}

// The Info frame's frame count and its encoder delay and padding (12 bits each).
std::pair<uint32_t, uint32_t> InfoFramesAndDelays(const std::vector<uint8_t>& file) {
  const std::string bytes(file.begin(), file.end());
  const size_t info = bytes.find("Info");
  if (info == std::string::npos || info + 144 > file.size()) return {0, 0};
  const auto at = [&](size_t i) { return uint32_t{file[info + i]}; };
  return {at(8) << 24 | at(9) << 16 | at(10) << 8 | at(11), at(141) << 16 | at(142) << 8 | at(143)};
}

TEST(MP3Lanes, DecodeToExactlyTheFramesReadWithEveryClickInPlace) {
  const struct {
    const char* name;
    int rate, channels;
    int64_t frames;
    int lanes, chunkFrames;
    TMP3BitRate bitRate;
  } rows[] = {
      {"stereo, many seams", 44100, 2, 100000, 2, 8, mbr128},
      {"mono, three lanes", 44100, 1, 1152 * 40 + 1, 3, 5, mbr128},
      {"MPEG-2 frames of 576", 22050, 2, 60000, 4, 7, mbr64},
      {"shorter than one chunk", 44100, 2, 3000, 2, 8, mbr128},
      {"input ends with the first chunk's tail", 44100, 2, (8 + 3) * 1152, 2, 8, mbr128},
      {"tag frame of its own size", 44100, 2, 40000, 2, 6, mbr32},
  };
  const TTempFile dir(0);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TPcmIn source(row.rate, row.channels, row.frames, TSignal::Clicks);
    TMP3Out sink;
    sink.BitRate = row.bitRate;
    sink.Lanes = row.lanes;
    sink.LaneChunkFrames = row.chunkFrames;
    sink.SetInput(&source);
    sink.SetFileName(dir.Folder / "lanes.mp3");
    ASSERT_EQ(RunToEnd(sink), "");
    const TDecoded decoded = DecodeWithFFmpeg(dir.Folder / "lanes.mp3");
    ASSERT_EQ(decoded.Frames(), row.frames);
    EXPECT_EQ(FirstFrame(ReadBytes(dir.Folder / "lanes.mp3")).Tag, "Info");
    for (int64_t click = kClickFirst; click + 300 < row.frames; click += kClickSpacing) {
      const auto first = decoded.Samples.begin() + (click - 300) * decoded.Channels;
      int64_t loudest = click - 300;
      for (int64_t i = click - 300; i < click + 300; ++i)
        if (std::abs(first[(i - click + 300) * decoded.Channels]) >
            std::abs(first[(loudest - click + 300) * decoded.Channels]))
          loudest = i;
      EXPECT_EQ(loudest, click);
    }
  }
}

// Every frame within two frames of a seam, against the same frame of one encoder's output;
// without priming the first frames of a chunk come out markedly worse.
TEST(MP3Lanes, FramesAtTheSeamsDecodeAsWellAsOneEncoderMakesThem) {
  constexpr int kRate = 44100, kChunk = 10, kFrame = 1152, kDelay = 576;
  const TTempFile dir(0);
  for (const TSignal signal : {TSignal::Tone, TSignal::Noise}) {
    TPcmIn source(kRate, 2, 1152 * 65 + 100, signal);
    const TDecoded one = EncodeWithSink(source, 1, 0, dir.Folder / "one.mp3");
    const auto worstAtSeams = [&](int priming) {
      const TDecoded lanes =
          EncodeOnLanes(source.Samples(), kRate, 2, {2, kChunk, priming}, dir.Folder / "lanes.mp3");
      EXPECT_EQ(lanes.Frames(), one.Frames());
      double worst = 100;
      for (int seam = kChunk; seam < 60; seam += kChunk)
        for (int frame = seam - 2; frame < seam + 2; ++frame) {
          const int64_t first = int64_t{frame} * kFrame - kDelay, end = first + kFrame;
          worst = std::min(worst, Snr(lanes, source.Samples(), 2, first, end) -
                                      Snr(one, source.Samples(), 2, first, end));
        }
      return worst;
    };
    EXPECT_GT(worstAtSeams(kMP3PrimingFrames), -0.5) << "signal " << static_cast<int>(signal);
    EXPECT_LT(worstAtSeams(0), -0.5) << "signal " << static_cast<int>(signal);
  }
}

TEST(MP3Lanes, LaneCountChangesNeitherLengthNorTagsNorTheStreamsDelays) {
  const TTempFile dir(0);
  TPcmIn source(44100, 2, 77777);
  std::vector<std::pair<uint32_t, uint32_t>> infos;
  for (const int lanes : {1, 2, 4}) {
    SCOPED_TRACE(lanes);
    const auto path = dir.Folder / ("lanes" + std::to_string(lanes) + ".mp3");
    const TDecoded decoded = EncodeWithSink(source, lanes, 9, path);
    EXPECT_EQ(decoded.Frames(), 77777);
    EXPECT_EQ(decoded.BitRate, 128000);
    infos.push_back(InfoFramesAndDelays(ReadBytes(path)));
    EXPECT_EQ(infos.back(), infos.front());
    TagLib::MPEG::File file(path.c_str());
    ASSERT_TRUE(file.hasID3v2Tag() && file.hasID3v1Tag());
    EXPECT_EQ(file.ID3v2Tag()->title().to8Bit(true), "Lanes");
    EXPECT_EQ(file.ID3v2Tag()->year(), 2021u);
    EXPECT_EQ(file.ID3v2Tag()->track(), 3u);
    EXPECT_EQ(file.ID3v1Tag()->artist().to8Bit(), "Someone");
  }
  EXPECT_NE(infos.front().first, 0u);
}

}  // namespace

// A stop drops the chunks in flight; the file ends with the frames written, and its tag frame
// trims it so that it plays what it holds, to its last sample.
TEST(MP3Lanes, AStopMidRunLeavesAFileThatPlaysToItsEnd) {
  const TTempFile dir(0);
  constexpr int64_t kFrames = 44100 * 120;
  TPcmIn source(44100, 2, kFrames);
  TMP3Out sink;
  sink.Lanes = 2;
  sink.LaneChunkFrames = 20;
  sink.SetInput(&source);
  sink.SetFileName(dir.Folder / "stopped.mp3");
  sink.Run();
  ASSERT_TRUE(pipeline_test::PumpUntil([&] { return sink.Progress() >= 30; }));
  sink.Stop();
  EXPECT_FALSE(source.IsBusy());
  const TDecoded decoded = DecodeWithFFmpeg(dir.Folder / "stopped.mp3");
  ASSERT_GT(decoded.Frames(), 0);
  EXPECT_LT(decoded.Frames(), kFrames);
  EXPECT_GT(Snr(decoded, source.Samples(), 2, 0, decoded.Frames()), 20);
  EXPECT_GT(Snr(decoded, source.Samples(), 2, decoded.Frames() - 1152, decoded.Frames()), 20);
  const auto [frames, delays] = InfoFramesAndDelays(ReadBytes(dir.Folder / "stopped.mp3"));
  EXPECT_EQ(int64_t{frames} * 1152 - (delays >> 12) - (delays & 0xFFF), decoded.Frames())
      << "the length the tag frame gives is the length played";
}
