// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "test_support.h"

// Files for the peak overview tests: a scratch folder, 16-bit WAV files written here, and
// FFmpeg for the copies in other encodings.
namespace peaktest {

using TScratch = test_support::TTempFolder;

inline void PutLe(std::ofstream& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A canonical 44-byte-header PCM WAV of interleaved 16-bit samples.
inline void WriteWav(const std::filesystem::path& file, int rate, int channels,
                     const std::vector<int16_t>& samples) {
  std::ofstream out(file, std::ios::binary);
  const auto data = static_cast<uint32_t>(samples.size() * 2);
  out.write("RIFF", 4);
  PutLe(out, 36 + data, 4);
  out.write("WAVEfmt ", 8);
  PutLe(out, 16, 4);
  PutLe(out, 1, 2);
  PutLe(out, channels, 2);
  PutLe(out, rate, 4);
  PutLe(out, rate * channels * 2, 4);
  PutLe(out, channels * 2, 2);
  PutLe(out, 16, 2);
  out.write("data", 4);
  PutLe(out, data, 4);
  for (int16_t s : samples) PutLe(out, static_cast<uint16_t>(s), 2);
}

// Three seconds with a known shape: a 440 Hz tone at half scale for the first second, then
// silence with one click (+30000, -30000 on two frames) at kClickColumn hundredths plus five
// frames. A second channel carries the same at half the level.
constexpr int kSeconds = 3;
constexpr int kClickColumn = 235;
constexpr int16_t kTone = 16384;
constexpr int16_t kClick = 30000;

inline int64_t ClickFrame(int rate) {
  return int64_t{rate} * kClickColumn / 100 + 5;
}

inline std::vector<int16_t> ProbeSignal(int rate, int channels) {
  const int64_t frames = int64_t{rate} * kSeconds;
  std::vector<int16_t> s(static_cast<size_t>(frames * channels), 0);
  for (int64_t f = 0; f < frames; ++f) {
    int v = 0;
    if (f < rate) v = static_cast<int>(std::lround(kTone * std::sin(2 * M_PI * 440.0 * f / rate)));
    if (f == ClickFrame(rate)) v = kClick;
    if (f == ClickFrame(rate) + 1) v = -kClick;
    for (int c = 0; c < channels; ++c)
      s[f * channels + c] = static_cast<int16_t>(c == 0 ? v : v / 2);
  }
  return s;
}

// Runs ffmpeg quietly; true when it succeeded.
inline bool Ffmpeg(const std::string& args) {
  return std::system(("ffmpeg -nostdin -v error -y " + args).c_str()) == 0;
}

inline std::string Quoted(const std::filesystem::path& p) {
  return "'" + p.string() + "'";
}

}  // namespace peaktest
