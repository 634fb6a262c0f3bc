// SPDX-License-Identifier: GPL-3.0-or-later
// The writer side of the runtime: its codec and format lists, and files it writes read
// back by our own reader (length, position, format, bit rate, texts).

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <set>

#include "media_test_support.h"
#include "platform/media_codec_info.h"
#include "platform/media_encoder.h"
#include "platform/media_writer.h"

namespace trimora::media::test {
namespace {

// A growing in-memory file that can be told to refuse writes past a size.
class TMemoryFile final : public IMediaWriteStream {
 public:
  std::vector<uint8_t> Bytes;
  uint64_t Limit = UINT64_MAX;

  TMediaResult Write(const void* buffer, uint32_t count, uint32_t& written) override {
    written = 0;
    if (Position + count > Limit) return TMediaResult::Fail;
    if (Bytes.size() < Position + count) Bytes.resize(Position + count);
    std::memcpy(Bytes.data() + Position, buffer, count);
    Position += count;
    written = count;
    return TMediaResult::Ok;
  }
  TMediaResult Seek(int64_t offset, TMediaSeekOrigin origin, uint64_t& newPosition) override {
    const int64_t base = origin == TMediaSeekOrigin::Begin     ? 0
                         : origin == TMediaSeekOrigin::Current ? int64_t(Position)
                                                               : int64_t(Bytes.size());
    if (base + offset < 0) return TMediaResult::Fail;
    newPosition = Position = uint64_t(base + offset);
    return TMediaResult::Ok;
  }

