// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/peaks/peak_builder.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <memory>
#include <vector>

#include "cutting/kinds/kind_registry.h"
#include "cutting/peaks/peak_cache.h"
#include "cutting/peaks/peak_columns.h"
#include "cutting/read_scope.h"

namespace {

// The most a read asks for; each source hands out what it has (a WAV block is at most 16 KiB).
constexpr uint32_t kReadBytes = 1u << 20;
// Room reserved up front at most: two hours of stereo columns. A header may claim anything.
constexpr int64_t kMaxReservedPeaks = int64_t{2} * 3600 * TPeakOverview::kPeaksPerSecond * 2;

// A file of none of the kinds is tried by the kind whose runtime may know it.
std::unique_ptr<TAuFileIn> SourceFor(const std::filesystem::path& fileName) {
  return KindOrFallback(fileName).MakeSource();
}

}  // namespace

TPeakBuilder::~TPeakBuilder() {
  Cancel();
}

void TPeakBuilder::Start(const std::filesystem::path& fileName,
                         const std::filesystem::path& cacheFolder) {
  Cancel();
  {
    std::lock_guard lock(FLock);
    FPeaks = TPeakOverview{};
    FError.clear();
  }
  FFromCache = false;
  FJob.Start([this, fileName, cacheFolder] { Run(fileName, cacheFolder); });
}

void TPeakBuilder::Cancel() {
  FJob.Cancel();
}

void TPeakBuilder::Wait() {
  FJob.Wait();
}

TPeakOverview TPeakBuilder::Snapshot() const {
  std::lock_guard lock(FLock);
  return FPeaks;
}

std::string TPeakBuilder::Error() const {
  std::lock_guard lock(FLock);
  return FError;
}

void TPeakBuilder::Run(std::filesystem::path fileName, std::filesystem::path cacheFolder) {
  try {
    const auto key = cacheFolder.empty() ? std::nullopt : peak_cache::KeyOf(fileName);
    if (key) {
      if (auto cached = peak_cache::Load(cacheFolder, *key)) {
        {
          std::lock_guard lock(FLock);
          FPeaks = std::move(*cached);
        }
        FFromCache = true;
        FJob.Publish();
        return;
      }
    }
    Decode(fileName);
    // The key was taken before decoding: a file changed meanwhile gets no entry that
    // claims the new contents.
    if (key && !FJob.Cancelled()) {
      const TPeakOverview peaks = Snapshot();
      if (peaks.Complete) peak_cache::Save(cacheFolder, *key, peaks);
    }
  } catch (const std::exception& e) {
    Fail(e.what());
  } catch (...) {
    Fail("The peaks could not be built");
  }
}

void TPeakBuilder::Decode(const std::filesystem::path& fileName) {
  auto source = SourceFor(fileName);
  source->SetFileName(fileName);
  if (!source->Valid()) {
    Fail("The file holds no sound that can be read");
    return;
  }
  TPeakColumns columns(source->Channels(), source->BitsPerSample(), source->SampleRate());
  if (!columns.Valid()) {
    Fail("The file's sample format cannot be shown");
    return;
  }
  // Room for the whole overview at once, from what the header claims, within reason.
  const int rate = source->SampleRate();
  const int64_t claimed = std::clamp<int64_t>(source->TotalSamples(), 0, int64_t{1} << 40);
  const int64_t estimate =
      (claimed / std::max(1, rate / TPeakOverview::kPeaksPerSecond) + 2) * columns.OutputChannels();
  {
    std::lock_guard lock(FLock);
    FPeaks.Channels = columns.OutputChannels();
    FPeaks.SampleRate = rate;
    FPeaks.Peaks.reserve(static_cast<size_t>(std::min(estimate, kMaxReservedPeaks)));
  }
  TReadScope read(*source);
  std::vector<TPeak> fresh;
  while (!FJob.Cancelled()) {
    uint8_t* data = nullptr;
    uint32_t bytes = kReadBytes;
    source->ReadData(data, bytes);
    if (bytes == 0) break;
    columns.Add(data, bytes, fresh);
    Publish(fresh.data(), fresh.size(), columns.Frames(), false);
    fresh.clear();
  }
  if (FJob.Cancelled()) return;
  columns.Finish(fresh);
  Publish(fresh.data(), fresh.size(), columns.Frames(), true);
}

void TPeakBuilder::Publish(const TPeak* peaks, size_t count, int64_t frames, bool complete) {
  {
    std::lock_guard lock(FLock);
    FPeaks.Peaks.insert(FPeaks.Peaks.end(), peaks, peaks + count);
    FPeaks.Frames = frames;
    FPeaks.Complete = complete;
  }
  if (count > 0 || complete) FJob.Publish();
}

void TPeakBuilder::Fail(const std::string& message) {
  std::lock_guard lock(FLock);
  FError = message;
}
