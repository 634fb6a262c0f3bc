// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers for tests of the network stream: ports on 127.0.0.1 and FFmpeg clients run in
// the background.

#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>

#include "test_support.h"

namespace stream_test {

// A port on 127.0.0.1 that was free a moment ago.
uint16_t FreePort();
// Whether something listens on 127.0.0.1:`port` (a bind there fails).
bool PortTaken(uint16_t port);
// A socket connected to 127.0.0.1:`port`, or -1.
int ConnectLoopback(uint16_t port);

using test_support::TTempFolder;

// `ffmpeg -i http://127.0.0.1:PORT/ -t SECONDS OUT` on its own thread; its exit status is
// known after Wait.
class TFFmpegClient {
 public:
  TFFmpegClient(uint16_t port, std::filesystem::path output, double seconds);
  ~TFFmpegClient();
  int Wait();
  const std::filesystem::path& Output() const { return File; }

 private:
  std::filesystem::path File;
  std::thread Runner;
  int Status = -1;
};

// "sample_rate=44100\nchannels=2\n" for the first audio stream of `file`.
std::string ProbeShape(const std::filesystem::path& file);
// Seconds of audio in `file`, as FFmpeg decodes it; -1 when it cannot.
double DecodedSeconds(const std::filesystem::path& file);

}  // namespace stream_test
