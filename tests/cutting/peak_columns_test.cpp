// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/peaks/peak_columns.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "cutting/peaks/peak_cache.h"
#include "peak_test_support.h"

namespace {

std::vector<uint8_t> Bytes16(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> b(samples.size() * 2);
  std::memcpy(b.data(), samples.data(), b.size());
  return b;
}

std::vector<TPeak> AllColumns(TPeakColumns& columns, const std::vector<uint8_t>& bytes,
                              size_t block) {
  std::vector<TPeak> out;
  for (size_t at = 0; at < bytes.size(); at += block)
    columns.Add(bytes.data() + at, std::min(block, bytes.size() - at), out);
  columns.Finish(out);
  return out;
}

bool Same(const std::vector<TPeak>& a, const std::vector<TPeak>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](TPeak x, TPeak y) {
           return x.Min == y.Min && x.Max == y.Max;
         });
}

// Blocks that end inside a frame or a sample, of any size, give the columns one whole read
// gives.
TEST(PeakColumns, BlocksCutAnywhereGiveTheSameColumns) {
  const auto bytes = Bytes16(peaktest::ProbeSignal(8000, 2));
  TPeakColumns whole(2, 16, 8000);
  const auto expected = AllColumns(whole, bytes, bytes.size());
  ASSERT_EQ(expected.size(), 2u * 300);
  for (size_t block : {1, 3, 7, 160, 161, 4095}) {
    TPeakColumns cut(2, 16, 8000);
    EXPECT_TRUE(Same(AllColumns(cut, bytes, block), expected)) << block;
  }
}

// Each width is scaled to 16 bits: full scale stays full scale, zero stays zero.
TEST(PeakColumns, EverySampleWidthIsScaledToSixteenBits) {
  struct TRow {
    int Bits;
    std::vector<uint8_t> Frames;  // two mono frames: the lowest and the highest value
    int16_t Min, Max;
  };
  const TRow rows[] = {
      {8, {0x00, 0xFF}, -32768, 32512},
      {8, {0x80, 0x80}, 0, 0},
      {16, {0x00, 0x80, 0xFF, 0x7F}, -32768, 32767},
      {24, {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F}, -32768, 32767},
      {24, {0x00, 0x01, 0x00, 0x00, 0xFF, 0xFF}, -1, 1},
      {32, {0, 0, 0, 0x80, 0xFF, 0xFF, 0xFF, 0x7F}, -32768, 32767},
  };
  for (const TRow& row : rows) {
    TPeakColumns columns(1, row.Bits, 8000);
    std::vector<TPeak> out;
    columns.Add(row.Frames.data(), row.Frames.size(), out);
    columns.Finish(out);
    ASSERT_EQ(out.size(), 1u) << row.Bits;
    EXPECT_EQ(out[0].Min, row.Min) << row.Bits;
    EXPECT_EQ(out[0].Max, row.Max) << row.Bits;
  }
}

TEST(PeakColumns, FormatsThatCannotBeReadAreRefusedAndOddRatesStillEnd) {
  for (auto [channels, bits, rate] :
       {std::tuple{0, 16, 44100}, {2, 12, 44100}, {2, 40, 44100}, {2, 16, 0}, {5000, 16, 44100}}) {
    TPeakColumns columns(channels, bits, rate);
    EXPECT_FALSE(columns.Valid()) << channels << " " << bits << " " << rate;
  }
  // At 50 Hz every other hundredth of a second holds no frame: an empty column keeps the
  // later columns at their times.
  TPeakColumns slow(1, 16, 50);
  const auto bytes = Bytes16(std::vector<int16_t>(50, 1000));
  const auto out = AllColumns(slow, bytes, 6);
  EXPECT_EQ(out.size(), 100u);
  EXPECT_EQ(out.back().Max, 1000);
}

