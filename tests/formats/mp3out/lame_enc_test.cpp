// SPDX-License-Identifier: GPL-3.0-or-later
// The encoder interface over libmp3lame: chunk and buffer sizes and refused records; and the
// tag frame written over the encoder's placeholder.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <span>
#include <string>

#include "formats/mp3out/lame_enc.h"
#include "formats/mp3out/lame_library.h"
#include "formats/mp3out/tag_frame_file.h"
#include "mp3_test_support.h"
#include "pipeline_test_support.h"
#include "platform/media_mpeg_audio.h"

namespace {

using namespace mp3_test;
using pipeline_test::TTempFile;
namespace media = trimora::media;
using media::ParseMpegHeader;

BE_CONFIG Config(uint32_t rate, int32_t mode) {
  BE_CONFIG config = MakeBeConfig(TMP3Settings{}, rate, mode == BE_MP3_MODE_MONO ? 1 : 2);
  config.nMode = mode;
  return config;
}

class LameEnc : public ::testing::Test {};

TEST_F(LameEnc, ChunkAndBufferSizesFollowTheStream) {
  const struct {
    uint32_t rate;
    int32_t mode;
    uint32_t samples, buffer;
  } rows[] = {
      {44100, BE_MP3_MODE_STEREO, 2304, 8640},  // MPEG-1: 1152 frames a chunk
      {44100, BE_MP3_MODE_MONO, 1152, 8640},
      {22050, BE_MP3_MODE_JSTEREO, 1152, 7920},  // MPEG-2: 576 frames
      {8000, BE_MP3_MODE_MONO, 576, 7920},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.rate);
    const BE_CONFIG config = Config(row.rate, row.mode);
    uint32_t samples = 0, size = 0;
    HBE_STREAM raw = nullptr;
    ASSERT_EQ(beInitStream(&config, &samples, &size, &raw), BE_ERR_SUCCESSFUL);
    const TBeStreamHandle stream(raw);
    EXPECT_EQ(samples, row.samples);
    EXPECT_EQ(size, row.buffer);
  }
}

TEST_F(LameEnc, RefusesRecordsItCannotUse) {
  BE_CONFIG wrongKind = Config(44100, BE_MP3_MODE_STEREO), badMode = wrongKind;
  wrongKind.dwConfig = 0;
  badMode.nMode = 7;
  uint32_t samples = 0, size = 0;
  HBE_STREAM stream = nullptr;
  EXPECT_EQ(beInitStream(&wrongKind, &samples, &size, &stream), BE_ERR_INVALID_FORMAT);
  EXPECT_EQ(beInitStream(&badMode, &samples, &size, &stream), BE_ERR_INVALID_FORMAT_PARAMETERS);
  EXPECT_EQ(stream, nullptr);
  EXPECT_EQ(beCloseStream(nullptr), BE_ERR_INVALID_HANDLE);
}

// A whole stream: `pcm` encoded chunk by chunk, flushed, and the finished tag frame put over
// its placeholder at the start. Empty when a call fails.
std::vector<uint8_t> EncodeStream(const BE_CONFIG& config, const std::vector<int16_t>& pcm) {
  uint32_t chunk = 0, size = 0;
  HBE_STREAM raw = nullptr;
  if (beInitStream(&config, &chunk, &size, &raw) != BE_ERR_SUCCESSFUL) return {};
  const TBeStreamHandle stream(raw);
  std::vector<uint8_t> out, buffer(size);
  for (size_t at = 0; at < pcm.size(); at += chunk) {
    const auto n = static_cast<uint32_t>(std::min<size_t>(chunk, pcm.size() - at));
    uint32_t produced = 0;
    if (beEncodeChunk(raw, n, pcm.data() + at, buffer.data(), &produced) != BE_ERR_SUCCESSFUL)
      return {};
    out.insert(out.end(), buffer.begin(), buffer.begin() + produced);
  }
  uint32_t produced = 0;
  if (beDeinitStream(raw, buffer.data(), &produced) != BE_ERR_SUCCESSFUL) return {};
  out.insert(out.end(), buffer.begin(), buffer.begin() + produced);
  const std::vector<uint8_t> tag = beLameTagFrame(raw);
  if (tag.empty() || tag.size() > out.size() ||
      !std::equal(tag.begin(), tag.begin() + 3, out.begin()))
    return {};
  std::copy(tag.begin(), tag.end(), out.begin());
  return out;
}

