// The encoder interface over libmp3lame: chunk and buffer sizes and refused records; and the
// tag frame written over the encoder's placeholder.
#include <gtest/gtest.h>

#include <fstream>

#include "formats/mp3out/lame_enc.h"
#include "formats/mp3out/lame_library.h"
#include "formats/mp3out/tag_frame_file.h"
#include "mp3_test_support.h"
#include "pipeline_test_support.h"

namespace {

using namespace mp3_test;

BE_CONFIG Config(uint32_t rate, int32_t mode) {
  BE_CONFIG config = MakeBeConfig(TMP3Settings{}, rate, mode == BE_MP3_MODE_MONO ? 1 : 2);
  config.nMode = mode;
  return config;
}

class LameEnc : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(TLameLibrary::Instance().Load()); }
};

TEST(LameLibrary, AMissingLibraryIsNotLoaded) {
  TLameLibrary missing("libtrimora-no-such-encoder.so.0");
  EXPECT_FALSE(missing.Load());
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
    EXPECT_EQ(ReadFile(path), file(head, frame));
  }
  const std::vector<std::vector<uint8_t>> refused = {
      file(id3, std::vector<uint8_t>(400, 'x')),                              // no frame there
      file(id3, {0xFF, 0xFB, 0xA0, 0x44}),                                    // another bit rate
      std::vector<uint8_t>(placeholder.begin(), placeholder.begin() + 300)};  // too short
  for (const auto& bytes : refused) {
    put(bytes);
    EXPECT_FALSE(WriteTagFrameToFile(path, frame));
    EXPECT_EQ(ReadFile(path), bytes);
  }
  EXPECT_FALSE(WriteTagFrameToFile(dir.Folder / "missing.mp3", frame));
}

}  // namespace