 private:
  uint64_t Position = 0;
};

TMediaStreamConfig Format(uint32_t codec, uint32_t index) {
  TMediaCodecInfo info;
  TMediaStreamConfig config;
  EXPECT_TRUE(Succeeded(info.GetCodecFormat(TMediaMajorType::Audio, codec, index, config)));
  config.StreamNumber = 1;
  return config;
}

std::optional<uint32_t> FindFormat(const std::string& description) {
  TMediaCodecInfo info;
  uint32_t count = 0;
  EXPECT_TRUE(Succeeded(info.GetCodecFormatCount(TMediaMajorType::Audio, 0, count)));
  for (uint32_t i = 0; i < count; ++i) {
    TMediaStreamConfig config;
    std::u16string text;
    EXPECT_TRUE(Succeeded(info.GetCodecFormatDesc(TMediaMajorType::Audio, 0, i, config, text)));
    if (text == std::u16string(description.begin(), description.end())) return i;
  }
  return std::nullopt;
}

// 16-bit PCM (or 8, 24, 32 bits): silence with a loud burst from frame `burst` on for 400
// frames, so that where it lands after a round trip shows any shift.
std::vector<uint8_t> Burst(int channels, int bits, int64_t frames, int64_t burst) {
  const int width = bits / 8;
  std::vector<uint8_t> pcm(size_t(frames * channels * width), bits == 8 ? 0x80 : 0);
  for (int64_t i = burst; i < std::min(frames, burst + 400); ++i) {
    const double v = 0.5 * std::sin(double(i) * 0.2);
    for (int c = 0; c < channels; ++c) {
      uint8_t* at = pcm.data() + (i * channels + c) * width;
      const auto s = static_cast<int32_t>(std::lround(v * 2147483647.0));
      if (bits == 8) {
        at[0] = static_cast<uint8_t>((s >> 24) + 128);
      } else {
        for (int b = 0; b < width; ++b) at[b] = static_cast<uint8_t>(s >> (8 * (4 - width + b)));
      }
    }
  }
  return pcm;
}

struct TWritten {
  TMediaResult Begin = TMediaResult::Fail;
  TMediaResult End = TMediaResult::Fail;
  std::vector<uint8_t> File;
  std::vector<uint32_t> Statuses;
};

TWritten Write(const TMediaStreamConfig& config, const TWaveFormat& input,
               const std::vector<uint8_t>& pcm, uint64_t limit = UINT64_MAX) {
  TWritten out;
  auto file = std::make_shared<TMemoryFile>();
  file->Limit = limit;
  TMediaProfileManager manager;
  std::unique_ptr<TMediaProfile> profile;
  EXPECT_TRUE(Succeeded(manager.CreateEmptyProfile(0x00090000, profile)));
  EXPECT_TRUE(Succeeded(profile->AddStream(config)));
  TMediaWriter writer;
  EXPECT_TRUE(Succeeded(writer.Open(file)));
  writer.SetStatusCallback([&out](uint32_t status) { out.Statuses.push_back(status); });
  EXPECT_TRUE(Succeeded(writer.SetProfile(*profile)));
  TMediaType type;
  EXPECT_TRUE(Succeeded(writer.GetInputProps(0, type)));
  type.Format = input;
  EXPECT_TRUE(Succeeded(writer.SetInputProps(0, type)));
  out.Begin = writer.BeginWriting();
  if (!Succeeded(out.Begin)) return out;
  // Odd-sized pieces: frames split across samples must not shift anything.
  const uint32_t piece = 14111;
  bool wrote = true;
  for (size_t at = 0; at < pcm.size() && wrote; at += piece) {
    const auto n = static_cast<uint32_t>(std::min<size_t>(piece, pcm.size() - at));
    wrote = Succeeded(writer.WriteSample(0, 0, pcm.data() + at, n));
  }
  out.End = wrote ? writer.EndWriting() : TMediaResult::Fail;
  out.File = file->Bytes;
  return out;
}

// Index of the first decoded frame whose first channel reaches a quarter of full scale.
int64_t FirstLoud(const std::vector<uint8_t>& pcm16, int channels) {
  for (size_t i = 0; i + 1 < pcm16.size(); i += 2 * size_t(channels)) {
    const auto s = static_cast<int16_t>(pcm16[i] | (pcm16[i + 1] << 8));
    if (std::abs(s) > 8192) return int64_t(i / (2 * size_t(channels)));
  }
  return -1;
}

TEST(MediaCodecInfo, ListsTheFormatsTheMatcherLooksFor) {
  EXPECT_EQ(FindFormat("128 kbps, 44 kHz, stereo CBR"), 29u);
  for (const char* label :
       {"160 kbps, 48 kHz, stereo CBR", "192 kbps, 44 kHz, stereo CBR",
        "64 kbps, 44 kHz, stereo CBR", "96 kbps, 48 kHz, stereo CBR", "48 kbps, 44 kHz, mono CBR",
        "32 kbps, 22 kHz, mono CBR", "64 kbps, 32 kHz, stereo CBR", "32 kbps,  8 kHz, mono CBR"})
    EXPECT_TRUE(FindFormat(label).has_value()) << label;
  EXPECT_FALSE(FindFormat("32 kbps, 8 kHz, mono CBR").has_value());
}

TEST(MediaCodecInfo, FormatsRunFromHighToLowBitRateAndAreDescribedByTheirConfiguration) {
  TMediaCodecInfo info;
  uint32_t count = 0;
  ASSERT_TRUE(Succeeded(info.GetCodecFormatCount(TMediaMajorType::Audio, 0, count)));
  std::set<std::u16string> seen;
  uint32_t previous = UINT32_MAX;
  for (uint32_t i = 0; i < count; ++i) {
    TMediaStreamConfig config;
    std::u16string text;
    ASSERT_TRUE(Succeeded(info.GetCodecFormatDesc(TMediaMajorType::Audio, 0, i, config, text)));
    const TWaveFormat& f = config.Type.Format;
    const std::string khz =
        (f.SamplesPerSec < 10000 ? " " : "") + std::to_string(f.SamplesPerSec / 1000);
    const std::string expected = std::to_string(config.Bitrate / 1000) + " kbps, " + khz +
                                 " kHz, " + (f.Channels == 2 ? "stereo" : "mono") + " CBR";
    EXPECT_EQ(text, std::u16string(expected.begin(), expected.end()));
    EXPECT_LE(config.Bitrate, previous);
    EXPECT_GE(config.Bitrate, 24000u);
    EXPECT_TRUE(seen.insert(text).second);
    previous = config.Bitrate;
  }
  TMediaStreamConfig config;
  EXPECT_FALSE(Succeeded(info.GetCodecFormat(TMediaMajorType::Audio, 0, count, config)));
}

TEST(MediaCodecInfo, NoCodecOffersVbr) {
  TMediaCodecInfo info;
  EXPECT_FALSE(Succeeded(info.SetCodecEnumerationSetting(TMediaMajorType::Audio, 0, "_VBRENABLED",
                                                         uint32_t{0xFFFFFFFF})));
  EXPECT_TRUE(
      Succeeded(info.SetCodecEnumerationSetting(TMediaMajorType::Audio, 0, "_VBRENABLED", false)));
  TMediaValue quality;
  EXPECT_EQ(info.GetCodecFormatProp(TMediaMajorType::Audio, 0, 0, "_VBRQUALITY", quality),
            TMediaResult::NotFound);
}

// Every listed format of both codecs really opens the encoder and makes a file.
TEST(MediaWriter, EveryListedFormatWrites) {
  TMediaCodecInfo info;
  for (uint32_t codec = 0; codec < 2; ++codec) {
    uint32_t count = 0;
    EXPECT_TRUE(Succeeded(info.GetCodecFormatCount(TMediaMajorType::Audio, codec, count)));
    for (uint32_t i = 0; i < count; ++i) {
      const TMediaStreamConfig config = Format(codec, i);
      const TWritten w = Write(config, {2, 44100, 16}, std::vector<uint8_t>(4000));
      EXPECT_TRUE(Succeeded(w.Begin) && Succeeded(w.End)) << codec << " " << i;
    }
  }
}

struct TRoundTrip {
  const char* Format;
  TWaveFormat Input;
  int64_t Frames;
  int64_t Burst;
};

// What was written comes back at the same place and rate, as long as what was written
// (at the format's rate), rounded up to a codec frame; the file's duration says as much.
TEST(MediaWriter, RoundTripKeepsPositionAndLength) {
  const TRoundTrip rows[] = {
      {"128 kbps, 44 kHz, stereo CBR", {2, 44100, 16}, 100000, 5000},
      {"128 kbps, 44 kHz, stereo CBR", {2, 44100, 16}, 2048 * 30, 10},
      {"32 kbps, 22 kHz, mono CBR", {1, 22050, 16}, 30011, 3000},
      {"64 kbps, 48 kHz, stereo CBR", {2, 48000, 24}, 20000, 7000},
      {"32 kbps,  8 kHz, mono CBR", {1, 8000, 8}, 9001, 4000},
      {"48 kbps, 16 kHz, mono CBR", {1, 16000, 32}, 16000, 1234},
      // The input is converted: mono 22.05 kHz into a stereo 44.1 kHz stream.
      {"128 kbps, 44 kHz, stereo CBR", {1, 22050, 16}, 22050, 11025},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.Format) + " from " + std::to_string(row.Input.SamplesPerSec));
    const auto index = FindFormat(row.Format);
    ASSERT_TRUE(index);
    const TMediaStreamConfig config = Format(0, *index);
    const TWaveFormat& out = config.Type.Format;
    const TWritten w =
        Write(config, row.Input,
              Burst(row.Input.Channels, row.Input.BitsPerSample, row.Frames, row.Burst));
    ASSERT_TRUE(Succeeded(w.Begin));
    ASSERT_TRUE(Succeeded(w.End));

