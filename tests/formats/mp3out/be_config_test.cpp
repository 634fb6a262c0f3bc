// SPDX-License-Identifier: GPL-3.0-or-later
// The encoder record as the sink fills it, compared byte for byte with the layout the
// encoder reads.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "formats/mp3out/be_config.h"

namespace {

// The record for the default settings on a 44.1 kHz stereo source, with `changes` (offset
// to 32-bit value) applied on top.
std::vector<uint8_t> Expected(const std::map<size_t, uint32_t>& changes) {
  std::map<size_t, uint32_t> fields = {{0, 256},
                                       {4, 1},
                                       {8, 331},
                                       {12, 44100},
                                       {24, 128},
                                       {60, 0xFFFFFFFF} /* bOriginal */,
                                       {80, 2} /* nVbrMethod */,
                                       {84, 0xFFFFFFFF} /* bNoRes */};
  for (const auto& [offset, value] : changes) fields[offset] = value;
  std::vector<uint8_t> bytes(331, 0);
  for (const auto& [offset, value] : fields)
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  return bytes;
}

std::vector<uint8_t> Actual(const TMP3Settings& settings, uint32_t rate, int channels) {
  const BE_CONFIG config = MakeBeConfig(settings, rate, channels);
  std::vector<uint8_t> bytes(sizeof config);
  std::memcpy(bytes.data(), &config, sizeof config);
  return bytes;
}

struct TRow {
  const char* name;
  void (*change)(TMP3Settings&);
  int channels;
  std::map<size_t, uint32_t> expected;
};

TEST(BeConfig, IsFilledByteForByteFromTheSettings) {
  const TRow rows[] = {
      {"defaults", [](TMP3Settings&) {}, 2, {}},
      {"mono source forces mono", [](TMP3Settings& s) { s.Mode = mmJointStereo; }, 1, {{20, 3}}},
      {"joint stereo", [](TMP3Settings& s) { s.Mode = mmJointStereo; }, 2, {{20, 1}}},
      {"dual written as stereo", [](TMP3Settings& s) { s.Mode = mmDual; }, 2, {{20, 0}}},
      {"mono on stereo source", [](TMP3Settings& s) { s.Mode = mmMono; }, 2, {{20, 3}}},
      {"auto bit rate", [](TMP3Settings& s) { s.BitRate = mbrAuto; }, 2, {{24, 0}}},
      {"320 and a maximum",
       [](TMP3Settings& s) {
         s.BitRate = mbr320;
         s.MaximumBitrate = mbr256;
       },
       2,
       {{24, 320}, {28, 256}}},
      {"VBR quality only under VBR", [](TMP3Settings& s) { s.VBRQuality = mp3ql7; }, 2, {}},
      {"VBR",
       [](TMP3Settings& s) {
         s.EnableVBR = true;
         s.VBRQuality = mp3ql4;
       },
       2,
       {{64, 0xFFFFFFFF}, {68, 0xFFFFFFFF}, {72, 4}}},
      {"average bit rate as plain kbps",
       [](TMP3Settings& s) { s.AverageBitrate = mbr160; },
       2,
       {{76, 160}, {80, 4}}},
      {"flags",
       [](TMP3Settings& s) {
         s.CRC = true;
         s.Original = false;
         s.EnableBitReservoir = true;
         s.StrictISO = true;
       },
       2,
       {{52, 0xFFFFFFFF}, {60, 0}, {84, 0}, {88, 0xFFFFFFFF}}},
      {"copyright never set", [](TMP3Settings& s) { s.Copyright = true; }, 2, {}},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.name);
    TMP3Settings settings;
    row.change(settings);
    EXPECT_EQ(Actual(settings, 44100, row.channels), Expected(row.expected));
  }
}

TEST(BeConfig, SampleRateComesFromTheSource) {
  EXPECT_EQ(Actual(TMP3Settings{}, 22050, 2), Expected({{12, 22050}}));
}

}  // namespace
