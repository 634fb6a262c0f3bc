// SPDX-License-Identifier: GPL-3.0-or-later
// Our ADPCM decoders against independent decoders, block by block, on files written by two
// independent encoders (tests/data/adpcm/make_fixtures.sh); and our IMA encoder's blocks
// decoded by FFmpeg.
//
// Microsoft ADPCM must match FFmpeg's decoder exactly.
//
// IMA is held to sox's decoder, which follows the standard algorithm (stored output beside
// the fixtures). The one intended difference: we clamp the predictor at -32767 where sox
// clamps at -32768. From a sample where sox gives -32768 and we give -32767 on, our predictor
// in that channel runs exactly one above sox's (step sizes do not depend on the predictor)
// until both clamp at +32767 or the block ends; every differing sample must fit that account.
// FFmpeg's IMA decoder is not a standard one: it forms each step's multiple as
// ((2 * (code & 7) + 1) * step) >> 3 instead of adding shifted steps, and clamps at -32768.
// Its output is checked against that description, which accounts for every sample in which
// it differs from ours.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>

#include "adpcm_fixture.h"
#include "ffmpeg_block_decoder.h"
#include "formats/wave/adpcm.h"

namespace {

constexpr uint16_t kIma = 0x11;
constexpr uint16_t kMs = 2;

// Microsoft ADPCM's seven standard coefficient pairs. FFmpeg's decoder always uses these and
// ignores the file's table, so a comparison is only fair on files that carry exactly them.
const std::vector<std::pair<int, int>> kStandardMsPairs = {
    {256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};

std::string DataPath(const std::string& name) {
  return std::string(TRIMORA_TEST_DATA) + "/adpcm/" + name;
}

AdpcmFixture LoadFixture(const std::string& name) {
  const auto fixture = ReadAdpcmFixture(DataPath(name));
  if (!fixture) {
    ADD_FAILURE() << "cannot read " << name;
    return {};
  }
  return *fixture;
}

std::vector<int16_t> LoadRaw(const std::string& name) {
  std::ifstream in(DataPath(name), std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
  std::vector<int16_t> samples(bytes.size() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                      (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
  }
  return samples;
}

struct Comparison {
  std::size_t Samples = 0;
  std::size_t ClampDepartures = 0;  // samples explained by our -32767 lower bound
  std::string Failure;              // empty when every sample agrees or is explained
};

// Compares one block's interleaved output with a reference decoder's for the same block.
void CompareBlock(std::span<const int16_t> ours, std::span<const int16_t> theirs, int channels,
                  bool allowLowerClamp, Comparison& result) {
  if (ours.size() < theirs.size()) {
    result.Failure = "we decoded " + std::to_string(ours.size()) + " samples, the reference " +
                     std::to_string(theirs.size());
    return;
  }
  std::vector<int> offset(channels, 0);  // ours minus theirs, per channel
  for (std::size_t i = 0; i < theirs.size(); ++i) {
    const int c = static_cast<int>(i % channels);
    const int d = ours[i] - theirs[i];
    const bool departs = d == 1 && (offset[c] == 1 || theirs[i] == -32768);
    const bool rejoins = d == 0 && offset[c] == 1 && ours[i] == 32767;
    if ((d != 0 || offset[c] != 0) && !(allowLowerClamp && (departs || rejoins))) {
      result.Failure = "sample " + std::to_string(i) + ": ours " + std::to_string(ours[i]) +
                       ", reference " + std::to_string(theirs[i]) + ", previous offset " +
                       std::to_string(offset[c]);
      return;
    }
    offset[c] = d;
    if (d != 0) ++result.ClampDepartures;
    ++result.Samples;
  }
}

// FFmpeg's IMA reconstruction as described at the top of this file.
std::vector<int16_t> DecodeImaBlockTheFfmpegWay(const AdpcmFixture& f,
                                                std::span<const uint8_t> block) {
  const int channels = f.Channels;
  std::vector<int> predictor(channels), index(channels);
  std::vector<int16_t> out;
  for (int c = 0; c < channels; ++c) {
    predictor[c] = static_cast<int16_t>(block[4 * c] | (block[4 * c + 1] << 8));
    index[c] = block[4 * c + 2];
    out.push_back(static_cast<int16_t>(predictor[c]));
  }
  const auto expand = [&](int c, int code) {
    const int step = kImaStepTable[index[c]];
    const int diff = ((2 * (code & 7) + 1) * step) >> 3;
    predictor[c] = std::clamp(predictor[c] + (code & 8 ? -diff : diff), -32768, 32767);
    index[c] = std::clamp(index[c] + kImaIndexTable[code], 0, 88);
    return static_cast<int16_t>(predictor[c]);
  };
  // 8 samples per channel from each group of 4 bytes per channel; whole groups only.
  const std::size_t groups = (block.size() - 4 * channels) / (4 * channels);
  for (std::size_t g = 0; g < groups; ++g) {
    std::vector<int16_t> frames(8 * channels);
    for (int c = 0; c < channels; ++c) {
      const uint8_t* bytes = &block[4 * channels + (g * channels + c) * 4];
      for (int k = 0; k < 8; ++k) {
        frames[k * channels + c] = expand(c, (bytes[k / 2] >> (4 * (k & 1))) & 0x0F);
      }
    }
    out.insert(out.end(), frames.begin(), frames.end());
  }
  return out;
}

struct FixtureCase {
  const char* File;
  uint16_t FormatTag;
  uint16_t Channels;
};

void PrintTo(const FixtureCase& c, std::ostream* os) {
  *os << c.File;
}

std::string BaseName(const char* file) {
  const std::string name = file;
  return name.substr(0, name.find('.'));
}

class FixtureTest : public testing::TestWithParam<FixtureCase> {
 protected:
  AdpcmFixture Load() {
    const auto& param = GetParam();
    AdpcmFixture f = LoadFixture(param.File);
    EXPECT_EQ(f.FormatTag, param.FormatTag);
    EXPECT_EQ(f.Channels, param.Channels);
    EXPECT_GE(f.BlockCount(), 3u);
    return f;
  }
};

using ImaFixture = FixtureTest;
using MsFixture = FixtureTest;

Comparison CompareWithSox(const AdpcmFixture& f, const std::vector<int16_t>& sox) {
  Comparison result;
  std::size_t position = 0;
  for (std::size_t b = 0; b < f.BlockCount() && result.Failure.empty(); ++b) {
    const auto ours = DecodeBlockWithOurs(f, f.Block(b));
    const std::size_t n = std::min(ours.size(), sox.size() - position);
    CompareBlock(ours, std::span(sox).subspan(position, n), f.Channels, true, result);
    if (!result.Failure.empty())
      result.Failure = "block " + std::to_string(b) + ", " + result.Failure;
    position += n;
  }
  if (result.Failure.empty() && position != sox.size()) result.Failure = "sox decoded more";
  return result;
}

TEST_P(ImaFixture, DecodesLikeSoxApartFromTheLowerClamp) {
  const AdpcmFixture f = Load();
  const auto sox = LoadRaw(BaseName(GetParam().File) + ".sox.s16le");
  ASSERT_GE(sox.size(), f.Data.size());  // about two samples per byte: the whole file
  const Comparison result = CompareWithSox(f, sox);
  EXPECT_EQ(result.Failure, "");
  EXPECT_EQ(result.Samples, sox.size());
  RecordProperty("ClampDepartures", static_cast<int>(result.ClampDepartures));
}

TEST_P(ImaFixture, FfmpegsDifferencesAreItsOwnReconstruction) {
  const AdpcmFixture f = Load();
  FfmpegBlockDecoder ffmpeg(f.FormatTag, f.Channels, static_cast<int>(f.SampleRate), f.BlockAlign);
  ASSERT_TRUE(ffmpeg.IsOpen());
  for (std::size_t b = 0; b < f.BlockCount(); ++b) {
    const auto theirs = ffmpeg.Decode(f.Block(b));
    ASSERT_TRUE(theirs) << "block " << b;
    EXPECT_EQ(*theirs, DecodeImaBlockTheFfmpegWay(f, f.Block(b))) << "block " << b;
    const auto ours = DecodeBlockWithOurs(f, f.Block(b));
    ASSERT_EQ(ours.size(), theirs->size());
    for (int c = 0; c < f.Channels; ++c) EXPECT_EQ(ours[c], (*theirs)[c]) << "header sample";
  }
}

INSTANTIATE_TEST_SUITE_P(SoxAndFfmpeg, ImaFixture,
                         testing::Values(FixtureCase{"sox_ima_mono.wav", kIma, 1},
                                         FixtureCase{"sox_ima_stereo.wav", kIma, 2},
                                         FixtureCase{"ffmpeg_ima_mono.wav", kIma, 1},
                                         FixtureCase{"ffmpeg_ima_stereo.wav", kIma, 2}),
                         [](const auto& info) { return BaseName(info.param.File); });

// The square wave drives sox's decoder down to -32768; the accounting above must have met
// that case, or it was never put to the test.
TEST(ImaFixtures, TheSquareWaveReachesTheLowerClamp) {
  std::size_t departures = 0;
  for (const char* name :
       {"sox_ima_mono", "sox_ima_stereo", "ffmpeg_ima_mono", "ffmpeg_ima_stereo"}) {
    departures += CompareWithSox(LoadFixture(std::string(name) + ".wav"),
                                 LoadRaw(std::string(name) + ".sox.s16le"))
                      .ClampDepartures;
  }
  EXPECT_GT(departures, 0u);
}

Comparison CompareWithFfmpeg(const AdpcmFixture& f) {
  FfmpegBlockDecoder ffmpeg(f.FormatTag, f.Channels, static_cast<int>(f.SampleRate), f.BlockAlign);
  Comparison result;
  for (std::size_t b = 0; b < f.BlockCount() && result.Failure.empty(); ++b) {
    const auto theirs = ffmpeg.Decode(f.Block(b));
    if (!theirs) {
      result.Failure = "FFmpeg rejected block " + std::to_string(b);
      break;
    }
    CompareBlock(DecodeBlockWithOurs(f, f.Block(b)), *theirs, f.Channels, false, result);
    if (!result.Failure.empty())
      result.Failure = "block " + std::to_string(b) + ", " + result.Failure;
  }
  return result;
}

TEST_P(MsFixture, DecodesExactlyLikeFfmpeg) {
  const AdpcmFixture f = Load();
  ASSERT_EQ(f.Coefficients.size(), kStandardMsPairs.size());
  for (std::size_t i = 0; i < f.Coefficients.size(); ++i) {
    EXPECT_EQ(f.Coefficients[i].Coef1, kStandardMsPairs[i].first);
    EXPECT_EQ(f.Coefficients[i].Coef2, kStandardMsPairs[i].second);
  }
  const Comparison result = CompareWithFfmpeg(f);
  EXPECT_EQ(result.Failure, "");
  EXPECT_EQ(result.Samples, f.BlockCount() * f.SamplesPerBlock * f.Channels);
}

// A block cut short (the end of a damaged file) decodes as if the missing bytes were zero;
// what FFmpeg decodes from the bytes present must agree.
TEST_P(MsFixture, ShortBlockAgreesWithFfmpegOnTheBytesPresent) {
  AdpcmFixture f = Load();
  f.Data.resize(f.BlockAlign + f.BlockAlign / 2 + 5);
  ASSERT_EQ(f.Block(1).size(), f.BlockAlign / 2 + 5u);
  const Comparison result = CompareWithFfmpeg(f);
  EXPECT_EQ(result.Failure, "");
  EXPECT_GT(result.Samples, f.SamplesPerBlock * f.Channels);
}

INSTANTIATE_TEST_SUITE_P(SoxAndFfmpeg, MsFixture,
                         testing::Values(FixtureCase{"sox_ms_mono.wav", kMs, 1},
                                         FixtureCase{"sox_ms_stereo.wav", kMs, 2},
                                         FixtureCase{"ffmpeg_ms_mono.wav", kMs, 1},
                                         FixtureCase{"ffmpeg_ms_stereo.wav", kMs, 2}),
                         [](const auto& info) { return BaseName(info.param.File); });

// Blocks as the WAV writer makes them: predictors set to the block's first frame, step
// indexes starting at 0 and carried from block to block.
std::vector<uint8_t> EncodeStream(const std::vector<int16_t>& samples, int channels,
                                  std::size_t blockSize) {
  const std::size_t framesPerBlock = channels == 1 ? 2 * (blockSize - 4) + 1 : blockSize - 7;
  const std::size_t frames = samples.size() / channels;
  TImaChannelState state[2];
  std::vector<uint8_t> out;
  for (std::size_t first = 0; first + framesPerBlock <= frames; first += framesPerBlock) {
    std::vector<uint8_t> block(blockSize);
    EncodeImaBlock(std::span(samples).subspan(first * channels, framesPerBlock * channels),
                   channels, state[0], state[1], block);
    out.insert(out.end(), block.begin(), block.end());
  }
  return out;
}

double ChannelSnrDb(const std::vector<int16_t>& reference, const std::vector<int16_t>& decoded,
                    int channel, int channels) {
  double signal = 0;
  double noise = 0;
  for (std::size_t i = channel; i < decoded.size(); i += channels) {
    const double r = reference[i];
    signal += r * r;
    noise += (r - decoded[i]) * (r - decoded[i]);
  }
  return 10 * std::log10(signal / std::max(noise, 1.0));
}

class ImaEncoderRoundTrip : public testing::TestWithParam<int> {};

// 4-bit IMA keeps a steady half-scale sine roughly 30 dB above its error; 25 dB leaves room for
// the first frames of each block and still fails on any misplaced nibble or header.
TEST_P(ImaEncoderRoundTrip, FfmpegDecodesOurBlocksToTheInputSine) {
  const int channels = GetParam();
  const std::size_t blockSize = 256 * channels;
  const int rate = 22050;
  std::vector<int16_t> input;
  for (int i = 0; i < rate / 2; ++i) {
    for (int c = 0; c < channels; ++c) {
      const double hz = c == 0 ? 440.0 : 1250.0;
      input.push_back(static_cast<int16_t>(
          std::lround(16000 * std::sin(2 * std::numbers::pi * hz * i / rate))));
    }
  }
  AdpcmFixture f;
  f.FormatTag = kIma;
  f.Channels = static_cast<uint16_t>(channels);
  f.SampleRate = rate;
  f.BlockAlign = static_cast<uint16_t>(blockSize);
  f.Data = EncodeStream(input, channels, blockSize);
  ASSERT_GE(f.BlockCount(), 10u);

  FfmpegBlockDecoder ffmpeg(kIma, channels, rate, f.BlockAlign);
  std::vector<int16_t> byFfmpeg;
  std::vector<int16_t> byUs;
  for (std::size_t b = 0; b < f.BlockCount(); ++b) {
    const auto theirs = ffmpeg.Decode(f.Block(b));
    ASSERT_TRUE(theirs) << "block " << b;
    byFfmpeg.insert(byFfmpeg.end(), theirs->begin(), theirs->end());
    const auto ours = DecodeBlockWithOurs(f, f.Block(b));
    byUs.insert(byUs.end(), ours.begin(), ours.end());
  }
  ASSERT_EQ(byFfmpeg.size(), byUs.size());
  ASSERT_LE(byFfmpeg.size(), input.size());
  for (int c = 0; c < channels; ++c) {
    EXPECT_GT(ChannelSnrDb(input, byFfmpeg, c, channels), 25.0) << "channel " << c;
    EXPECT_GT(ChannelSnrDb(input, byUs, c, channels), 25.0) << "channel " << c;
  }
}

INSTANTIATE_TEST_SUITE_P(MonoAndStereo, ImaEncoderRoundTrip, testing::Values(1, 2),
                         [](const auto& info) { return info.param == 1 ? "Mono" : "Stereo"; });

}  // namespace
