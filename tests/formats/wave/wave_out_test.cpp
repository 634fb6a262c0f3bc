// The WAV writer: headers byte for byte, and every file it writes read back by FFmpeg and
// sox, which must decode the samples we meant to write.

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "pipeline/au_exception.h"
#include "pipeline/au_stream.h"
#include "tests/pipeline/pipeline_test_support.h"
#include "wave_out_test_support.h"

namespace {

using namespace wave_out_test;

// Exposes the stop flag, so that a source can hold a run until Stop has been called.
class TTestWaveOut : public TWaveOut {
 public:
  bool IsStopped() const { return Stopped; }
};

class WaveOut : public ::testing::Test {
 protected:
  TScratchFolder Folder;
};

TEST_F(WaveOut, PcmHeaderOf16BitStereoAndDataReadBackExactly) {
  const auto data = RandomBytes(4000, 1);
  TPcmSource source(2, 16, 44100, data);
  TWaveOut sink;
  sink.SetInput(&source);
  sink.SetFileName(Folder / "out.wav");
  ASSERT_EQ(RunToDone(sink), "");

  const auto file = ReadBytes(Folder / "out.wav");
  ASSERT_EQ(file.size(), 44u + 4000u);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
  EXPECT_EQ(U32At(file, 4), 4036u);
  EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(U32At(file, 16), 16u);
  EXPECT_EQ(U16At(file, 20), 1u);
  EXPECT_EQ(U16At(file, 22), 2u);
  EXPECT_EQ(U32At(file, 24), 44100u);
  EXPECT_EQ(U32At(file, 28), 176400u);
  EXPECT_EQ(U16At(file, 32), 4u);
  EXPECT_EQ(U16At(file, 34), 16u);
  EXPECT_EQ(std::string(file.begin() + 36, file.begin() + 40), "data");
  EXPECT_EQ(U32At(file, 40), 4000u);
  EXPECT_EQ(DecodeWithFfmpeg(Folder / "out.wav", 16), data);
  EXPECT_EQ(DecodeWithSox(Folder / "out.wav", 16), data);
  EXPECT_EQ(source.Starts, 1);
  EXPECT_EQ(source.Ends, 1);
}

struct TFormatCase {
  int Channels, Bits, Rate;
  bool NonMsHeaders;
  uint32_t HeaderLength;
  uint16_t FormatTag;
  uint32_t ChannelMask;  // extensible header only
};

TEST_F(WaveOut, EveryWidthAndChannelCountDecodesToTheSamplesWritten) {
  const TFormatCase cases[] = {
      {1, 8, 8000, false, 44, 1, 0},           {1, 16, 22050, false, 44, 1, 0},
      {2, 24, 48000, false, 68, 0xFFFE, 3},    {2, 24, 48000, true, 44, 1, 0},
      {1, 24, 96000, false, 68, 0xFFFE, 1},    {3, 16, 32000, false, 68, 0xFFFE, 7},
      {6, 32, 44100, false, 68, 0xFFFE, 0x3F}, {8, 16, 48000, false, 68, 0xFFFE, 0xFF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Channels << " ch, " << c.Bits << " bits, "
                                    << (c.NonMsHeaders ? "plain" : "extensible allowed"));
    const auto data = RandomBytes(static_cast<size_t>(300 * c.Channels * c.Bits / 8), c.Rate);
    TPcmSource source(c.Channels, c.Bits, c.Rate, data);
    TWaveOut sink;
    sink.CreateNonMsHeaders = c.NonMsHeaders;
    sink.SetInput(&source);
    const auto path = Folder / ("f" + std::to_string(c.Channels) + "_" + std::to_string(c.Bits) +
                                (c.NonMsHeaders ? "p" : "x") + ".wav");
    sink.SetFileName(path);
    ASSERT_EQ(RunToDone(sink), "");

    const auto file = ReadBytes(path);
    ASSERT_EQ(file.size(), c.HeaderLength + data.size());
    EXPECT_EQ(U16At(file, 20), c.FormatTag);
    EXPECT_EQ(U32At(file, c.HeaderLength - 4), data.size());
    EXPECT_EQ(U32At(file, 4), file.size() - 8);
    EXPECT_EQ(U16At(file, 32), c.Channels * c.Bits / 8);
    if (c.HeaderLength == 68) {
      EXPECT_EQ(U16At(file, 38), c.Bits) << "valid bits";
      EXPECT_EQ(U32At(file, 40), c.ChannelMask);
      EXPECT_EQ(sink.WavType(), wtExtPCM);
    }
    EXPECT_EQ(ProbeStream(path, "sample_rate,channels"),
              std::to_string(c.Rate) + "," + std::to_string(c.Channels));
    EXPECT_EQ(DecodeWithFfmpeg(path, c.Bits), data);
    EXPECT_EQ(DecodeWithSox(path, c.Bits), data);
  }
}

TEST_F(WaveOut, ShortInputIsPaddedWithSilenceToThePromisedSize) {
  const auto data = RandomBytes(4000, 2);
  TPcmSource source(2, 16, 44100, data);
  source.AnnouncedSize = 6000;
  TWaveOut sink;
  sink.SetInput(&source);
  sink.SetFileName(Folder / "short.wav");
  ASSERT_EQ(RunToDone(sink), "");

  const auto file = ReadBytes(Folder / "short.wav");
  ASSERT_EQ(file.size(), 44u + 6000u);
  EXPECT_EQ(U32At(file, 40), 6000u);
  auto expected = data;
  expected.resize(6000, 0);
  EXPECT_EQ(DecodeWithFfmpeg(Folder / "short.wav", 16), expected);
}

TEST_F(WaveOut, UnknownSizeIsPatchedFromTheFileLength) {
  const auto data = RandomBytes(3000, 3);
  TPcmSource source(1, 16, 8000, data);
  source.AnnouncedSize = -1;
  TWaveOut sink;
  sink.SetInput(&source);
  sink.SetFileName(Folder / "unknown.wav");
  ASSERT_EQ(RunToDone(sink), "");

  const auto file = ReadBytes(Folder / "unknown.wav");
  ASSERT_EQ(file.size(), 44u + 3000u);
  EXPECT_EQ(U32At(file, 40), 3000u);
  EXPECT_EQ(U32At(file, 4), 3036u);
  EXPECT_EQ(DecodeWithFfmpeg(Folder / "unknown.wav", 16), data);
}

// Signal-to-noise ratio of `decoded` against the first frames of `original`, in dB.
double SnrDb(const std::vector<int16_t>& original, const std::vector<int16_t>& decoded) {
  double signal = 0, noise = 0;
  for (size_t i = 0; i < original.size() && i < decoded.size(); ++i) {
    signal += double(original[i]) * original[i];
    const double d = double(original[i]) - decoded[i];
    noise += d * d;
  }
  return 10 * std::log10(signal / std::max(noise, 1.0));
}

struct TAdpcmCase {
  int Channels;
  uint16_t BlockSize;
  int32_t SamplesPerBlock;
  double Blocks;  // input length in blocks
};

// A header's promised size is the frame count rounded to whole blocks, while the writer
// writes one block more than fit whole (the last one padded); the sizes must describe the
// blocks really written, and the fact chunk the frames really read.
TEST_F(WaveOut, ImaAdpcmBlocksDecodeCloseToTheInputWithExactSizes) {
  const TAdpcmCase cases[] = {
      {1, 512, 1017, 3.4},
      {2, 512, 505, 3.6},
      {1, 256, 505, 2.0},
      {2, 2048, 2041, 1.2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Channels << " ch, block " << c.BlockSize);
    const auto frames = static_cast<int64_t>(c.Blocks * c.SamplesPerBlock);
    const auto data = Sine16(frames, c.Channels, 22050);
    TPcmSource source(c.Channels, 16, 22050, data);
    TWaveOut sink;
    sink.SetWavType(wtDVIADPCM);
    sink.SetBlockSize(c.BlockSize);
    sink.SetInput(&source);
    const auto path =
        Folder / ("ima" + std::to_string(c.Channels) + "_" + std::to_string(c.BlockSize) + ".wav");
    sink.SetFileName(path);
    ASSERT_EQ(RunToDone(sink), "");

    const auto file = ReadBytes(path);
    const int64_t blocks = frames / c.SamplesPerBlock + 1;
    ASSERT_EQ(file.size(), 60u + blocks * c.BlockSize);
    EXPECT_EQ(U16At(file, 20), 0x11u);
    EXPECT_EQ(U16At(file, 32), c.BlockSize);
    EXPECT_EQ(U16At(file, 34), 4u);
    EXPECT_EQ(U16At(file, 38), c.SamplesPerBlock);
    EXPECT_EQ(U32At(file, 48), frames) << "fact";
    EXPECT_EQ(U32At(file, 56), file.size() - 60) << "data size";
    EXPECT_EQ(U32At(file, 4), file.size() - 8);

    const auto input = AsSamples16(data);
    const auto ffmpeg = AsSamples16(DecodeWithFfmpeg(path, 16));
    const auto sox = AsSamples16(DecodeWithSox(path, 16));
    EXPECT_GE(ffmpeg.size(), input.size());
    EXPECT_GE(sox.size(), input.size());
    EXPECT_GT(SnrDb(input, ffmpeg), 25.0);
    EXPECT_GT(SnrDb(input, sox), 25.0);
  }
}

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
  EXPECT_EQ(RunToDone(sink), "No space left on device");
  const auto& file = stream.Bytes();
  ASSERT_EQ(file.size(), 44u + 3 * 16384);
  EXPECT_EQ(U32At(file, 40), 3u * 16384);
  EXPECT_EQ(U32At(file, 4), file.size() - 8);
  EXPECT_EQ(source.Ends, 1);
}

