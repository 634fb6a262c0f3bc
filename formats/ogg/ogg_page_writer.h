// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Writes one logical Ogg stream as pages of about 4 KiB: the first marked as the stream's
// beginning, the last as its end, each with its checksum. A packet longer than a page can
// hold goes on over the next pages.
class TOggPageWriter {
 public:
  using TSink = std::function<void(const uint8_t* data, size_t size)>;

  // What may follow a packet: Never lets its page go on (a page must not end at a granule
  // that means nothing yet); Page ends the page (a header packet stands on its own pages);
  // Stream ends the page and the stream.
  enum class TPageEnd { Never, WhenFull, Page, Stream };

  TOggPageWriter(uint32_t serial, TSink sink);

  // Adds a packet after which the stream has given `granule` samples.
  void Add(const uint8_t* data, size_t size, int64_t granule, TPageEnd end);

  static constexpr size_t kPageBytes = 4096;
  // A random serial number, as each new stream should have.
  static uint32_t NewSerial();

 private:
  void EmitPage(bool lastPage);

  uint32_t FSerial;
  TSink FSink;
  uint32_t FSequence = 0;
  std::vector<uint8_t> FLacing;
  std::vector<uint8_t> FBody;
  int64_t FGranule = -1;    // of the last packet ended on the page in progress
  bool FContinued = false;  // the page in progress begins with the rest of a packet
  std::vector<uint8_t> FPage;
};
