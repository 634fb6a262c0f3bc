// SPDX-License-Identifier: GPL-3.0-or-later
// The WAV writer: headers byte for byte, and every file it writes read back by FFmpeg and
// sox, which must decode the samples we meant to write.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <thread>

#include "pipeline/au_exception.h"
#include "pipeline_test_support.h"
#include "wave_out_test_support.h"

namespace {

using namespace wave_out_test;

class WaveOut : public ::testing::Test {
 protected:
  TScratchFolder Folder;
};

TEST_F(WaveOut, PcmHeaderOf16BitStereoAndDataReadBackExactly) {
  const auto data = RandomBytes(4000, 1);
  TPcmSource source(2, 16, 44100, data);
  ASSERT_EQ(WriteWave(source, Folder / "out.wav"), "");
  const std::vector<uint8_t> header = {'R', 'I', 'F',  'F',  0xC4, 0x0F, 0,    0,    'W',  'A', 'V',
                                       'E', 'f', 'm',  't',  ' ',  16,   0,    0,    0,    1,   0,
                                       2,   0,   0x44, 0xAC, 0,    0,    0x10, 0xB1, 2,    0,   4,
                                       0,   16,  0,    'd',  'a',  't',  'a',  0xA0, 0x0F, 0,   0};
  auto expected = header;
  expected.insert(expected.end(), data.begin(), data.end());
  EXPECT_EQ(ReadBytes(Folder / "out.wav"), expected);
  EXPECT_EQ(DecodeWithFfmpeg(Folder / "out.wav", 16), data);
  EXPECT_EQ(DecodeWithSox(Folder / "out.wav", 16), data);
  EXPECT_EQ(source.Ends, 1);
}

TEST_F(WaveOut, EveryWidthAndChannelCountDecodesToTheSamplesWritten) {
  struct {
    int Channels, Bits, Rate;
    bool NonMsHeaders;
    uint32_t HeaderLength;
    uint16_t FormatTag;
    uint32_t ChannelMask;  // extensible header only
  } cases[] = {
      {1, 8, 8000, false, 44, 1, 0},           {1, 16, 22050, false, 44, 1, 0},
      {2, 24, 48000, false, 68, 0xFFFE, 3},    {2, 24, 48000, true, 44, 1, 0},
      {1, 24, 96000, false, 68, 0xFFFE, 1},    {3, 16, 32000, false, 68, 0xFFFE, 7},
      {6, 32, 44100, false, 68, 0xFFFE, 0x3F}, {8, 16, 48000, false, 68, 0xFFFE, 0xFF},
  };
  for (const auto& c : cases) {
    const std::string name = std::to_string(c.Channels) + "ch_" + std::to_string(c.Bits) +
                             (c.NonMsHeaders ? "_plain.wav" : ".wav");
    SCOPED_TRACE(name);
    const auto data = RandomBytes(static_cast<size_t>(300 * c.Channels * c.Bits / 8), c.Rate);
    TPcmSource source(c.Channels, c.Bits, c.Rate, data);
    ASSERT_EQ(WriteWave(source, Folder / name,
                        [&](TWaveOut& sink) { sink.CreateNonMsHeaders = c.NonMsHeaders; }),
              "");
    const auto file = ReadBytes(Folder / name);
    ASSERT_EQ(file.size(), c.HeaderLength + data.size());
    EXPECT_EQ(U16At(file, 20), c.FormatTag);
    EXPECT_EQ(U32At(file, c.HeaderLength - 4), data.size());
    EXPECT_EQ(U32At(file, 4), file.size() - 8);
    EXPECT_EQ(U16At(file, 32), c.Channels * c.Bits / 8);
    if (c.HeaderLength == 68) {
      EXPECT_EQ(U16At(file, 38), c.Bits) << "valid bits";
      EXPECT_EQ(U32At(file, 40), c.ChannelMask);
    }
    EXPECT_EQ(ProbeStream(Folder / name, "sample_rate,channels"),
              std::to_string(c.Rate) + "," + std::to_string(c.Channels));
    EXPECT_EQ(DecodeWithFfmpeg(Folder / name, c.Bits), data);
    EXPECT_EQ(DecodeWithSox(Folder / name, c.Bits), data);
  }
}

// A source that delivers less than it announced is padded with silence (128 for 8-bit
// samples, 0 otherwise) to the size the header promised; one of unknown size gets its sizes
// from the file's length. A data chunk of odd size is followed by a pad byte that the RIFF
// size counts and the data size does not.
TEST_F(WaveOut, SizesAreTrueWhenTheInputIsShortOrOfUnknownSize) {
  const struct {
    int Channels, Bits;
    size_t Delivered;
    int64_t Announced;
  } cases[] = {{2, 16, 4000, 6000},
               {2, 16, 4000, -1},
               {1, 8, 4001, 6001},
               {1, 8, 4001, -1},
               {1, 8, 4000, 4001}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Bits) + " bits, " + std::to_string(c.Announced));
    const auto data = RandomBytes(c.Delivered, 2);
    TPcmSource source(c.Channels, c.Bits, 44100, data);
    source.AnnouncedSize = c.Announced;
    ASSERT_EQ(WriteWave(source, Folder / "sized.wav"), "");
    const size_t dataSize = c.Announced < 0 ? data.size() : static_cast<size_t>(c.Announced);
    const auto file = ReadBytes(Folder / "sized.wav");
    ASSERT_EQ(file.size(), 44 + dataSize + dataSize % 2);
    EXPECT_EQ(U32At(file, 40), dataSize);
    EXPECT_EQ(U32At(file, 4), file.size() - 8);
    if (dataSize % 2 == 1) {
      EXPECT_EQ(file.back(), 0) << "the pad byte";
    }
    auto expected = data;
    expected.resize(dataSize, c.Bits == 8 ? 0x80 : 0);
    EXPECT_EQ(DecodeWithFfmpeg(Folder / "sized.wav", c.Bits), expected);
    EXPECT_EQ(DecodeWithSox(Folder / "sized.wav", c.Bits), expected);
  }
}

