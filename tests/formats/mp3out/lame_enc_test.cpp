// The encoder interface over libmp3lame: chunk and buffer sizes, refused records, the
// average-bit-rate unit, and the tag frame that lets decoders trim delay and padding.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "formats/mp3out/lame_enc.h"
#include "formats/mp3out/lame_library.h"
#include "formats/mp3out/tag_frame_file.h"
#include "mp3_test_support.h"
#include "pipeline_test_support.h"

namespace {

using namespace mp3_test;

BE_CONFIG Config(uint32_t rate, int32_t mode, uint32_t kbps) {
  TMP3Settings settings;
  BE_CONFIG config = MakeBeConfig(settings, rate, mode == BE_MP3_MODE_MONO ? 1 : 2);
  config.nMode = mode;
  config.dwBitrate = kbps;
  return config;
}

struct TEncoded {
  std::vector<uint8_t> Bytes;
  std::vector<uint8_t> TagFrame;
};

// Encodes `pcm` chunk by chunk as the sink does and closes the stream.
TEncoded Encode(const BE_CONFIG& config, const std::vector<int16_t>& pcm) {
  TEncoded out;
  uint32_t samples = 0, size = 0;
  HBE_STREAM raw = nullptr;
  EXPECT_EQ(beInitStream(&config, &samples, &size, &raw), BE_ERR_SUCCESSFUL);
  const TBeStreamHandle stream(raw);
  std::vector<uint8_t> buffer(size);
  for (size_t at = 0; at < pcm.size(); at += samples) {
    const auto n = static_cast<uint32_t>(std::min<size_t>(samples, pcm.size() - at));
    uint32_t produced = 0;
    EXPECT_EQ(beEncodeChunk(stream.get(), n, pcm.data() + at, buffer.data(), &produced),
              BE_ERR_SUCCESSFUL);
    out.Bytes.insert(out.Bytes.end(), buffer.begin(), buffer.begin() + produced);
  }
  uint32_t produced = 0;
  EXPECT_EQ(beDeinitStream(stream.get(), buffer.data(), &produced), BE_ERR_SUCCESSFUL);
  out.Bytes.insert(out.Bytes.end(), buffer.begin(), buffer.begin() + produced);
  out.TagFrame = beLameTagFrame(stream.get());
  return out;
}

class LameEnc : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(TLameLibrary::Instance().Load()); }
};

TEST(LameLibrary, AMissingLibraryIsNotLoaded) {
  TLameLibrary missing("libtrimora-no-such-encoder.so.0");
  EXPECT_FALSE(missing.Load());
  EXPECT_FALSE(missing.Loaded());
}

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
    const BE_CONFIG config = Config(row.rate, row.mode, 0);
    uint32_t samples = 0, size = 0;
    HBE_STREAM raw = nullptr;
    ASSERT_EQ(beInitStream(&config, &samples, &size, &raw), BE_ERR_SUCCESSFUL);
    const TBeStreamHandle stream(raw);
    EXPECT_EQ(samples, row.samples);
    EXPECT_EQ(size, row.buffer);
  }
}

TEST_F(LameEnc, RefusesRecordsItCannotUse) {
  BE_CONFIG wrongKind = Config(44100, BE_MP3_MODE_STEREO, 128);
  wrongKind.dwConfig = 0;
  BE_CONFIG badMode = Config(44100, 7, 128);
  BE_CONFIG noRate = Config(0, BE_MP3_MODE_STEREO, 128);
  uint32_t samples = 0, size = 0;
  HBE_STREAM stream = nullptr;
  EXPECT_EQ(beInitStream(&wrongKind, &samples, &size, &stream), BE_ERR_INVALID_FORMAT);
  EXPECT_EQ(beInitStream(&badMode, &samples, &size, &stream), BE_ERR_INVALID_FORMAT_PARAMETERS);
  EXPECT_EQ(beInitStream(&noRate, &samples, &size, &stream), BE_ERR_INVALID_FORMAT_PARAMETERS);
  EXPECT_EQ(stream, nullptr);
  uint32_t produced = 0;
  EXPECT_EQ(beDeinitStream(nullptr, nullptr, &produced), BE_ERR_INVALID_HANDLE);
  EXPECT_EQ(beCloseStream(nullptr), BE_ERR_INVALID_HANDLE);
}

