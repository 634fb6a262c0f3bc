// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a WAV file from start to end through TWaveIn, in the 16384-byte requests a sink
// makes, and prints the bytes delivered and the time taken. bench/read_wav.sh runs it.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>

#include "formats/wave/wave_in.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s file.wav\n", argv[0]);
    return 2;
  }
  try {
    const auto start = std::chrono::steady_clock::now();
    TWaveIn in;
    in.SetFileName(argv[1]);
    in.StartRead();
    uint64_t total = 0;
    uint32_t check = 0;  // touches the data, as a sink would
    for (;;) {
      uint8_t* p = nullptr;
      uint32_t n = 16384;
      in.ReadData(p, n);
      if (n == 0) break;
      total += n;
      check += p[0] + p[n - 1];
    }
    in.EndRead();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%llu bytes in %.3f s (%.0f MB/s) [%u]\n", static_cast<unsigned long long>(total),
                seconds, total / seconds / 1e6, check);
    return total > 0 ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
