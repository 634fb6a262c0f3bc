// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/ogg/ogg_page_writer.h"

#include <random>
#include <utility>

#include "formats/ogg/ogg_crc.h"

TOggPageWriter::TOggPageWriter(uint32_t serial, TSink sink)
    : FSerial(serial), FSink(std::move(sink)) {}

uint32_t TOggPageWriter::NewSerial() {
  std::random_device device;
  return static_cast<uint32_t>(device());
}

void TOggPageWriter::Add(const uint8_t* data, size_t size, int64_t granule, TPageEnd end) {
  size_t left = size;
  while (true) {
    if (FLacing.size() == 255) {
      EmitPage(false);
      FContinued = true;
    }
    const size_t take = left < 255 ? left : 255;
    FLacing.push_back(static_cast<uint8_t>(take));
    FBody.insert(FBody.end(), data, data + take);
    data += take;
    left -= take;
    if (take < 255) break;  // a packet of a multiple of 255 bytes ends with a 0
  }
  FGranule = granule;
  if (end == TPageEnd::Page || end == TPageEnd::Stream ||
      (end == TPageEnd::WhenFull && FBody.size() >= kPageBytes))
    EmitPage(end == TPageEnd::Stream);
}

void TOggPageWriter::EmitPage(bool lastPage) {
  FPage.assign({'O', 'g', 'g', 'S', 0});
  FPage.push_back(
      static_cast<uint8_t>((FContinued ? 1 : 0) | (FSequence == 0 ? 2 : 0) | (lastPage ? 4 : 0)));
  const auto put = [&](uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) FPage.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  put(static_cast<uint64_t>(FGranule), 8);
  put(FSerial, 4);
  put(FSequence++, 4);
  put(0, 4);  // the checksum, taken below
  FPage.push_back(static_cast<uint8_t>(FLacing.size()));
  FPage.insert(FPage.end(), FLacing.begin(), FLacing.end());
  FPage.insert(FPage.end(), FBody.begin(), FBody.end());
  const uint32_t crc = OggCrc(FPage.data(), FPage.size());
  for (int i = 0; i < 4; ++i) FPage[22 + i] = static_cast<uint8_t>(crc >> (8 * i));
  FSink(FPage.data(), FPage.size());
  FLacing.clear();
  FBody.clear();
  FGranule = -1;
  FContinued = false;
}