struct TRefusalCase {
  const char* Name;
  int Channels, Bits;
  TWavType Type;
  int64_t Announced;
  const char* Message;
};

// Every refusal comes before the output is created: an older file of that name survives,
// and the input's read is ended.
TEST_F(WaveOut, RefusalsLeaveAnExistingFileAlone) {
  const TRefusalCase cases[] = {
      {"8 bit to ADPCM", 1, 8, wtDVIADPCM, TPcmSource::kDataSize,
       "Cannot encode 8 bit sound into ADPCM."},
      {"24 bit to ADPCM", 2, 24, wtDVIADPCM, TPcmSource::kDataSize,
       "Cannot encode 8 bit sound into ADPCM."},
      {"3 channels to ADPCM", 3, 16, wtDVIADPCM, TPcmSource::kDataSize,
       "Cannot encode this channel count or block size into ADPCM."},
      {"12 bits", 1, 12, wtPCM, TPcmSource::kDataSize,
       "Cannot write this audio format to a .wav file."},
      {"over 4 GiB", 2, 16, wtPCM, int64_t{5} << 30, "The wave file would grow beyond 4 GiB."},
  };
  const auto precious = RandomBytes(777, 6);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto path = Folder / "precious.wav";
    WriteBytes(path, precious);
    TPcmSource source(c.Channels, c.Bits, 44100, RandomBytes(600, 7));
    source.AnnouncedSize = c.Announced;
    TWaveOut sink;
    sink.SetWavType(c.Type);
    sink.SetInput(&source);
    sink.SetFileName(path);
    EXPECT_EQ(RunToDone(sink), c.Message);
    EXPECT_EQ(ReadBytes(path), precious);
    EXPECT_EQ(source.Starts, source.Ends);
  }
  TPcmSource source(1, 16, 8000, RandomBytes(600, 8));
  TWaveOut unnamed;
  unnamed.SetInput(&source);
  EXPECT_EQ(RunToDone(unnamed), "File name is not assigned.");
}

