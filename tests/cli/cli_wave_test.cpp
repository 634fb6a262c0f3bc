// SPDX-License-Identifier: GPL-3.0-or-later
// trimora-cli on WAV files: a cut keeps what the source was (floats bit for bit, the channel
// mask, the INFO texts, IMA ADPCM), info says what a cut writes where it cannot, and headers
// no real file has are refused when the file is opened, and a cut of PCM never loads FFmpeg.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "cli_test_support.h"

namespace {

using namespace cli_test;
using TBytes = std::vector<uint8_t>;

void Put(TBytes& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

TBytes Chunk(const std::string& id, const TBytes& body) {
  TBytes out(id.begin(), id.end());
  Put(out, static_cast<uint32_t>(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() % 2 == 1) out.push_back(0);
  return out;
}

// The `fmt ` chunk; extensible (with `mask` and the subformat of `tag`) when `mask` is given.
TBytes Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
           std::optional<uint32_t> mask = {}, std::optional<uint16_t> blockAlign = {}) {
  TBytes b;
  const uint16_t align = blockAlign.value_or(static_cast<uint16_t>(channels * bits / 8));
  Put(b, mask ? 0xFFFE : tag, 2);
  Put(b, channels, 2);
  Put(b, rate, 4);
  Put(b, rate * align, 4);
  Put(b, align, 2);
  Put(b, bits, 2);
  if (mask) {
    Put(b, 22, 2);
    Put(b, bits, 2);
    Put(b, *mask, 4);
    Put(b, tag, 2);
    b.insert(b.end(), {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71});
  }
  return Chunk("fmt ", b);
}

TBytes Wave(std::initializer_list<TBytes> chunks) {
  TBytes body{'W', 'A', 'V', 'E'};
  for (const auto& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return Chunk("RIFF", body);
}

// Samples of a sine that peaks at 1.5, past full scale, as floats of `bits` bits.
TBytes LoudFloats(int samples, int bits) {
  TBytes out;
  for (int i = 0; i < samples; ++i) {
    const double v = 1.5 * std::sin(0.01 * i);
    const auto f = static_cast<float>(v);
    const auto* p =
        bits == 64 ? reinterpret_cast<const uint8_t*>(&v) : reinterpret_cast<const uint8_t*>(&f);
    out.insert(out.end(), p, p + bits / 8);
  }
  return out;
}

uint32_t U32At(const TBytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}
uint16_t U16At(const TBytes& b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

std::string Line(const std::string& out, const std::string& label) {
  const size_t at = out.find(label);
  if (at == std::string::npos) return {};
  return out.substr(at + label.size(), out.find('\n', at) - at - label.size());
}

class CliWave : public ::testing::Test {
 protected:
  TScratch Folder;
};

// 8000 frames at 8 kHz; the cut from 00:00:00.5 keeps frames 4000 on, unchanged.
TEST_F(CliWave, FloatCutsWriteTheSourcesFloatsBitForBit) {
  struct {
    const char* Name;
    uint16_t Channels, Bits;
    std::optional<uint32_t> Mask;
    uint16_t Tag;
    const char* Codec;
  } cases[] = {
      {"f32_stereo", 2, 32, {}, 3, "pcm_f32le"},
      {"f64_mono", 1, 64, {}, 3, "pcm_f64le"},
      {"f32_ext_stereo", 2, 32, 0x3, 0xFFFE, "pcm_f32le"},
      {"f64_ext_quad", 4, 64, 0x33, 0xFFFE, "pcm_f64le"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TBytes data = LoudFloats(8000 * c.Channels, c.Bits);
    const std::string in = std::string(c.Name) + ".wav", out = std::string(c.Name) + "_cut.wav";
    WriteBytes(Folder / in, Wave({Fmt(3, c.Channels, 8000, c.Bits, c.Mask), Chunk("data", data)}));
    const auto run = Folder.Cli({"cut", in, "--start", "00:00:00.5", "-o", out});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const TBytes file = ReadBytes(Folder / out);
    ASSERT_GT(file.size(), 68u);
    EXPECT_EQ(U16At(file, 20), c.Tag);
    EXPECT_EQ(U16At(file, 34), c.Bits);
    if (c.Mask) {
      EXPECT_EQ(U32At(file, 40), *c.Mask);
    }
    EXPECT_EQ(ProbeCodec(Folder / out), c.Codec);
    const TBytes kept(data.begin() + 4000 * c.Channels * c.Bits / 8, data.end());
    EXPECT_EQ(DecodeWithFfmpeg(Folder / out, c.Bits == 64 ? "f64le" : "f32le"), kept);
  }
}

// The segment cut reads the pieces through its own source, which passes the floats on.
TEST_F(CliWave, SegmentCutsOfFloatWavesKeepTheFloats) {
  const TBytes data = LoudFloats(8000 * 2, 32);
  WriteBytes(Folder / "in.wav", Wave({Fmt(3, 2, 8000, 32), Chunk("data", data)}));
  const auto run = Folder.Cli(
      {"remove", "in.wav", "--segment", "00:00:00.2-00:00:00.3", "--exact", "-o", "out.wav"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(ProbeCodec(Folder / "out.wav"), "pcm_f32le");
  const TBytes got = DecodeWithFfmpeg(Folder / "out.wav", "f32le");
  const size_t edge = 1500 * 8;  // frames of each end that no removal touches
  ASSERT_GT(got.size(), 2 * edge);
  EXPECT_LT(got.size(), data.size());
  EXPECT_EQ(TBytes(got.begin(), got.begin() + edge), TBytes(data.begin(), data.begin() + edge));
  EXPECT_EQ(TBytes(got.end() - edge, got.end()), TBytes(data.end() - edge, data.end()));
}

TEST_F(CliWave, CutsKeepTheSourcesChannelMask) {
  const struct {
    uint16_t Channels;
    uint32_t Mask;
  } cases[] = {{1, 0x4}, {2, 0x3}, {4, 0x33}, {5, 0x37}, {6, 0x60F}, {7, 0x70F}, {8, 0x63F}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Mask);
    const TBytes data(size_t{400} * c.Channels, 0x11);
    WriteBytes(Folder / "in.wav",
               Wave({Fmt(1, c.Channels, 8000, 16, c.Mask), Chunk("data", data)}));
    const auto run = Folder.Cli({"cut", "in.wav", "-o", "out.wav", "--force"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const TBytes file = ReadBytes(Folder / "out.wav");
    ASSERT_EQ(file.size(), 68 + data.size());
    EXPECT_EQ(U16At(file, 20), 0xFFFE);
    EXPECT_EQ(U32At(file, 40), c.Mask);
    EXPECT_EQ(TBytes(file.begin() + 68, file.end()), data);
  }
}

TBytes InfoList(const std::vector<std::pair<std::string, std::string>>& texts) {
  TBytes body{'I', 'N', 'F', 'O'};
  for (const auto& [id, text] : texts) {
    TBytes value(text.begin(), text.end());
    value.push_back(0);
    const TBytes sub = Chunk(id, value);
    body.insert(body.end(), sub.begin(), sub.end());
  }
  return Chunk("LIST", body);
}

// The INFO texts reach the cut whether they stood before or after the data, and info shows
// them.
TEST_F(CliWave, CutsKeepTheInfoTexts) {
  const TBytes list = InfoList({{"INAM", "Title \xC3\xA9"},
                                {"IART", "Artist"},
                                {"IPRD", "Album"},
                                {"ICMT", "Comment"},
                                {"ICRD", "2020"},
                                {"IGNR", "Genre"},
                                {"ITRK", "4"}});
  const TBytes fmt = Fmt(1, 2, 8000, 16), data = Chunk("data", TBytes(4000, 0x22));
  WriteBytes(Folder / "before.wav", Wave({fmt, list, data}));
  WriteBytes(Folder / "after.wav", Wave({fmt, data, list}));
  const std::pair<const char*, const char*> tags[] = {{"title", "Title \xC3\xA9"},
                                                      {"artist", "Artist"},
                                                      {"album", "Album"},
                                                      {"comment", "Comment"},
                                                      {"date", "2020"},
                                                      {"genre", "Genre"},
                                                      {"track", "4"}};
  for (const char* name : {"before", "after"}) {
    SCOPED_TRACE(name);
    const std::string out = std::string(name) + "_cut.wav";
    const auto run = Folder.Cli({"cut", std::string(name) + ".wav", "-o", out});
    ASSERT_EQ(run.Status, 0) << run.Err;
    for (const auto& [key, value] : tags)
      EXPECT_EQ(test_support::Probe(Folder / out, "format_tags=" + std::string(key)), value) << key;
    EXPECT_EQ(DecodeWithFfmpeg(Folder / out, "s16le"), TBytes(4000, 0x22));
    const auto info = Folder.Cli({"info", std::string(name) + ".wav"});
    EXPECT_EQ(Line(info.Out, "Title:       "), "Title \xC3\xA9") << info.Out;
    EXPECT_EQ(Line(info.Out, "Track:       "), "4") << info.Out;
  }
}

// IMA ADPCM is written again in the source's blocks; what the writer cannot write becomes
// 16-bit PCM, and info says so before the cut.
TEST_F(CliWave, AdpcmCutsStayImaAndInfoSaysWhatACutWrites) {
  const struct {
    const char* Name;
    const char* Writes;
    const char* Codec;
  } cases[] = {
      {"pcm_s24_stereo", "24-bit PCM", "pcm_s24le"},
      {"float64_mono", "64-bit float", "pcm_f64le"},
      {"ext_f32_6ch", "32-bit float", "pcm_f32le"},
      {"ima_mono_ffmpeg", "IMA ADPCM (64-byte blocks)", "adpcm_ima_wav"},
      {"ima_stereo_ffmpeg", "IMA ADPCM (128-byte blocks)", "adpcm_ima_wav"},
      {"ima_stereo_sox", "IMA ADPCM (512-byte blocks)", "adpcm_ima_wav"},
      {"ms_stereo_sox", "16-bit PCM (MS ADPCM cannot be written)", "pcm_s16le"},
      {"mp3_mono", "16-bit PCM (MP3 in WAV cannot be written)", "pcm_s16le"},
  };
  const std::filesystem::path data = std::filesystem::path(TRIMORA_TEST_DATA) / "wave";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto source = data / (std::string(c.Name) + ".wav");
    const auto info = Folder.Cli({"info", source.string()});
    ASSERT_EQ(info.Status, 0) << info.Err;
    EXPECT_EQ(Line(info.Out, "Cut writes:  "), c.Writes) << info.Out;
    const auto json = Folder.Cli({"info", "--json", source.string()});
    EXPECT_NE(json.Out.find("\"cut_writes\":\"" + std::string(c.Writes) + "\""), std::string::npos)
        << json.Out;
    const std::string out = std::string(c.Name) + "_cut.wav";
    const auto run = Folder.Cli({"cut", source.string(), "-o", out});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ProbeCodec(Folder / out), c.Codec);
    if (std::string(c.Codec) == "adpcm_ima_wav") {
      EXPECT_EQ(U16At(ReadBytes(Folder / out), 32), U16At(ReadBytes(source), 32)) << "block size";
    }
  }
}

// Headers no real file has are refused when the file is opened, by info and cut alike,
// with the reason.
TEST_F(CliWave, ImpossibleHeadersAreRefusedWithTheirReason) {
  const TBytes data = Chunk("data", TBytes(4000, 0));
  const struct {
    const char* Name;
    TBytes File;
    const char* Reason;
  } cases[] = {
      {"rate of all ones", Wave({Fmt(1, 2, 0xFFFFFFFF, 16), data}), "sample rate of 4294967295 Hz"},
      {"rate of 4 MHz", Wave({Fmt(1, 2, 4000000, 16), data}), "sample rate of 4000000 Hz"},
      {"rate of 2 GHz", Wave({Fmt(3, 1, 2000000000, 32), data}), "sample rate of 2000000000 Hz"},
      {"float rate of 1 GHz", Wave({Fmt(3, 2, 1000000000, 32, 0x3), data}), "1000000000 Hz"},
      {"no channels", Wave({Fmt(1, 0, 8000, 16, {}, 4), data}), "states no channels"},
      {"block size of 0", Wave({Fmt(1, 2, 8000, 16, {}, 0), data}), "block size of 0 bytes"},
      {"block size of 64 KiB", Wave({Fmt(1, 1, 8000, 16, {}, 0xFFFF), data}),
       "block size of 65535 bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteBytes(Folder / "bad.wav", c.File);
    const auto info = Folder.Cli({"info", "--json", "bad.wav"});
    EXPECT_EQ(info.Status, 1) << info.Out;
    EXPECT_NE(info.Err.find(c.Reason), std::string::npos) << info.Err;
    const auto cut = Folder.Cli({"cut", "bad.wav", "-o", "out.wav"});
    EXPECT_EQ(cut.Status, 1);
    EXPECT_NE(cut.Err.find(c.Reason), std::string::npos) << cut.Err;
    EXPECT_FALSE(std::filesystem::exists(Folder / "out.wav"));
  }
}

}  // namespace

// FFmpeg's libraries (and the hundred more they need) load on their first use, and a WAV cut
// never uses them: the program's start would otherwise cost more than the copy. A file that
// does need them (an .mp3, even a false one) shows that the check sees them load.
TEST_F(CliWave, ACutOfPcmNeverLoadsTheMediaLibraries) {
  WriteBytes(Folder / "in.wav", CountingWave(8000, 8000));
  WriteBytes(Folder / "false.mp3", CountingWave(8000, 8000));
  const auto loads = [&](const std::vector<std::string>& args) {
    const auto run = Folder.Cli(args, "LD_DEBUG=files");
    return run.Err.find("file=libavcodec") != std::string::npos;
  };
  EXPECT_FALSE(loads({"cut", "in.wav", "--start", "00:00:00.5", "-o", "out.wav"}));
  EXPECT_EQ(ReadBytes(Folder / "out.wav").size(), 44u + 2 * 2 * 4000);
  EXPECT_TRUE(loads({"info", "false.mp3"}));
}
