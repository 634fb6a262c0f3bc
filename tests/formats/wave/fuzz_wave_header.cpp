// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes, as a WAV file, to the header scan, to the MP3-in-WAV converter's
// chunk walk, and to the reader, which opens them and reads what it finds from the start and
// from a frame inside the data. Nothing may crash, hang or read outside a buffer.

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "formats/wave/wave_converter.h"
#include "formats/wave/wave_header.h"
#include "formats/wave/wave_in.h"

namespace {

// Reads at most 1 MiB, so that a header claiming hours of audio stays quick.
void ReadSome(TWaveIn& in, int64_t startSample) {
  in.StartSample = startSample;
  in.StartRead();
  for (int blocks = 0; blocks < 64; ++blocks) {
    uint8_t* p = nullptr;
    uint32_t n = 16384;
    in.ReadData(p, n);
    if (n == 0) break;
    volatile uint8_t sink = p[0] ^ p[n - 1];
    (void)sink;
  }
  in.EndRead();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    av_log_set_level(AV_LOG_QUIET);  // damaged MP3 frames are expected here
    return true;
  }();
  (void)quiet;
  const std::vector<uint8_t> bytes(data, data + size);
  {
    TAuMemoryStream stream(bytes);
    ScanWaveHeader(stream);
  }
  {
    TAuMemoryStream stream(bytes);
    TWaveConverter converter;
    converter.LoadFile(stream);
  }
  TAuMemoryStream stream(bytes);
  TWaveIn in;
  in.SetStream(&stream);
  if (!in.Valid()) return 0;
  ReadSome(in, 0);
  ReadSome(in, static_cast<int64_t>(size % 997));
  return 0;
}
