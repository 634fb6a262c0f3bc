// SPDX-License-Identifier: GPL-3.0-or-later
// Appending with the WAV writer: what it joins must decode as one stream, and a file it
// refuses to join must come out untouched.

#include <gtest/gtest.h>

#include <cstdlib>

#include "wave_out_test_support.h"

namespace {

using namespace wave_out_test;

class WaveOutAppend : public ::testing::Test {
 protected:
  std::string Append(const std::filesystem::path& path, int channels,
                     const std::vector<uint8_t>& data, TWavType type = wtPCM) {
    TPcmSource source(channels, 16, 44100, data);
    return WriteWave(source, path, [&](TWaveOut& sink) {
      sink.SetWavType(type);
      sink.SetFileMode(foAppend);
    });
  }
  static std::vector<uint8_t> Joined(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }

  TScratchFolder Folder;
};

// An empty file gets a fresh header; FFmpeg's own file has a LIST chunk before `data`,
// which the walk passes over to patch the right size field.
TEST_F(WaveOutAppend, PcmAppendsDecodeAsOneStream) {
  const auto a = RandomBytes(40000, 11), b = RandomBytes(24000, 12);
  WriteBytes(Folder / "ours.wav", {});
  ASSERT_EQ(Append(Folder / "ours.wav", 2, a), "");
  ASSERT_EQ(Append(Folder / "ours.wav", 2, b), "");
  const auto file = ReadBytes(Folder / "ours.wav");
  ASSERT_EQ(file.size(), 44 + a.size() + b.size());
  EXPECT_EQ(U32At(file, 40), a.size() + b.size());
  EXPECT_EQ(U32At(file, 4), file.size() - 8);
  EXPECT_EQ(DecodeWithFfmpeg(Folder / "ours.wav", 16), Joined(a, b));
  EXPECT_EQ(DecodeWithSox(Folder / "ours.wav", 16), Joined(a, b));

  WriteBytes(Folder / "a.raw", a);
  ASSERT_EQ(
      std::system(("ffmpeg -nostdin -v error -f s16le -ar 44100 -ac 2 -i '" +
                   (Folder / "a.raw").string() + "' '" + (Folder / "ffmpeg.wav").string() + "'")
                      .c_str()),
      0);
  ASSERT_EQ(Append(Folder / "ffmpeg.wav", 2, b), "");
  EXPECT_EQ(DecodeWithFfmpeg(Folder / "ffmpeg.wav", 16), Joined(a, b));
  EXPECT_EQ(DecodeWithSox(Folder / "ffmpeg.wav", 16), Joined(a, b));
}

// A chunk of odd size before `data` is followed by its pad byte, which the walk passes over
// as the reader does.
TEST_F(WaveOutAppend, AppendsAfterAnOddSizedChunk) {
  const auto a = RandomBytes(4000, 31), b = RandomBytes(2400, 32);
  TPcmSource source(2, 16, 44100, a);
  ASSERT_EQ(WriteWave(source, Folder / "list.wav"), "");
  auto file = ReadBytes(Folder / "list.wav");
  const uint8_t list[] = {'L', 'I', 'S', 'T', 7, 0, 0, 0, 'I', 'N', 'F', 'O', 'a', 'b', 'c', 0};
  file.insert(file.begin() + 36, std::begin(list), std::end(list));
  file[4] = static_cast<uint8_t>(file.size() - 8);
  file[5] = static_cast<uint8_t>((file.size() - 8) >> 8);
  WriteBytes(Folder / "list.wav", file);
  ASSERT_EQ(Append(Folder / "list.wav", 2, b), "");
  EXPECT_EQ(DecodeWithFfmpeg(Folder / "list.wav", 16), Joined(a, b));
}

// An 8-bit file of odd size ends in a pad byte; an append drops it, and puts a new one after
// the joined data only when that is odd.
TEST_F(WaveOutAppend, ThePadByteAfterOddDataIsNotTakenIntoTheData) {
  const auto a = RandomBytes(1001, 21), b = RandomBytes(2001, 22), c = RandomBytes(7, 23);
  const auto append = [&](const std::vector<uint8_t>& data) {
    TPcmSource source(1, 8, 8000, data);
    return WriteWave(source, Folder / "odd.wav",
                     [](TWaveOut& sink) { sink.SetFileMode(foAppend); });
  };
  std::vector<uint8_t> joined;
  for (const auto* part : {&a, &b, &c}) {
    ASSERT_EQ(append(*part), "");
    joined = Joined(joined, *part);
    const auto file = ReadBytes(Folder / "odd.wav");
    ASSERT_EQ(file.size(), 44 + joined.size() + joined.size() % 2);
    EXPECT_EQ(U32At(file, 40), joined.size());
    EXPECT_EQ(U32At(file, 4), file.size() - 8);
    EXPECT_EQ(DecodeWithFfmpeg(Folder / "odd.wav", 8), joined);
  }
}

TEST_F(WaveOutAppend, ImaAdpcmAppendTakesTheFilesKindAndBlockSize) {
  const auto path = Folder / "ima.wav";
  TPcmSource first(2, 16, 44100, Sine16(1500, 2, 44100));
  ASSERT_EQ(WriteWave(first, path,
                      [](TWaveOut& sink) {
                        sink.SetWavType(wtDVIADPCM);
                        sink.SetBlockSize(256);
                      }),
            "");
  const size_t firstLength = ReadBytes(path).size();
  ASSERT_EQ(Append(path, 2, Sine16(700, 2, 44100, 660.0), wtPCM), "");

  const auto file = ReadBytes(path);
  const size_t s = 256 - 7;  // frames per stereo block
  // 1500 frames are 6 blocks and a short one of 6 frames (its header and one 8-frame group);
  // the append fills that block up and adds 2 blocks and a short one of 202 frames (26 groups).
  EXPECT_EQ(firstLength, 60u + 6 * 256 + 16);
  EXPECT_EQ(file.size(), 60u + 9 * 256 + 8 + 26 * 8);
  EXPECT_EQ(U32At(file, 56), file.size() - 60);
  EXPECT_EQ(U32At(file, 48), 7 * s + 700);
  EXPECT_EQ(U32At(file, 4), file.size() - 8);
  EXPECT_EQ(DecodeWithFfmpeg(path, 16).size(), (9 * s + 1 + 26 * 8) * 4);
  EXPECT_GE(DecodeWithSox(path, 16).size(), (7 * s + 700) * 4);
}

// Files the writer must not append to; each must come out byte for byte as it went in.
TEST_F(WaveOutAppend, RefusesFilesItCannotExtendAndLeavesThemAlone) {
  const auto mono = Folder / "mono.wav";
  TPcmSource source(1, 16, 44100, RandomBytes(1000, 16));
  ASSERT_EQ(WriteWave(source, mono), "");
  const auto wave = ReadBytes(mono);
  auto floatWave = wave, listAfterData = wave, halfFrame = wave;
  floatWave[20] = 3;  // IEEE float
  const uint8_t list[] = {'L', 'I', 'S', 'T', 4, 0, 0, 0, 'I', 'N', 'F', 'O'};
  listAfterData.insert(listAfterData.end(), std::begin(list), std::end(list));
  halfFrame.push_back(0);
  const char* const cannot = "Cannot append data to this .wav file.";
  struct {
    const char* Name;
    std::vector<uint8_t> Bytes;
    int Channels;
    const char* Message;
  } cases[] = {
      {"stereo onto mono", wave, 2, "Cannot append data in different audio format."},
      {"float file", floatWave, 1, cannot},
      {"chunk after data", listAfterData, 1, cannot},
      {"header cut short", {wave.begin(), wave.begin() + 30}, 1, cannot},
      {"not a wave file", RandomBytes(5000, 17), 1, cannot},
      {"half a frame of data", halfFrame, 1, cannot},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteBytes(Folder / "target.wav", c.Bytes);
    EXPECT_EQ(Append(Folder / "target.wav", c.Channels, RandomBytes(400, 18)), c.Message);
    EXPECT_EQ(ReadBytes(Folder / "target.wav"), c.Bytes);
  }
}

}  // namespace
