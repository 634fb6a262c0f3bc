// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers for the WAV writer's tests: an in-memory PCM source of any format, a scratch
// folder, a run of a sink to its end, and FFmpeg and sox decoding what the writer wrote.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "formats/wave/wave_out.h"
#include "pipeline/au_input.h"

#include "test_support.h"

namespace wave_out_test {

// Hands out `Data` as PCM of the given format, announcing `AnnouncedSize` bytes (the data's
// size unless set). `Gate`, when set, is called before every block after the first
// `GateAfter` blocks, and may wait there.
class TPcmSource : public TAuInput {
 public:
  TPcmSource(int channels, int bits, int rate, std::vector<uint8_t> data)
      : FChannels(channels), FBits(bits), FRate(rate), Data(std::move(data)) {}

  static constexpr int64_t kDataSize = -2;
  int64_t AnnouncedSize = kDataSize;
  bool Float = false;  // the data is IEEE floats of `bits` bits
  uint32_t MaxBlock = 16384;
  int GateAfter = 0;
  std::function<void()> Gate;
  std::atomic<int> Starts{0}, Ends{0};

 protected:
  int QueryBitsPerSample() override { return FBits; }
  int QueryChannels() override { return FChannels; }
  int QuerySampleRate() override { return FRate; }
  bool QueryFloatSamples() override { return Float; }
  void DoStartRead() override;
  void DoEndRead() override { ++Ends; }
  void ReadBlock(uint8_t*& buffer, uint32_t& bytes) override;

 private:
  int FChannels, FBits, FRate;
  std::vector<uint8_t> Data;
  size_t Pos = 0;
  int Blocks = 0;
};

using TScratchFolder = test_support::TTempFolder;

// Runs a fresh TWaveOut, set up by `setup`, from `source` into `path`; returns as RunToEnd.
std::string WriteWave(TAuInput& source, const std::filesystem::path& path,
                      const std::function<void(TWaveOut&)>& setup = {});

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed);
// A 16-bit sine of `frames` frames, the channels a little apart in phase.
std::vector<uint8_t> Sine16(int64_t frames, int channels, int rate, double hz = 440.0);

using test_support::ReadBytes;
using test_support::WriteBytes;
uint32_t U32At(const std::vector<uint8_t>& bytes, size_t offset);
uint16_t U16At(const std::vector<uint8_t>& bytes, size_t offset);

// The raw samples FFmpeg (ffmpeg CLI) and sox decode from a file, as integers of `bits`
// (8 unsigned, else signed little-endian). Empty when the tool failed to read the file.
std::vector<uint8_t> DecodeWithFfmpeg(const std::filesystem::path& path, int bits);
// The same as IEEE floats of `bits` (32 or 64) bits.
std::vector<uint8_t> DecodeFloatWithFfmpeg(const std::filesystem::path& path, int bits);
std::vector<uint8_t> DecodeWithSox(const std::filesystem::path& path, int bits);
// Stream properties as ffprobe reports them, in ffprobe's order, joined by commas
// ("sample_rate,channels" gives "44100,2").
std::string ProbeStream(const std::filesystem::path& path, const std::string& entry);

std::vector<int16_t> AsSamples16(const std::vector<uint8_t>& bytes);

}  // namespace wave_out_test