TEST_F(WaveOut, WritingOverTheFileBeingReadFailsAndKeepsIt) {
  pipeline_test::TTempFile input(5000, "input.wav");
  const auto before = ReadBytes(input.Path());
  pipeline_test::TRawFileIn source;
  source.SetFileName(input.Path());
  TWaveOut sink;
  sink.SetInput(&source);
  sink.SetFileName(input.Path());
  EXPECT_NE(RunToDone(sink), "");
  EXPECT_EQ(ReadBytes(input.Path()), before);
}

TEST(WaveOutSettings, SettersAcceptOnlyWhatTheWriterCanProduce) {
  TWaveOut sink;
  EXPECT_EQ(sink.WavType(), wtPCM);
  EXPECT_EQ(sink.BlockSize(), 512);
  sink.SetWavType(wtMSADPCM);
  EXPECT_EQ(sink.WavType(), wtPCM);
  sink.SetWavType(wtDVIADPCM);
  EXPECT_EQ(sink.WavType(), wtDVIADPCM);
  for (uint16_t rejected : {0, 2, 514}) sink.SetBlockSize(rejected);
  EXPECT_EQ(sink.BlockSize(), 512);
  sink.SetBlockSize(1024);
  EXPECT_EQ(sink.BlockSize(), 1024);
  sink.SetFileMode(foAppend);
  EXPECT_EQ(sink.FileMode(), foAppend);
}

}  // namespace