// Signal-to-noise ratio of `decoded` against `original` over the frames both have, in dB.
double SnrDb(const std::vector<int16_t>& original, const std::vector<int16_t>& decoded) {
  double signal = 0, noise = 0;
  for (size_t i = 0; i < original.size() && i < decoded.size(); ++i) {
    signal += double(original[i]) * original[i];
    noise += (double(original[i]) - decoded[i]) * (double(original[i]) - decoded[i]);
  }
  return 10 * std::log10(signal / std::max(noise, 1.0));
}

// The header promises the frame count rounded to whole blocks, while the writer writes the
// blocks the frames fill and a short last block (its header and the 8-frame groups that hold
// the rest); input that fills its last block exactly gets no further one. The sizes must
// describe the blocks really written, the fact chunk the frames really read, and FFmpeg and
// sox, which go by the bytes, decode at most the 7 frames of the last group more.
TEST_F(WaveOut, ImaAdpcmBlocksDecodeCloseToTheInputWithExactSizes) {
  struct {
    int Channels;
    uint16_t BlockSize;
    int32_t SamplesPerBlock;
    double Blocks;  // input length in blocks
  } cases[] = {{1, 512, 1017, 3.4},   {2, 512, 505, 3.6},   {1, 256, 505, 2.0},
               {2, 2048, 2041, 1.2},  {1, 256, 505, 100.0}, {2, 1024, 1017, 10.0},
               {2, 256, 249, 1.0 / 249}};
  for (const auto& c : cases) {
    const std::string name = "ima" + std::to_string(c.Channels) + "_" + std::to_string(c.BlockSize);
    SCOPED_TRACE(name);
    const int64_t frames = std::llround(c.Blocks * c.SamplesPerBlock);
    const auto data = Sine16(frames, c.Channels, 22050);
    TPcmSource source(c.Channels, 16, 22050, data);
    ASSERT_EQ(WriteWave(source, Folder / name,
                        [&](TWaveOut& sink) {
                          sink.SetWavType(wtDVIADPCM);
                          sink.SetBlockSize(c.BlockSize);
                        }),
              "");
    const auto file = ReadBytes(Folder / name);
    const int64_t rest = frames % c.SamplesPerBlock;
    const int64_t tail = rest == 0 ? 0 : 4 * c.Channels * (1 + (rest + 6) / 8);
    ASSERT_EQ(file.size(), 60u + frames / c.SamplesPerBlock * c.BlockSize + tail);
    EXPECT_EQ(U16At(file, 20), 0x11u);
    EXPECT_EQ(U16At(file, 32), c.BlockSize);
    EXPECT_EQ(U16At(file, 38), c.SamplesPerBlock);
    EXPECT_EQ(U32At(file, 48), frames) << "fact";
    EXPECT_EQ(U32At(file, 56), file.size() - 60) << "data size";
    EXPECT_EQ(U32At(file, 4), file.size() - 8);
    const auto input = AsSamples16(data);
    const size_t slack = rest == 0 ? 0 : 7 * 2 * c.Channels;
    for (const auto& decoded :
         {DecodeWithFfmpeg(Folder / name, 16), DecodeWithSox(Folder / name, 16)}) {
      EXPECT_GE(decoded.size(), data.size());
      EXPECT_LE(decoded.size(), data.size() + slack);
      if (frames > 1) {
        EXPECT_GT(SnrDb(input, AsSamples16(decoded)), 25.0);
      }
    }
  }
}

