// SPDX-License-Identifier: GPL-3.0-or-later
// Damaged, foreign and hostile input: the reader refuses it or decodes what it can, and
// never crashes, hangs or reads outside its buffers (run under AddressSanitizer).

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "media_test_support.h"

namespace trimora::media::test {
namespace {

std::vector<uint8_t> Pseudorandom(size_t size, uint32_t seed) {
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(seed >> 24);
  }
  return bytes;
}

std::vector<uint8_t> WaveFile() {
  std::vector<uint8_t> w = {'R', 'I', 'F',  'F',  0xB4, 1,   0,    0,    'W', 'A', 'V',
                            'E', 'f', 'm',  't',  ' ',  16,  0,    0,    0,   1,   0,
                            1,   0,   0x40, 0x1F, 0,    0,   0x80, 0x3E, 0,   0,   2,
                            0,   16,  0,    'd',  'a',  't', 'a',  144,  1,   0,   0};
  const auto pcm = Pseudorandom(400, 7);
  w.insert(w.end(), pcm.begin(), pcm.end());
  return w;
}

TEST(MediaRuntimeInput, ForeignContentIsRefused) {
  const std::string text(3000, 'x');
  for (const auto& [what, bytes] : std::vector<std::pair<std::string, std::vector<uint8_t>>>{
           {"empty", {}},
           {"one byte", {0xFF}},
           {"text", std::vector<uint8_t>(text.begin(), text.end())},
           {"wave", WaveFile()},
           {"id3 tag alone", {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
           {"asf header object alone",
            {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9,
             0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C, 30,   0,    0,    0,
             0,    0,    0,    0,    0,    0,    0,    0,    1,    2}}}) {
    SCOPED_TRACE(what);
    TMediaSyncReader reader;
    EXPECT_EQ(reader.OpenStream(std::make_shared<TBytesStream>(bytes)), TMediaResult::Fail);
    uint32_t count = 0;
    EXPECT_EQ(reader.GetOutputCount(count), TMediaResult::Fail);
    TMediaSample sample;
    EXPECT_EQ(reader.GetNextSample(1, sample), TMediaResult::Fail);
    EXPECT_EQ(reader.SetRange(0, 0), TMediaResult::Fail);
  }
}

// Opens whatever `bytes` hold; when that works, reads everything, seeks into the middle
// and reads again. Returns the frames of the first read (-1 when the open failed). Any call
// may refuse a broken file; only that none of them crashes or hangs matters here.
int64_t Exercise(std::vector<uint8_t> bytes) {
  auto reader = OpenForReading(std::move(bytes));
  if (!reader) return -1;
  TMediaType type;
  static_cast<void>(reader->GetOutputProps(0, type));
  const auto pcm = ReadToEnd(*reader);
  static_cast<void>(reader->SetRange(5000000, 0));
  ReadToEnd(*reader);
  static_cast<void>(reader->SetRange(0, 1000000));
  ReadToEnd(*reader);
  for (const char* name : {"Duration", "Bitrate", "IsVBR", "Title", "WM/Track"}) {
    TMediaValue value;
    static_cast<void>(reader->GetAttributeByName(0, name, value));
  }
  const int frameBytes = type.Format.Channels * 2;
  return frameBytes > 0 ? static_cast<int64_t>(pcm.size()) / frameBytes : 0;
}

TEST(MediaRuntimeInput, TruncatedFilesDecodeWhatTheyHold) {
  for (const auto& e : ExpectedFixtures()) {
    const auto whole = LoadMediaFixture(e.File);
    for (size_t keep :
         {size_t{40}, size_t{300}, whole.size() / 10, whole.size() / 2, whole.size() - 1}) {
      SCOPED_TRACE(e.File + " cut to " + std::to_string(keep));
      const int64_t frames = Exercise({whole.begin(), whole.begin() + static_cast<long>(keep)});
      EXPECT_LE(frames, e.Frames);
    }
  }
}

// Damage inside the data never makes the decoder run away: what it delivers stays within
// twice what the intact file holds (damaged frame headers may cut frames shorter).
TEST(MediaRuntimeInput, CorruptedDataDecodesToABoundedLength) {
  for (const auto& e : ExpectedFixtures()) {
    auto bytes = LoadMediaFixture(e.File);
    // Spare the first kilobyte so the file is still recognised, then damage the rest.
    for (size_t i = 1024; i < bytes.size(); i += 37) bytes[i] ^= static_cast<uint8_t>(i * 7 + 1);
    SCOPED_TRACE(e.File);
    EXPECT_LE(Exercise(bytes), 2 * e.Frames);
    // Garbage in place of the whole second half.
    auto half = LoadMediaFixture(e.File);
    const auto noise = Pseudorandom(half.size() / 2, 99);
    std::memcpy(half.data() + half.size() / 2, noise.data(), noise.size());
    EXPECT_LE(Exercise(half), 2 * e.Frames);
  }
}

TEST(MediaRuntimeInput, HostileHeaderFieldsAreBounded) {
  struct TEdit {
    const char* Name;
    const char* File;
    std::function<void(std::vector<uint8_t>&)> Apply;
    int64_t Slack = 0;  // frames beyond the intact file's that may come out
  };
  const std::vector<TEdit> edits = {
      {"asf header claims 4 GiB", "wma_v2_64k_44k_stereo.wma",
       [](auto& b) { b[16] = b[17] = b[18] = b[19] = 0xFF; }},
      {"asf object count huge", "wma_v2_64k_44k_stereo.wma",
       [](auto& b) { b[24] = b[25] = b[26] = b[27] = 0xFF; }},
      {"asf first object size zero", "wma_v2_64k_44k_stereo.wma",
       [](auto& b) { std::memset(b.data() + 30 + 16, 0, 8); }},
      {"asf first object size huge", "wma_v2_64k_44k_stereo.wma",
       [](auto& b) { std::memset(b.data() + 30 + 16, 0xFF, 8); }},
      {"id3 size past the end", "mp3_lame_cbr128_44k_stereo.mp3",
       [](auto& b) { b[6] = b[7] = b[8] = b[9] = 0x7F; }},
      {"xing frame count huge", "mp3_lame_vbr_44k_stereo.mp3",
       [](auto& b) {
         for (size_t i = 0; i + 12 < b.size(); ++i)
           if (std::memcmp(&b[i], "Xing", 4) == 0) {
             b[i + 8] = b[i + 9] = b[i + 10] = b[i + 11] = 0xFF;
             break;
           }
       },
       // The tag no longer says where the padding starts, so it is decoded too.
       2 * 1152},
  };
  for (const auto& edit : edits) {
    SCOPED_TRACE(edit.Name);
    auto bytes = LoadMediaFixture(edit.File);
    edit.Apply(bytes);
    EXPECT_LE(Exercise(bytes), Expected(edit.File).Frames + edit.Slack);
  }
}

TEST(MediaRuntimeInput, ContentDecidesTheFormatNotTheName) {
  // The reader never sees a name; a WMA file and an MP3 file are told apart by content,
  // whatever a caller would have called them.
  for (const char* file : {"wma_v2_64k_44k_stereo.wma", "mp3_lame_cbr128_44k_stereo.mp3"})
    EXPECT_EQ(Exercise(LoadMediaFixture(file)), Expected(file).Frames) << file;
}

}  // namespace
}  // namespace trimora::media::test