// What a stream holds, read with the media runtime's own frame parser: its tag frame, and the
// bit rates of the audio frames after it.
struct TStreamShape {
  media::TMpegVbrTag Tag;
  int SamplesPerFrame = 0;
  int64_t AudioFrames = 0;
  std::set<int> Bitrates;
};

TStreamShape ShapeOf(const std::vector<uint8_t>& bytes) {
  TStreamShape shape;
  size_t at = 0;
  const auto first = media::ParseMpegHeader(std::span(bytes));
  if (!first) return shape;
  shape.Tag = media::ParseMpegVbrTag(std::span(bytes).first(first->FrameBytes), *first);
  shape.SamplesPerFrame = first->SamplesPerFrame;
  at += static_cast<size_t>(first->FrameBytes);
  while (at + 4 <= bytes.size()) {
    const auto header = media::ParseMpegHeader(std::span(bytes).subspan(at));
    if (!header) return {};  // a broken stream
    shape.Bitrates.insert(header->Bitrate / 1000);
    ++shape.AudioFrames;
    at += static_cast<size_t>(header->FrameBytes);
  }
  return shape;
}

// Every bit rate of the settings at every MPEG sample rate, mono and stereo: the encoder is
// never handed a setting it trips over, the bit rate stays constant however small its frames,
// and every stream starts with a tag whose counts give exactly the frames encoded. Where the
// tag needs a frame of its own (the lowest rates), FFmpeg trims the stream to that length.
TEST_F(LameEnc, EveryConstantBitRateKeepsItsRateAndATagWithTheExactLength) {
  const TTempFile dir(0);
  for (const int rate : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000}) {
    for (const int channels : {1, 2}) {
      const int64_t frames = rate / 5 + 17;
      const auto pcm = MakePcm(rate, channels, frames, TSignal::Noise);
      bool decoded = false;
      for (int setting = mbr32; setting <= mbr320; ++setting) {
        const auto kbps = static_cast<int>(MP3BitRateKbps(static_cast<TMP3BitRate>(setting)));
        SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(channels) + " ch, " +
                     std::to_string(kbps) + " kbps");
        TMP3Settings settings;
        settings.BitRate = static_cast<TMP3BitRate>(setting);
        const auto stream = EncodeStream(MakeBeConfig(settings, rate, channels), pcm);
        ASSERT_FALSE(stream.empty());
        const TStreamShape shape = ShapeOf(stream);
        EXPECT_EQ(shape.Tag.Kind, media::TMpegVbrTag::TKind::Info);
        ASSERT_TRUE(shape.Tag.Frames && shape.Tag.HasEncoderDelays);
        EXPECT_EQ(*shape.Tag.Frames, shape.AudioFrames);
        EXPECT_EQ(int64_t{*shape.Tag.Frames} * shape.SamplesPerFrame - shape.Tag.Delay -
                      shape.Tag.Padding,
                  frames);
        // MPEG-2 and 2.5 end at 160 and 64 kbps and MPEG-1 has no 144; the encoder takes the
        // next lower rate it has.
        const int top = rate >= 32000 ? 320 : rate >= 16000 ? 160 : 64;
        const int kept = rate >= 32000 && kbps == 144 ? 128 : std::min(kbps, top);
        ASSERT_EQ(shape.Bitrates.size(), 1u);
        EXPECT_EQ(*shape.Bitrates.begin(), kept);

        const bool ownTagFrame = ParseMpegHeader(std::span(stream))->Bitrate / 1000 != kbps;
        if (ownTagFrame && !decoded) {
          decoded = true;
          const auto path = dir.Folder / "low.mp3";
          std::ofstream(path, std::ios::binary)
              .write(reinterpret_cast<const char*>(stream.data()),
                     static_cast<std::streamsize>(stream.size()));
          const TDecoded ffmpeg = DecodeWithFFmpeg(path);
          EXPECT_EQ(ffmpeg.Frames(), frames);
          EXPECT_EQ(ffmpeg.Channels, channels);
        }
      }
    }
  }
}

