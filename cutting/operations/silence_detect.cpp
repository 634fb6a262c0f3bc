// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/operations/silence_detect.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "cutting/cut_error.h"
#include "cutting/read_scope.h"
#include "pipeline/sample_convert.h"

namespace {

// The most a read asks for; each source hands out what it has.
constexpr uint32_t kReadBytes = 1u << 20;

// Turns blocks of interleaved PCM into window levels and the windows into silences. Blocks
// may end inside a frame; the rest carries over to the next block.
class TSilenceScan {
 public:
  TSilenceScan(int channels, int bits, bool floats, int rate, const TSilenceSettings& settings)
      : FChannels(channels),
        FSampleBytes(bits / 8),
        FFloats(floats),
        FWindow(std::max(1, rate / TSilenceDetector::kWindowsPerSecond)),
        FMinFrames(static_cast<int64_t>(settings.MinSilenceMs) * rate / 1000),
        FQuietSquare(std::pow(10.0, settings.ThresholdDb / 10.0)) {}

  bool Valid() const {
    return FChannels > 0 && (FFloats ? FSampleBytes == 4 || FSampleBytes == 8
                                     : FSampleBytes >= 1 && FSampleBytes <= 4);
  }

  void Add(const uint8_t* data, size_t bytes) {
    const size_t frameBytes = static_cast<size_t>(FSampleBytes) * static_cast<size_t>(FChannels);
    FPending.insert(FPending.end(), data, data + bytes);
    const size_t frames = FPending.size() / frameBytes;
    const size_t samples = frames * static_cast<size_t>(FChannels);
    FValues.resize(samples);
    Convert(FPending.data(), samples);
    for (size_t frame = 0; frame < frames; ++frame) {
      for (int c = 0; c < FChannels; ++c) {
        const double v = FValues[frame * static_cast<size_t>(FChannels) + static_cast<size_t>(c)];
        FSquares += v * v;
      }
      if (++FInWindow == FWindow) EndWindow();
    }
    FPending.erase(FPending.begin(),
                   FPending.begin() + static_cast<std::ptrdiff_t>(frames * frameBytes));
  }

  std::vector<TSilence> Finish() {
    if (FInWindow > 0) EndWindow();
    EndQuiet(FFrames);
    return std::move(FFound);
  }

  int64_t Frames() const { return FFrames; }

 private:
  void Convert(const uint8_t* data, size_t samples) {
    if (FFloats) {
      for (size_t i = 0; i < samples; ++i) {
        if (FSampleBytes == 4) {
          float v;
          std::memcpy(&v, data + i * 4, 4);
          FValues[i] = std::isfinite(v) ? v : 1.0f;
        } else {
          double v;
          std::memcpy(&v, data + i * 8, 8);
          FValues[i] = std::isfinite(v) ? static_cast<float>(v) : 1.0f;
        }
      }
      return;
    }
    switch (FSampleBytes) {
      case 1:
        PCM8ToFloat(data, FValues.data(), samples);
        break;
      case 2:
        PCM16ToFloat(data, FValues.data(), samples);
        break;
      case 3:
        PCM24ToFloat(data, FValues.data(), samples);
        break;
      default:
        PCM32ToFloat(data, FValues.data(), samples);
        break;
    }
  }

  void EndWindow() {
    const int64_t start = FFrames;
    FFrames += FInWindow;
    const bool quiet = FSquares / static_cast<double>(FInWindow * FChannels) < FQuietSquare;
    FSquares = 0;
    FInWindow = 0;
    if (quiet) {
      if (FQuietFrom < 0) FQuietFrom = start;
    } else {
      EndQuiet(start);
    }
  }

  // The quiet run, if any, ends at frame `end`.
  void EndQuiet(int64_t end) {
    if (FQuietFrom >= 0 && end - FQuietFrom >= FMinFrames && end > FQuietFrom)
      FFound.push_back({FQuietFrom, end});
    FQuietFrom = -1;
  }

  int FChannels;
  int FSampleBytes;
  bool FFloats;
  int FWindow;
  int64_t FMinFrames;
  double FQuietSquare;  // the threshold as a mean square of full-scale values
  std::vector<uint8_t> FPending;
  std::vector<float> FValues;
  double FSquares = 0;
  int FInWindow = 0;
  int64_t FFrames = 0;  // frames in finished windows
  int64_t FQuietFrom = -1;
  std::vector<TSilence> FFound;
};

}  // namespace

std::vector<TSilence> TSilenceDetector::Detect(TAuFileIn& source, const TSilenceSettings& settings,
                                               const std::function<void(int)>& progress) {
  FFrames = 0;
  TSilenceScan scan(source.Channels(), source.BitsPerSample(), source.FloatSamples(),
                    source.SampleRate(), settings);
  if (!scan.Valid() || source.SampleRate() <= 0)
    throw ECutError("the file's sample format cannot be measured");
  source.StartSample = 0;
  source.EndSample = -1;
  TReadScope read(source);
  int shown = -1;
  while (!FStop) {
    uint8_t* data = nullptr;
    uint32_t bytes = kReadBytes;
    source.ReadData(data, bytes);
    if (bytes == 0) break;
    scan.Add(data, bytes);
    FFrames = scan.Frames();
    const int64_t size = source.Size();
    const int percent =
        size > 0 ? static_cast<int>(std::min<int64_t>(source.Position() * 100 / size, 100)) : -1;
    if (progress && percent != shown) progress(shown = percent);
  }
  // A compressed source's size is an estimate: the end is shown as the end.
  if (progress && !FStop && shown != 100) progress(100);
  std::vector<TSilence> found = scan.Finish();
  FFrames = scan.Frames();
  return found;
}