    auto reader = OpenForReading(w.File);
    ASSERT_NE(reader, nullptr);
    TMediaType type;
    ASSERT_TRUE(Succeeded(reader->GetOutputProps(0, type)));
    EXPECT_EQ(type.Format.Channels, out.Channels);
    EXPECT_EQ(type.Format.SamplesPerSec, out.SamplesPerSec);
    const auto decoded = ReadToEnd(*reader);
    const int64_t frames = int64_t(decoded.size()) / (2 * out.Channels);
    const double scale = double(out.SamplesPerSec) / row.Input.SamplesPerSec;
    const auto written = static_cast<int64_t>(std::llround(double(row.Frames) * scale));
    const int64_t codecFrame = out.SamplesPerSec >= 32000  ? 2048
                               : out.SamplesPerSec > 16000 ? 1024
                                                           : 512;
    EXPECT_GE(frames, written);
    EXPECT_LT(frames, written + codecFrame + 64);
    EXPECT_NEAR(double(FirstLoud(decoded, out.Channels)), double(row.Burst) * scale, 16.0);

    TMediaValue value;
    ASSERT_TRUE(Succeeded(reader->GetAttributeByName(0, "Duration", value)));
    EXPECT_NEAR(double(std::get<uint64_t>(value)),
                double(row.Frames) * 1e7 / row.Input.SamplesPerSec,
                20000.0);  // the file counts in milliseconds
    ASSERT_TRUE(Succeeded(reader->GetAttributeByName(0, "Bitrate", value)));
    EXPECT_EQ(std::get<uint32_t>(value), config.Bitrate);
    ASSERT_TRUE(Succeeded(reader->GetAttributeByName(0, "IsVBR", value)));
    EXPECT_FALSE(std::get<bool>(value));
  }
}

