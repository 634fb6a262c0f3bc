// Appending with the WAV writer: what it joins must decode as one stream, and a file it
// refuses to join must come out untouched.

#include <gtest/gtest.h>

#include <cstdlib>

#include "wave_out_test_support.h"

namespace {

using namespace wave_out_test;

class WaveOutAppend : public ::testing::Test {
 protected:
  // Writes `data` into `path` with a writer set up by the arguments; returns its message.
  std::string Write(const std::filesystem::path& path, int channels, int bits,
                    const std::vector<uint8_t>& data, TFileOutputMode mode, TWavType type = wtPCM,
                    uint16_t blockSize = 512) {
    TPcmSource source(channels, bits, 44100, data);
    TWaveOut sink;
    sink.SetWavType(type);
    sink.SetBlockSize(blockSize);
    sink.SetFileMode(mode);
    sink.SetInput(&source);
    sink.SetFileName(path);
    std::string message = RunToDone(sink);
    LastBlockSize = sink.BlockSize();
    LastType = sink.WavType();
    return message;
  }

  TScratchFolder Folder;
  uint16_t LastBlockSize = 0;
  TWavType LastType = wtUnsupported;
};

TEST_F(WaveOutAppend, PcmAppendedToPcmDecodesAsOneStream) {
  const auto first = RandomBytes(40000, 11), second = RandomBytes(24000, 12);
  const auto path = Folder / "joined.wav";
  ASSERT_EQ(Write(path, 2, 16, first, foRewrite), "");
  ASSERT_EQ(Write(path, 2, 16, second, foAppend), "");

  auto expected = first;
  expected.insert(expected.end(), second.begin(), second.end());
  const auto file = ReadBytes(path);
  ASSERT_EQ(file.size(), 44 + expected.size());
  EXPECT_EQ(U32At(file, 40), expected.size());
  EXPECT_EQ(U32At(file, 4), file.size() - 8);
  EXPECT_EQ(DecodeWithFfmpeg(path, 16), expected);
  EXPECT_EQ(DecodeWithSox(path, 16), expected);
}

// FFmpeg puts a LIST chunk before `data`; the walk passes over it and patches the right field.
TEST_F(WaveOutAppend, AppendsToAFileFromAnotherWriter) {
  const auto first = RandomBytes(8000, 13), second = RandomBytes(4000, 14);
  const auto raw = Folder / "first.raw", path = Folder / "ffmpeg.wav";
  WriteBytes(raw, first);
  ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -f s16le -ar 44100 -ac 1 -i '" + raw.string() +
                         "' '" + path.string() + "'")
                            .c_str()),
            0);
  ASSERT_EQ(Write(path, 1, 16, second, foAppend), "");

  auto expected = first;
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(DecodeWithFfmpeg(path, 16), expected);
  EXPECT_EQ(DecodeWithSox(path, 16), expected);
}

TEST_F(WaveOutAppend, AnEmptyExistingFileGetsAFreshHeader) {
  const auto data = RandomBytes(2000, 15);
  const auto path = Folder / "empty.wav";
  WriteBytes(path, {});
  ASSERT_EQ(Write(path, 2, 16, data, foAppend), "");
  const auto file = ReadBytes(path);
  ASSERT_EQ(file.size(), 44 + data.size());
  EXPECT_EQ(U32At(file, 40), data.size());
  EXPECT_EQ(DecodeWithFfmpeg(path, 16), data);
}

TEST_F(WaveOutAppend, ImaAdpcmAppendedToImaAdpcmTakesTheFilesBlockSize) {
  const auto first = Sine16(1500, 2, 44100), second = Sine16(700, 2, 44100, 660.0);
  const auto path = Folder / "ima.wav";
  ASSERT_EQ(Write(path, 2, 16, first, foRewrite, wtDVIADPCM, 256), "");
  const size_t firstLength = ReadBytes(path).size();
  // Asked for PCM with 512-byte blocks: the file's kind and block size win.
  ASSERT_EQ(Write(path, 2, 16, second, foAppend, wtPCM, 512), "");
  EXPECT_EQ(LastBlockSize, 256);
  EXPECT_EQ(LastType, wtDVIADPCM);

  const auto file = ReadBytes(path);
  const uint32_t s = 256 - 7;  // frames per stereo block
  const size_t blocks = (file.size() - 60) / 256;
  EXPECT_EQ((file.size() - 60) % 256, 0u);
  EXPECT_EQ(file.size() - firstLength, (700 / s + 1) * 256u);
  EXPECT_EQ(U32At(file, 56), file.size() - 60);
  EXPECT_EQ(U32At(file, 48), blocks * s);
  EXPECT_EQ(U32At(file, 4), file.size() - 8);
  EXPECT_EQ(AsSamples16(DecodeWithFfmpeg(path, 16)).size(), blocks * s * 2);
  EXPECT_GE(AsSamples16(DecodeWithSox(path, 16)).size(), (1500u + 700u) * 2);
}

std::vector<uint8_t> ListChunkAfterData(std::vector<uint8_t> wav) {
  const uint8_t list[] = {'L', 'I', 'S', 'T', 4, 0, 0, 0, 'I', 'N', 'F', 'O'};
  wav.insert(wav.end(), std::begin(list), std::end(list));
  return wav;
}

// Files the writer must not append to; each must come out byte for byte as it went in.
TEST_F(WaveOutAppend, RefusesFilesItCannotExtendAndLeavesThemAlone) {
  const auto mono = Folder / "mono.wav";
  ASSERT_EQ(Write(mono, 1, 16, RandomBytes(1000, 16), foRewrite), "");
  const auto monoBytes = ReadBytes(mono);
  std::vector<uint8_t> floatWave = monoBytes;
  floatWave[20] = 3;  // IEEE float
  std::vector<uint8_t> cutShort(monoBytes.begin(), monoBytes.begin() + 30);
  std::vector<uint8_t> oddLength = monoBytes;
  oddLength.push_back(0);  // half a frame past the data

  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    int Channels;
    const char* Message;
  } cases[] = {
      {"stereo onto mono", monoBytes, 2, "Cannot append data in different audio format."},
      {"float file", floatWave, 1, "Cannot append data to this .wav file."},
      {"chunk after data", ListChunkAfterData(monoBytes), 1,
       "Cannot append data to this .wav file."},
      {"header cut short", cutShort, 1, "Cannot append data to this .wav file."},
      {"not a wave file", RandomBytes(5000, 17), 1, "Cannot append data to this .wav file."},
      {"half a frame of data", oddLength, 1, "Cannot append data to this .wav file."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto path = Folder / "target.wav";
    WriteBytes(path, c.Bytes);
    EXPECT_EQ(Write(path, c.Channels, 16, RandomBytes(400, 18), foAppend), c.Message);
    EXPECT_EQ(ReadBytes(path), c.Bytes);
  }
}

}  // namespace