// Minimum, maximum and average from the settings in any order: an inverted pair once made the
// encoder's average-bit-rate loop abort the process.
TEST_F(LameEnc, VariableAndAverageRatesSurviveAnyOrderOfLimits) {
  const struct {
    const char* name;
    TMP3BitRate min, max, average;
  } rows[] = {
      {"average, minimum above maximum", mbr80, mbr48, mbr64},
      {"average below the minimum", mbr128, mbr320, mbr64},
      {"average pinned", mbr32, mbr32, mbr32},
      {"variable, minimum above maximum", mbr320, mbr32, mbrAuto},
  };
  const auto pcm = MakePcm(48000, 2, 48000, TSignal::Noise);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TMP3Settings settings;
    settings.EnableVBR = true;
    settings.BitRate = row.min;
    settings.MaximumBitrate = row.max;
    settings.AverageBitrate = row.average;
    const TStreamShape shape = ShapeOf(EncodeStream(MakeBeConfig(settings, 48000, 2), pcm));
    ASSERT_TRUE(shape.Tag.Frames && shape.Tag.HasEncoderDelays);
    EXPECT_EQ(
        int64_t{*shape.Tag.Frames} * shape.SamplesPerFrame - shape.Tag.Delay - shape.Tag.Padding,
        48000);
  }
}

// The tag frame replaces the placeholder frame behind an ID3v2 tag; a file that does not
// have the placeholder there, or is too short for the frame, is not touched.
TEST(TagFrameFile, ReplacesOnlyAPlaceholderOfTheSameKind) {
  const std::vector<uint8_t> id3 = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 20};
  std::vector<uint8_t> frame = {0xFF, 0xFB, 0x90, 0x64, 'I', 'n', 'f', 'o'};
  frame.resize(400, 7);
  std::vector<uint8_t> placeholder = {0xFF, 0xFB, 0x90, 0x44};
  placeholder.resize(400, 0);
  const auto file = [&](std::vector<uint8_t> head, const std::vector<uint8_t>& body) {
    head.resize(head.empty() ? 0 : 30, 0);
    head.insert(head.end(), body.begin(), body.end());
    head.insert(head.end(), {0xFF, 0xFB, 0x90, 0x44});  // the next audio frame
    return head;
  };
  const pipeline_test::TTempFile dir(0);
  const auto path = dir.Folder / "cut.mp3";
  const auto put = [&](const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  };
  for (const auto& head : {std::vector<uint8_t>{}, id3}) {
    put(file(head, placeholder));
    EXPECT_TRUE(WriteTagFrameToFile(path, frame));
    EXPECT_EQ(ReadBytes(path), file(head, frame));
  }
  const std::vector<std::vector<uint8_t>> refused = {
      file(id3, std::vector<uint8_t>(400, 'x')),                              // no frame there
      file(id3, {0xFF, 0xFB, 0xA0, 0x44}),                                    // another bit rate
      std::vector<uint8_t>(placeholder.begin(), placeholder.begin() + 300)};  // too short
  for (const auto& bytes : refused) {
    put(bytes);
    EXPECT_FALSE(WriteTagFrameToFile(path, frame));
    EXPECT_EQ(ReadBytes(path), bytes);
  }
  EXPECT_FALSE(WriteTagFrameToFile(dir.Folder / "missing.mp3", frame));
}

}  // namespace