// Exposes the stop flag, so that a source can hold a run until Stop has been called.
class TTestWaveOut : public TWaveOut {
 public:
  bool IsStopped() const { return Stopped; }
};

TEST_F(WaveOut, AStoppedRunLeavesSizesThatMatchTheFile) {
  const auto data = RandomBytes(4 << 20, 4);
  TPcmSource source(2, 16, 44100, data);
  TTestWaveOut sink;
  std::atomic<bool> held{false};
  source.GateAfter = 3;
  source.Gate = [&] {
    held = true;
    while (!sink.IsStopped()) std::this_thread::yield();
  };
  sink.SetInput(&source);
  sink.SetFileName(Folder / "stopped.wav");
  sink.Run();
  ASSERT_TRUE(pipeline_test::PumpUntil([&] { return held.load(); }));
  sink.Stop();

  const auto file = ReadBytes(Folder / "stopped.wav");
  ASSERT_GT(file.size(), 44u);
  ASSERT_LT(file.size(), 44u + data.size());
  EXPECT_EQ(U32At(file, 40), file.size() - 44);
  EXPECT_EQ(U32At(file, 4), file.size() - 8);
  const std::vector<uint8_t> written(data.begin(), data.begin() + (file.size() - 44));
  EXPECT_EQ(DecodeWithFfmpeg(Folder / "stopped.wav", 16), written);
}

// A stream that fails once `Limit` bytes would be exceeded, like a full disk.
class TFullDiskStream : public TAuMemoryStream {
 public:
  int64_t Limit = 0;
  int64_t Write(const void* buffer, int64_t count) override {
    if (Position() + count > Limit) throw EAuException("No space left on device");
    return TAuMemoryStream::Write(buffer, count);
  }
};