// The cache gives back only what it was given for the same key, and a damaged, foreign or
// stale entry is a miss, never a crash or a wrong picture.
TEST(PeakCache, EntriesAreTrustedOnlyWhenWhole) {
  peaktest::TScratch dir;
  const auto sound = dir / "sound.wav";
  peaktest::WriteWav(sound, 8000, 2, peaktest::ProbeSignal(8000, 2));
  const auto key = *peak_cache::KeyOf(sound);
  TPeakOverview peaks;
  peaks.Channels = 2;
  peaks.SampleRate = 8000;
  peaks.Frames = 24000;
  TPeakColumns columns(2, 16, 8000);
  peaks.Peaks = AllColumns(columns, Bytes16(peaktest::ProbeSignal(8000, 2)), 4096);
  peaks.Complete = true;
  const auto folder = dir / "cache";
  ASSERT_TRUE(peak_cache::Save(folder, key, peaks));
  const auto loaded = peak_cache::Load(folder, key);
  ASSERT_TRUE(loaded);
  EXPECT_TRUE(Same(loaded->Peaks, peaks.Peaks));
  EXPECT_EQ(loaded->Frames, peaks.Frames);

  const auto entry = peak_cache::EntryPath(folder, key);
  std::string good;
  {
    std::ifstream in(entry, std::ios::binary);
    good.assign(std::istreambuf_iterator<char>(in), {});
  }
  const size_t countAt = 8 + 4 + key.Path.size() + 8 + 8 + 4 + 4 + 8;
  const std::vector<std::pair<std::string, std::function<void(std::string&)>>> damages = {
      {"truncated", [](std::string& s) { s.pop_back(); }},
      {"one byte more", [](std::string& s) { s.push_back('x'); }},
      {"empty", [](std::string& s) { s.clear(); }},
      {"magic", [](std::string& s) { s[0] = 'X'; }},
      {"column count", [&](std::string& s) { s[countAt] = static_cast<char>(s[countAt] + 1); }},
      {"huge column count", [&](std::string& s) { s[countAt + 7] = '\x7F'; }},
      {"channels", [&](std::string& s) { s[countAt - 16] = 9; }},
      {"path length", [](std::string& s) { s[11] = '\x7F'; }},
  };
  for (const auto& [name, damage] : damages) {
    std::string bytes = good;
    damage(bytes);
    std::ofstream(entry, std::ios::binary | std::ios::trunc) << bytes;
    EXPECT_FALSE(peak_cache::Load(folder, key)) << name;
  }
  std::ofstream(entry, std::ios::binary | std::ios::trunc) << good;
  auto longer = key;
  longer.Size += 1;
  auto touched = key;
  touched.ModifiedNs += 1;
  EXPECT_FALSE(peak_cache::Load(folder, longer));
  EXPECT_FALSE(peak_cache::Load(folder, touched));
  EXPECT_TRUE(peak_cache::Load(folder, key));

  TPeakOverview partial = peaks;
  partial.Complete = false;
  EXPECT_FALSE(peak_cache::Save(folder, key, partial));
  EXPECT_FALSE(peak_cache::Save(dir / "sound.wav" / "cache", key, peaks));
}

}  // namespace

namespace {

// Beyond its limit the cache drops the entries used least recently; a load counts as a use.
TEST(PeakCache, TheLeastRecentlyUsedEntriesGoBeyondTheLimit) {
  peaktest::TScratch dir;
  const auto folder = dir / "cache";
  TPeakOverview peaks;
  peaks.Channels = 1;
  peaks.SampleRate = 100;
  peaks.Frames = 1000;
  peaks.Peaks.assign(1000, TPeak{-5, 5});
  peaks.Complete = true;
  const auto key = [](const char* path) { return peak_cache::TPeakCacheKey{path, 1, 1}; };
  const uint64_t limit = 2 * 4100;  // two entries of 4000 bytes of columns and a header
  ASSERT_TRUE(peak_cache::Save(folder, key("/a.wav"), peaks, limit));
  ASSERT_TRUE(peak_cache::Save(folder, key("/b.wav"), peaks, limit));
  std::ofstream(folder / "notes.txt") << std::string(limit, 'x');  // not an entry: stays
  ASSERT_TRUE(peak_cache::Load(folder, key("/a.wav")));
  ASSERT_TRUE(peak_cache::Save(folder, key("/c.wav"), peaks, limit));
  EXPECT_TRUE(peak_cache::Load(folder, key("/a.wav")));
  EXPECT_FALSE(peak_cache::Load(folder, key("/b.wav")));
  EXPECT_TRUE(peak_cache::Load(folder, key("/c.wav")));
  EXPECT_TRUE(std::filesystem::exists(folder / "notes.txt"));
}

}  // namespace
