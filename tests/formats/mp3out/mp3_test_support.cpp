// SPDX-License-Identifier: GPL-3.0-or-later
#include "mp3_test_support.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "pipeline_test_support.h"
#include "test_support.h"

namespace mp3_test {

std::vector<int16_t> MakePcm(int rate, int channels, int64_t frames, TSignal signal) {
  std::vector<int16_t> pcm;
  uint32_t seed = 12345;
  const double pi = std::acos(-1.0), span = static_cast<double>(frames) / rate;
  for (int64_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    for (int c = 0; c < channels; ++c) {
      seed = seed * 1664525u + 1013904223u;
      const double phase = c == 0 ? 2 * pi * (200 * t + 300 * t * t / span) : 2 * pi * 660 * t;
      const int32_t noise = (static_cast<int32_t>(seed >> 16) - 32768) / 2;
      const bool click = i >= kClickFirst && (i - kClickFirst) % kClickSpacing == 0;
      if (signal == TSignal::Clicks)
        pcm.push_back(static_cast<int16_t>(click ? 20000 : 0));
      else
        pcm.push_back(
            static_cast<int16_t>(signal == TSignal::Noise ? noise : 10000.0 * std::sin(phase)));
    }
  }
  return pcm;
}

namespace {

std::vector<uint8_t> AsBytes(const std::vector<int16_t>& pcm) {
  std::vector<uint8_t> bytes(pcm.size() * 2);
  if (!bytes.empty()) std::memcpy(bytes.data(), pcm.data(), bytes.size());  // no null copies
  return bytes;
}

std::string Run(const std::string& command) {
  return test_support::Shell(command).Out;
}

}  // namespace

TPcmIn::TPcmIn(int rate, int channels, int64_t frames, TSignal signal)
    : Rate(rate),
      ChannelCount(channels),
      Pcm(MakePcm(rate, channels, frames, signal)),
      Memory(AsBytes(Pcm)) {
  SetStream(&Memory);
}

void TPcmIn::OpenFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount > 0) return;
  OpenStream();
  FValid = true;
  FBitsPerSample = ReportedBits;
  FChannels = ChannelCount;
  FSampleRate = Rate;
  FSize = Stream->Size();
  ++OpenCount;
}

void TPcmIn::CloseFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount == 0) return;
  CloseStream();
  OpenCount = 0;
}

void TPcmIn::ReadBlock(uint8_t*& buffer, uint32_t& bytes) {
  // An odd block size makes the sink fill its buffer from several reads.
  Block.resize(std::min<uint32_t>(bytes, 3001));
  bytes = static_cast<uint32_t>(Stream->Read(Block.data(), static_cast<int64_t>(Block.size())));
  buffer = Block.data();
}

bool TPcmIn::DoSeek(int64_t& sampleNum) {
  Stream->SetPosition(sampleNum * 2 * ChannelCount);
  return true;
}

TDecoded DecodeWithFFmpeg(const std::filesystem::path& file) {
  TDecoded decoded;
  const std::string quoted = "'" + file.string() + "'";
  const std::string info =
      Run("ffprobe -v error -show_entries stream=channels,sample_rate,"
          "bit_rate -of csv=p=0 " +
          quoted);
  long long bitRate = 0;
  if (std::sscanf(info.c_str(), "%d,%d,%lld", &decoded.SampleRate, &decoded.Channels, &bitRate) < 2)
    return decoded;
  decoded.BitRate = bitRate;
  const std::string raw = Run("ffmpeg -nostdin -v error -i " + quoted + " -f s16le -");
  decoded.Samples.resize(raw.size() / 2);
  std::memcpy(decoded.Samples.data(), raw.data(), decoded.Samples.size() * 2);
  return decoded;
}

TFirstFrame FirstFrame(const std::vector<uint8_t>& file) {
  TFirstFrame frame;
  size_t pos = 0;
  if (file.size() >= 10 && std::memcmp(file.data(), "ID3", 3) == 0)
    pos = 10 + static_cast<size_t>(file[6] << 21 | file[7] << 14 | file[8] << 7 | file[9]);
  if (pos + 4 > file.size() || file[pos] != 0xFF || (file[pos + 1] & 0xE0) != 0xE0) return frame;
  frame.Mode = file[pos + 3] >> 6;
  const std::string head(file.begin() + static_cast<long>(pos),
                         file.begin() + static_cast<long>(std::min(pos + 64, file.size())));
  for (const char* tag : {"Info", "Xing"})
    if (head.find(tag) != std::string::npos) frame.Tag = tag;
  return frame;
}

}  // namespace mp3_test