TEST_F(WaveOut, AFailedWriteIsReportedAndTheHeaderDescribesWhatWasWritten) {
  TPcmSource source(2, 16, 44100, RandomBytes(100000, 5));
  TFullDiskStream stream;
  stream.Limit = 44 + 3 * 16384 + 100;
  TWaveOut sink;
  sink.SetStream(&stream);
  sink.SetInput(&source);
  EXPECT_EQ(pipeline_test::RunToEnd(sink), "No space left on device");
  const auto& file = stream.Bytes();
  ASSERT_EQ(file.size(), 44u + 3 * 16384);
  EXPECT_EQ(U32At(file, 40), 3u * 16384);
  EXPECT_EQ(U32At(file, 4), file.size() - 8);
  EXPECT_EQ(source.Ends, 1);
}

// Every refusal comes before the output is created: an older file of that name survives,
// and the input's read is ended.
TEST_F(WaveOut, RefusalsLeaveAnExistingFileAlone) {
  struct {
    int Channels, Bits;
    TWavType Type;
    int64_t Announced;
    const char* Message;
  } cases[] = {
      {1, 8, wtDVIADPCM, TPcmSource::kDataSize, "Cannot encode 8 bit sound into ADPCM."},
      {2, 24, wtDVIADPCM, TPcmSource::kDataSize, "Cannot encode 8 bit sound into ADPCM."},
      {3, 16, wtDVIADPCM, TPcmSource::kDataSize,
       "Cannot encode this channel count or block size into ADPCM."},
      {1, 12, wtPCM, TPcmSource::kDataSize, "Cannot write this audio format to a .wav file."},
      {2, 16, wtPCM, int64_t{5} << 30, "The wave file would grow beyond 4 GiB."},
  };
  const auto precious = RandomBytes(777, 6);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Message);
    WriteBytes(Folder / "precious.wav", precious);
    TPcmSource source(c.Channels, c.Bits, 44100, RandomBytes(600, 7));
    source.AnnouncedSize = c.Announced;
    EXPECT_EQ(WriteWave(source, Folder / "precious.wav",
                        [&](TWaveOut& sink) { sink.SetWavType(c.Type); }),
              c.Message);
    EXPECT_EQ(ReadBytes(Folder / "precious.wav"), precious);
    EXPECT_EQ(source.Starts, source.Ends);
  }
  TPcmSource source(1, 16, 8000, RandomBytes(600, 8));
  EXPECT_EQ(WriteWave(source, ""), "File name is not assigned.");
}

// Floats past full scale, as a float file may hold them, in `bits` bits.
std::vector<uint8_t> LoudFloats(int64_t samples, int bits) {
  std::vector<uint8_t> bytes;
  for (int64_t i = 0; i < samples; ++i) {
    const double v = 1.5 * std::sin(0.05 * static_cast<double>(i));
    const auto f = static_cast<float>(v);
    const auto* p =
        bits == 64 ? reinterpret_cast<const uint8_t*>(&v) : reinterpret_cast<const uint8_t*>(&f);
    bytes.insert(bytes.end(), p, p + bits / 8);
  }
  return bytes;
}

