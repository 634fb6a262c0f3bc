// SPDX-License-Identifier: GPL-3.0-or-later
// Decodes one MP3 or WMA file through TMP3In or TWMIn into a sink that keeps nothing, and
// prints how long opening the file (including any frame scan) and reading it took. The
// script decode_media.sh sets these times against FFmpeg's own decoding of the same file.

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>

#include "formats/media/mp3_in.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: decode_media FILE.mp3|FILE.wma\n");
    return 2;
  }
  const std::filesystem::path file = argv[1];
  std::unique_ptr<TWMIn> source;
  if (file.extension() == ".mp3")
    source = std::make_unique<TMP3In>();
  else
    source = std::make_unique<TWMIn>();
  try {
    const auto start = std::chrono::steady_clock::now();
    source->SetFileName(file);
    if (!source->Valid()) {
      std::fprintf(stderr, "%s: no audio the runtime can decode\n", argv[1]);
      return 1;
    }
    const double opened = SecondsSince(start);
    source->StartRead();
    uint64_t bytes = 0;
    for (;;) {
      uint8_t* data = nullptr;
      uint32_t count = 16384;
      source->ReadData(data, count);
      if (count == 0) break;
      bytes += count;
    }
    source->EndRead();
    const double total = SecondsSince(start);
    const int frameBytes = source->Channels() * source->BitsPerSample() / 8;
    std::printf("open %.3f s, total %.3f s, %llu frames\n", opened, total,
                static_cast<unsigned long long>(frameBytes > 0 ? bytes / frameBytes : 0));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[1], e.what());
    return 1;
  }
  return 0;
}