TEST_F(LameEnc, AverageBitRateIsReadInKilobitsBelowAThousand) {
  const auto pcm = MakePcm(44100, 2, 44100 * 3, TSignal::Noise);
  for (const uint32_t value : {160u, 160000u}) {
    SCOPED_TRACE(value);
    BE_CONFIG config = Config(44100, BE_MP3_MODE_JSTEREO, 32);
    config.bEnableVBR = BE_TRUE;
    config.nVbrMethod = VBR_METHOD_ABR;
    config.dwVbrAbr_bps = value;
    const double kbps = WalkFrames(Encode(config, pcm).Bytes).AverageKbps();
    EXPECT_GT(kbps, 130);
    EXPECT_LT(kbps, 190);
  }
}

TEST_F(LameEnc, TagFrameGoesOverThePlaceholderAfterAnId3v2Tag) {
  const int64_t frames = 44100 + 123;
  const TEncoded cbr = Encode(Config(44100, BE_MP3_MODE_STEREO, 128),
                              MakePcm(44100, 2, frames, TSignal::Sine));
  ASSERT_FALSE(cbr.TagFrame.empty());
  // An ID3v2.4 tag of 20 bytes of padding in front of the audio.
  std::vector<uint8_t> file = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 20};
  file.resize(30, 0);
  file.insert(file.end(), cbr.Bytes.begin(), cbr.Bytes.end());
  const pipeline_test::TTempFile dir(0);
  const auto path = dir.Folder / "cbr.mp3";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<long>(file.size()));

  EXPECT_EQ(WalkFrames(ReadFile(path)).TagFrame, "") << "only a placeholder before";
  ASSERT_TRUE(WriteTagFrameToFile(path, cbr.TagFrame));
  EXPECT_EQ(WalkFrames(ReadFile(path)).TagFrame, "Info");
  const TDecoded decoded = DecodeWithFFmpeg(path);
  EXPECT_EQ(decoded.Frames, frames) << "delay and padding trimmed";
}

TEST_F(LameEnc, TagFrameIsNotWrittenIntoAFileWithoutThePlaceholder) {
  const TEncoded cbr = Encode(Config(44100, BE_MP3_MODE_STEREO, 128),
                              MakePcm(44100, 2, 4410, TSignal::Sine));
  const pipeline_test::TTempFile dir(0);
  const auto path = dir.Folder / "other.mp3";
  const std::string text(2000, 'x');
  std::ofstream(path, std::ios::binary) << text;
  EXPECT_FALSE(WriteTagFrameToFile(path, cbr.TagFrame));
  EXPECT_FALSE(WriteTagFrameToFile(dir.Folder / "missing.mp3", cbr.TagFrame));
  const auto after = ReadFile(path);
  EXPECT_EQ(std::string(after.begin(), after.end()), text);
}

TEST_F(LameEnc, WriteVBRHeaderUsesTheStreamThisThreadClosedOnce) {
  const pipeline_test::TTempFile dir(0);
  const auto path = dir.Folder / "vbr.mp3";
  BE_CONFIG config = Config(44100, BE_MP3_MODE_JSTEREO, 0);
  config.bEnableVBR = BE_TRUE;
  uint32_t samples = 0, size = 0;
  HBE_STREAM raw = nullptr;
  ASSERT_EQ(beInitStream(&config, &samples, &size, &raw), BE_ERR_SUCCESSFUL);
  TBeStreamHandle stream(raw);
  const auto pcm = MakePcm(44100, 2, samples / 2 * 10, TSignal::Sine);
  std::vector<uint8_t> buffer(size), bytes;
  uint32_t produced = 0;
  for (size_t at = 0; at < pcm.size(); at += samples) {
    ASSERT_EQ(beEncodeChunk(stream.get(), samples, pcm.data() + at, buffer.data(), &produced), 0u);
    bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + produced);
  }
  ASSERT_EQ(beDeinitStream(stream.get(), buffer.data(), &produced), 0u);
  bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + produced);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  stream.reset();

  EXPECT_EQ(beWriteVBRHeader(path.c_str()), BE_ERR_SUCCESSFUL);
  EXPECT_EQ(WalkFrames(ReadFile(path)).TagFrame, "Xing");
  EXPECT_EQ(DecodeWithFFmpeg(path).Frames, static_cast<int64_t>(pcm.size() / 2));
  EXPECT_NE(beWriteVBRHeader(path.c_str()), BE_ERR_SUCCESSFUL) << "the frame was used";
}

}  // namespace
