// SPDX-License-Identifier: GPL-3.0-or-later
#include "media_test_support.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

extern "C" {
#include <libavutil/md5.h>
}

namespace trimora::media::test {

TMediaResult TBytesStream::Read(void* buffer, uint32_t count, uint32_t& read) {
  const uint64_t left = Position < Bytes.size() ? Bytes.size() - Position : 0;
  read = static_cast<uint32_t>(std::min<uint64_t>(left, count));
  if (read == 0) return TMediaResult::Fail;
  std::memcpy(buffer, Bytes.data() + Position, read);
  Position += read;
  return TMediaResult::Ok;
}

TMediaResult TBytesStream::Seek(int64_t offset, TMediaSeekOrigin origin, uint64_t& newPosition) {
  int64_t base = 0;
  if (origin == TMediaSeekOrigin::Current) base = static_cast<int64_t>(Position);
  if (origin == TMediaSeekOrigin::End) base = static_cast<int64_t>(Bytes.size());
  if (base + offset < 0) return TMediaResult::Fail;
  Position = static_cast<uint64_t>(base + offset);
  newPosition = Position;
  return TMediaResult::Ok;
}

TMediaResult TBytesStream::Stat(uint64_t& size) {
  size = Bytes.size();
  return TMediaResult::Ok;
}

std::string MediaFixturePath(const std::string& name) {
  return std::string(TRIMORA_TEST_DATA) + "/media/" + name;
}

std::vector<uint8_t> LoadMediaFixture(const std::string& name) {
  // Read here rather than through the test support library: the fuzz target shares this
  // file and builds without that library.
  std::ifstream in(MediaFixturePath(name), std::ios::binary);
  if (!in) throw std::runtime_error("missing fixture " + name);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::vector<TExpected>& ExpectedFixtures() {
  static const std::vector<TExpected> all = [] {
    std::vector<TExpected> list;
    std::ifstream in(MediaFixturePath("expected.txt"));
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream fields(line);
      TExpected e;
      fields >> e.File >> e.Rate >> e.Channels >> e.Frames >> e.Md5 >> e.ProbeDuration >>
          e.ProbeBitrate;
      list.push_back(e);
    }
    return list;
  }();
  return all;
}

const TExpected& Expected(const std::string& name) {
  for (const auto& e : ExpectedFixtures())
    if (e.File == name) return e;
  throw std::runtime_error("no expectation for " + name);
}

bool IsMp3(const std::string& name) {
  return name.ends_with(".mp3");
}

std::unique_ptr<TMediaSyncReader> OpenForReading(std::vector<uint8_t> bytes, int bits) {
  auto reader = std::make_unique<TMediaSyncReader>();
  if (!Succeeded(reader->OpenStream(std::make_shared<TBytesStream>(std::move(bytes)))))
    return nullptr;
  TMediaType type;
  if (!Succeeded(reader->GetOutputProps(0, type))) return nullptr;
  type.Format.BitsPerSample = static_cast<uint16_t>(bits);
  if (!Succeeded(reader->SetOutputProps(0, type))) return nullptr;
  if (!Succeeded(reader->SetReadStreamSamples(1, false))) return nullptr;
  return reader;
}

std::vector<uint8_t> ReadToEnd(TMediaSyncReader& reader) {
  std::vector<uint8_t> all;
  TMediaSample sample;
  while (Succeeded(reader.GetNextSample(1, sample)))
    all.insert(all.end(), sample.Bytes.begin(), sample.Bytes.end());
  return all;
}

std::string Md5Hex(const std::vector<uint8_t>& bytes) {
  uint8_t digest[16];
  av_md5_sum(digest, bytes.data(), bytes.size());
  static const char* hex = "0123456789abcdef";
  std::string text;
  for (uint8_t b : digest) {
    text += hex[b >> 4];
    text += hex[b & 15];
  }
  return text;
}

}  // namespace trimora::media::test