// A float input is written as it comes: format tag 3 with its `fact` count, or the extensible
// header with the float subformat where asked or for more than two channels (unless the
// plain header is asked for).
TEST_F(WaveOut, FloatInputIsWrittenAsFloatBitForBit) {
  struct {
    int Channels, Bits;
    TWavType Type;
    std::optional<uint32_t> Mask;
    uint32_t HeaderLength;
    uint16_t FormatTag;
    uint32_t WrittenMask;
  } cases[] = {
      {2, 32, wtPCM, {}, 58, 3, 0},
      {1, 64, wtIEEEFloat, {}, 58, 3, 0},
      {2, 32, wtExtIEEEFloat, {}, 68, 0xFFFE, 0x3},
      {6, 64, wtPCM, {}, 68, 0xFFFE, 0x3F},
      {4, 32, wtExtIEEEFloat, 0x33, 68, 0xFFFE, 0x33},
  };
  for (const auto& c : cases) {
    const std::string name = std::to_string(c.Channels) + "ch_f" + std::to_string(c.Bits) + "_" +
                             std::to_string(c.HeaderLength) + ".wav";
    SCOPED_TRACE(name);
    const auto data = LoudFloats(301 * c.Channels, c.Bits);
    TPcmSource source(c.Channels, c.Bits, 48000, data);
    source.Float = true;
    ASSERT_EQ(WriteWave(source, Folder / name,
                        [&](TWaveOut& sink) {
                          sink.CreateNonMsHeaders = false;
                          sink.SetWavType(c.Type);
                          sink.SetSpeakerMask(c.Mask);
                        }),
              "");
    const auto file = ReadBytes(Folder / name);
    ASSERT_EQ(file.size(), c.HeaderLength + data.size());
    EXPECT_EQ(U16At(file, 20), c.FormatTag);
    EXPECT_EQ(U16At(file, 34), c.Bits);
    EXPECT_EQ(U32At(file, 4), file.size() - 8);
    EXPECT_EQ(U32At(file, c.HeaderLength - 4), data.size());
    if (c.HeaderLength == 58) {
      EXPECT_EQ(U32At(file, 46), 301u) << "fact frames";
    }
    if (c.HeaderLength == 68) {
      EXPECT_EQ(U32At(file, 40), c.WrittenMask);
      EXPECT_EQ(file[44], 3) << "float subformat";
    }
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + c.HeaderLength, file.end()), data);
    EXPECT_EQ(DecodeFloatWithFfmpeg(Folder / name, c.Bits), data);
  }
}

// The tags follow the data as an INFO list, after the data's pad byte and after the silence
// that makes up for a source that fell short, and the RIFF size counts them.
TEST_F(WaveOut, TagsFollowTheDataAsAnInfoListThatOthersRead) {
  struct {
    const char* Name;
    size_t DataBytes;
    int64_t Announced;
  } cases[] = {{"even.wav", 40, TPcmSource::kDataSize},
               {"odd.wav", 41, TPcmSource::kDataSize},
               {"short.wav", 40, 400}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TPcmSource source(1, 8, 8000, RandomBytes(c.DataBytes, 5));
    source.AnnouncedSize = c.Announced;
    ASSERT_EQ(WriteWave(source, Folder / c.Name,
                        [](TWaveOut& sink) {
                          sink.Id3v2Tags().SetTitle(u"Caf\u00E9 song");
                          sink.Id3v2Tags().SetArtist(u"Band");
                          sink.Id3v2Tags().SetYear("2021");
                          sink.Id3v2Tags().SetTrack("3/9");
                        }),
              "");
    const auto file = ReadBytes(Folder / c.Name);
    EXPECT_EQ(U32At(file, 4), file.size() - 8);
    const size_t dataSize = U32At(file, 40);
    const size_t list = 44 + dataSize + dataSize % 2;
    ASSERT_LT(list + 12, file.size());
    EXPECT_EQ(std::string(file.begin() + list, file.begin() + list + 4), "LIST");
    EXPECT_EQ(U32At(file, list + 4), file.size() - list - 8);
    EXPECT_EQ(test_support::Probe(Folder / c.Name, "format_tags=title"), "Caf\xC3\xA9 song");
    EXPECT_EQ(test_support::Probe(Folder / c.Name, "format_tags=artist"), "Band");
    EXPECT_EQ(test_support::Probe(Folder / c.Name, "format_tags=date"), "2021");
    EXPECT_EQ(test_support::Probe(Folder / c.Name, "format_tags=track"), "3/9");
    EXPECT_EQ(DecodeWithFfmpeg(Folder / c.Name, 8).size(), c.Announced > 0 ? 400 : c.DataBytes);
  }
}

// The input is opened first, with writers denied, so the output cannot truncate it.
TEST_F(WaveOut, WritingOverTheFileBeingReadFailsAndKeepsIt) {
  TWaveOut sink;
  EXPECT_TRUE(pipeline_test::RefusesToWriteOverItsInput(sink));
}

}  // namespace
