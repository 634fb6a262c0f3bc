// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/peaks/peak_detail.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <vector>

#include "cutting/time/cut_range.h"
#include "cutting/kinds/kind_registry.h"
#include "cutting/peaks/peak_columns.h"
#include "cutting/read_scope.h"

namespace {

constexpr uint32_t kReadBytes = 1u << 18;

}  // namespace

TPeakDetail::~TPeakDetail() {
  Cancel();
}

void TPeakDetail::Request(const std::filesystem::path& fileName, int64_t fromMs, int64_t toMs) {
  Cancel();
  FFile = fileName;
  FFromMs = std::max<int64_t>(fromMs, 0);
  FToMs = std::max(toMs, FFromMs);
  {
    std::lock_guard lock(FLock);
    FStretch = TStretch{FFromMs, FToMs, {}};
  }
  FJob.Start([this, file = FFile, from = FFromMs, to = FToMs] { Run(file, from, to); });
}

void TPeakDetail::Cancel() {
  FJob.Cancel();
}

void TPeakDetail::Wait() {
  FJob.Wait();
}

bool TPeakDetail::Covers(const std::filesystem::path& fileName, int64_t fromMs,
                         int64_t toMs) const {
  return !FFile.empty() && fileName == FFile && fromMs >= FFromMs && toMs <= FToMs;
}

TPeakDetail::TStretch TPeakDetail::Snapshot() const {
  std::lock_guard lock(FLock);
  return FStretch;
}

// A stretch that cannot be read stays empty: the view keeps drawing the overview there.
void TPeakDetail::Run(std::filesystem::path fileName, int64_t fromMs, int64_t toMs) {
  try {
    auto source = KindOrFallback(fileName).MakeSource();
    source->SetFileName(fileName);
    if (!source->Valid()) return;
    const int rate = source->SampleRate();
    TPeakColumns columns(source->Channels(), source->BitsPerSample(), rate, kColumnsPerSecond);
    if (!columns.Valid()) return;
    ApplyRange(*source, {fromMs * rate / 1000, std::max<int64_t>(toMs * rate / 1000 - 1, 0)});
    {
      std::lock_guard lock(FLock);
      FStretch.Peaks.Channels = columns.OutputChannels();
      FStretch.Peaks.SampleRate = rate;
    }
    std::vector<TPeak> fresh;
    {
      TReadScope read(*source);
      while (!FJob.Cancelled()) {
        uint8_t* data = nullptr;
        uint32_t bytes = kReadBytes;
        source->ReadData(data, bytes);
        if (bytes == 0) break;
        columns.Add(data, bytes, fresh);
      }
    }
    if (!FJob.Cancelled()) {
      columns.Finish(fresh);
      std::lock_guard lock(FLock);
      FStretch.Peaks.Peaks = std::move(fresh);
      FStretch.Peaks.Frames = columns.Frames();
      FStretch.Peaks.Complete = true;
    }
  } catch (const std::exception&) {
    // An unreadable stretch shows the overview; the file's own errors show when it is cut.
  }
  FJob.Publish();
}