TEST(MediaWriter, RefusesCallsOutOfOrderAndInputsItCannotTake) {
  TMediaWriter writer;
  EXPECT_FALSE(Succeeded(writer.BeginWriting()));
  uint32_t inputs = 9;
  EXPECT_TRUE(Succeeded(writer.GetInputCount(inputs)));
  EXPECT_EQ(inputs, 0u);
  ASSERT_TRUE(Succeeded(writer.Open(std::make_shared<TMemoryFile>())));
  TMediaProfile profile(0x00090000);
  EXPECT_FALSE(Succeeded(writer.SetProfile(profile)));  // no stream
  TMediaStreamConfig config = Format(0, 29);
  config.Bitrate = 12345;  // not a format of ours
  EXPECT_FALSE(Succeeded(profile.AddStream(config)));
  ASSERT_TRUE(Succeeded(profile.AddStream(Format(0, 29))));
  ASSERT_TRUE(Succeeded(writer.SetProfile(profile)));
  EXPECT_FALSE(Succeeded(writer.BeginWriting()));  // no input declared
  TMediaType type;
  EXPECT_TRUE(Succeeded(writer.GetInputProps(0, type)));
  for (const TWaveFormat bad : {TWaveFormat{2, 44100, 12}, TWaveFormat{0, 44100, 16},
                                TWaveFormat{9, 44100, 16}, TWaveFormat{2, 0, 16}}) {
    type.Format = bad;
    EXPECT_FALSE(Succeeded(writer.SetInputProps(0, type)));
  }
  EXPECT_FALSE(Succeeded(writer.SetAttribute(0, "Author", uint32_t{1})));
}

TEST(MediaWriter, AStreamThatRefusesWritesFailsAndReportsAnErrorStatus) {
  const TWritten w = Write(Format(0, 29), {2, 44100, 16}, std::vector<uint8_t>(400000), 20000);
  EXPECT_TRUE(Succeeded(w.Begin));
  EXPECT_FALSE(Succeeded(w.End));
  ASSERT_FALSE(w.Statuses.empty());
  EXPECT_EQ(w.Statuses.front(), kMediaStatusError);
  EXPECT_EQ(MediaResultCode(TMediaResult::Fail), 0x80004005u);
}

// Chunks on two encoder lanes: the file must come out byte for byte as one encoder going
// through the whole stream makes it, chunk seams and the padded end included.
TEST(MediaEncoder, ChunksOnTwoLanesWriteTheSameBytesAsOneEncoder) {
  std::vector<uint8_t> pcm(size_t(44100 * 8 + 777) * 4);
  for (size_t i = 0; i < pcm.size(); i += 2) {
    const auto s = static_cast<int16_t>(9000 * std::sin(double(i) * 0.003 * (1 + double(i) / 4e6)));
    pcm[i] = static_cast<uint8_t>(s);
    pcm[i + 1] = static_cast<uint8_t>(s >> 8);
  }
  std::vector<uint8_t> files[3];
  const std::pair<int, int> runs[3] = {{1, 1000}, {1, 64}, {2, 5}};  // lanes, chunk frames
  for (int run = 0; run < 3; ++run) {
    TEncoderSetup setup;
    setup.Encoder = "wmav2";
    setup.Rate = 44100;
    setup.Channels = 2;
    setup.Bitrate = 128000;
    setup.Input = {2, 44100, 16};
    setup.Lanes = runs[run].first;
    setup.ChunkFrames = runs[run].second;
    TMemoryFile file;
    auto encoder = TMediaEncoder::Start(setup, file);
    ASSERT_NE(encoder, nullptr);
    for (size_t at = 0; at < pcm.size(); at += 14112)
      ASSERT_TRUE(encoder->Write(pcm.data() + at,
                                 static_cast<uint32_t>(std::min<size_t>(14112, pcm.size() - at))));
    ASSERT_TRUE(encoder->Finish());
    files[run] = file.Bytes;
  }
  EXPECT_GT(files[0].size(), 100000u);
  EXPECT_TRUE(files[0] == files[1]);
  EXPECT_TRUE(files[0] == files[2]);
}

}  // namespace
}  // namespace trimora::media::test
