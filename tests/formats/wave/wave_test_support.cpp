// SPDX-License-Identifier: GPL-3.0-or-later
#include "wave_test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include "test_support.h"

namespace wave_test {

std::string DataPath(const std::string& name) {
  return std::string(TRIMORA_TEST_DATA) + "/wave/" + name;
}

TBytes ReadFileBytes(const std::string& path) {
  EXPECT_TRUE(std::filesystem::is_regular_file(path)) << "cannot open " << path;
  return test_support::ReadBytes(path);
}

void PutU16(TBytes& out, uint16_t v) {
  out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)});
}

void PutU32(TBytes& out, uint32_t v) {
  PutU16(out, static_cast<uint16_t>(v));
  PutU16(out, static_cast<uint16_t>(v >> 16));
}

TBytes Concat(std::initializer_list<TBytes> parts) {
  TBytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TBytes Chunk(std::string_view id, const TBytes& body, int64_t declaredSize) {
  TBytes out(id.begin(), id.end());
  PutU32(out, static_cast<uint32_t>(declaredSize >= 0 ? declaredSize : int64_t(body.size())));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

TBytes Riff(std::initializer_list<TBytes> chunks) {
  TBytes body{'W', 'A', 'V', 'E'};
  for (const auto& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return Chunk("RIFF", body);
}

TBytes FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t blockAlign, uint16_t bits) {
  TBytes b;
  PutU16(b, tag);
  PutU16(b, channels);
  PutU32(b, rate);
  PutU32(b, rate * blockAlign);
  PutU16(b, blockAlign);
  PutU16(b, bits);
  return b;
}

TBytes Pcm16Frames(uint16_t channels, int first, int count) {
  TBytes out;
  for (int i = first; i < first + count; ++i) {
    for (int c = 0; c < channels; ++c) PutU16(out, static_cast<uint16_t>(c % 2 ? -i : i));
  }
  return out;
}

TBytes Pcm16File(uint16_t channels, int frames) {
  return Riff({Chunk("fmt ", FmtBody(1, channels, 8000, uint16_t(2 * channels), 16)),
               Chunk("data", Pcm16Frames(channels, 0, frames))});
}

TBytes ReadAll(TWaveIn& in, uint32_t request) {
  in.StartRead();
  const auto frame = static_cast<uint32_t>(in.Channels() * in.BitsPerSample() / 8);
  TBytes out;
  for (int blocks = 0;; ++blocks) {
    if (blocks > 1'000'000) {
      ADD_FAILURE() << "the read does not end";
      break;
    }
    uint8_t* p = nullptr;
    uint32_t n = request;
    in.ReadData(p, n);
    if (n == 0) break;
    EXPECT_LE(n, request);
    EXPECT_EQ(n % frame, 0u) << "a block of " << n << " bytes with frames of " << frame;
    out.insert(out.end(), p, p + n);
  }
  in.EndRead();
  return out;
}

}  // namespace wave_test
