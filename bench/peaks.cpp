// SPDX-License-Identifier: GPL-3.0-or-later
// Builds the peak overview of one file the way a window does: the builder runs on its own
// thread while this thread polls it every 50 ms and copies what has arrived. Prints when
// the first columns were there, when the overview was complete, and how much the process's
// resident memory grew over the build (the builder, its decoder and the copies).

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "cutting/peaks/peak_builder.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A "VmRSS" / "VmHWM" line of /proc/self/status, in KiB.
long StatusKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: peaks FILE\n");
    return 2;
  }
  const long before = StatusKiB("VmRSS");
  const auto start = std::chrono::steady_clock::now();
  TPeakBuilder builder;
  builder.Start(argv[1]);
  double first = -1;
  int64_t columns = 0;
  uint64_t seen = 0;
  while (!builder.Done()) {
    if (builder.Revision() != seen) {
      seen = builder.Revision();
      columns = builder.Snapshot().Columns();
      if (first < 0 && columns > 0) first = SecondsSince(start);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(first < 0 ? 1 : 50));
  }
  builder.Wait();
  const double total = SecondsSince(start);
  const TPeakOverview peaks = builder.Snapshot();
  if (!builder.Error().empty()) {
    std::fprintf(stderr, "%s: %s\n", argv[1], builder.Error().c_str());
    return 1;
  }
  if (first < 0) first = total;
  std::printf("first %.3f s, complete %.3f s, %lld columns, builder memory %.1f MiB\n", first,
              total, static_cast<long long>(peaks.Columns()),
              (StatusKiB("VmHWM") - before) / 1024.0);
  return 0;
}
