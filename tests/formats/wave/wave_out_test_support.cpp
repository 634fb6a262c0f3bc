// SPDX-License-Identifier: GPL-3.0-or-later
#include "wave_out_test_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <numbers>
#include <random>

#include "pipeline/au_exception.h"
#include "pipeline_test_support.h"

namespace wave_out_test {

void TPcmSource::DoStartRead() {
  ++Starts;
  FSize = AnnouncedSize == kDataSize ? static_cast<int64_t>(Data.size()) : AnnouncedSize;
  Pos = 0;
  Blocks = 0;
}

void TPcmSource::ReadBlock(uint8_t*& buffer, uint32_t& bytes) {
  if (Gate && Blocks++ >= GateAfter) Gate();
  const uint32_t frame = static_cast<uint32_t>(FChannels * FBits / 8);
  uint32_t n = std::min<uint32_t>(bytes, MaxBlock);
  n = static_cast<uint32_t>(std::min<size_t>(n, Data.size() - Pos));
  n -= n % frame;
  buffer = Data.data() + Pos;
  bytes = n;
  Pos += n;
}

std::string WriteWave(TAuInput& source, const std::filesystem::path& path,
                      const std::function<void(TWaveOut&)>& setup) {
  TWaveOut sink;
  if (setup) setup(sink);
  sink.SetInput(&source);
  sink.SetFileName(path);
  return pipeline_test::RunToEnd(sink);
}

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(count);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

std::vector<uint8_t> Sine16(int64_t frames, int channels, int rate, double hz) {
  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<size_t>(frames * channels * 2));
  for (int64_t i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      const double phase = 2 * std::numbers::pi * hz * static_cast<double>(i) / rate + c;
      const auto v =
          static_cast<uint16_t>(static_cast<int16_t>(std::lround(12000 * std::sin(phase))));
      bytes.push_back(static_cast<uint8_t>(v));
      bytes.push_back(static_cast<uint8_t>(v >> 8));
    }
  }
  return bytes;
}

uint32_t U32At(const std::vector<uint8_t>& b, size_t o) {
  if (o + 4 > b.size()) return 0xDEADBEEF;
  return uint32_t{b[o]} | uint32_t{b[o + 1]} << 8 | uint32_t{b[o + 2]} << 16 |
         uint32_t{b[o + 3]} << 24;
}

uint16_t U16At(const std::vector<uint8_t>& b, size_t o) {
  if (o + 2 > b.size()) return 0xBEEF;
  return static_cast<uint16_t>(b[o] | b[o + 1] << 8);
}

namespace {

std::vector<uint8_t> CommandOutput(const std::string& command) {
  return test_support::ShellBytes(command);
}

std::string Quoted(const std::filesystem::path& path) {
  return test_support::Quoted(path.string());
}

}  // namespace

std::vector<uint8_t> DecodeWithFfmpeg(const std::filesystem::path& path, int bits) {
  const char* format = bits == 8 ? "u8" : bits == 24 ? "s24le" : bits == 32 ? "s32le" : "s16le";
  return CommandOutput("ffmpeg -nostdin -v error -i " + Quoted(path) + " -f " + format +
                       " -c:a pcm_" + format + " -");
}

std::vector<uint8_t> DecodeFloatWithFfmpeg(const std::filesystem::path& path, int bits) {
  const std::string format = bits == 64 ? "f64le" : "f32le";
  return CommandOutput("ffmpeg -nostdin -v error -i " + Quoted(path) + " -f " + format +
                       " -c:a pcm_" + format + " -");
}

std::vector<uint8_t> DecodeWithSox(const std::filesystem::path& path, int bits) {
  const char* encoding = bits == 8 ? "unsigned-integer" : "signed-integer";
  return CommandOutput("sox -V1 " + Quoted(path) + " -t raw -e " + encoding + " -b " +
                       std::to_string(bits) + " -");
}

std::string ProbeStream(const std::filesystem::path& path, const std::string& entry) {
  const auto out =
      CommandOutput("ffprobe -v error -select_streams a:0 -show_entries stream=" + entry +
                    " -of default=noprint_wrappers=1:nokey=1 " + Quoted(path));
  std::string text(out.begin(), out.end());
  while (!text.empty() && text.back() == '\n') text.pop_back();
  std::replace(text.begin(), text.end(), '\n', ',');
  return text;
}

std::vector<int16_t> AsSamples16(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  return samples;
}

}  // namespace wave_out_test
