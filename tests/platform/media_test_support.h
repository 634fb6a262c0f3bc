// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/media_runtime.h"

namespace trimora::media::test {

// An in-memory stream, so that tests can hand the reader cut or altered copies of a file.
class TBytesStream final : public IMediaStream {
 public:
  explicit TBytesStream(std::vector<uint8_t> bytes) : Bytes(std::move(bytes)) {}
  TMediaResult Read(void* buffer, uint32_t count, uint32_t& read) override;
  TMediaResult Seek(int64_t offset, TMediaSeekOrigin origin, uint64_t& newPosition) override;
  TMediaResult Stat(uint64_t& size) override;

 private:
  std::vector<uint8_t> Bytes;
  uint64_t Position = 0;
};

// What FFmpeg's command-line decoding and ffprobe said about a fixture (expected.txt).
struct TExpected {
  std::string File;
  int Rate = 0;
  int Channels = 0;
  int64_t Frames = 0;
  std::string Md5;
  double ProbeDuration = 0;  // seconds
  int64_t ProbeBitrate = 0;
};

inline void PrintTo(const TExpected& e, std::ostream* os) {
  *os << e.File;
}

std::string MediaFixturePath(const std::string& name);
std::vector<uint8_t> LoadMediaFixture(const std::string& name);
const std::vector<TExpected>& ExpectedFixtures();
const TExpected& Expected(const std::string& name);
bool IsMp3(const std::string& name);

// Opens `bytes` and prepares output 0 for reading at its current format, or at `bits`.
std::unique_ptr<TMediaSyncReader> OpenForReading(std::vector<uint8_t> bytes, int bits = 16);
// Every PCM byte the reader delivers from where it stands to the end.
std::vector<uint8_t> ReadToEnd(TMediaSyncReader& reader);
std::string Md5Hex(const std::vector<uint8_t>& bytes);

}  // namespace trimora::media::test
