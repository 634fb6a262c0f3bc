// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_play_output.h"

#include <chrono>
#include <vector>

namespace trimora::media {

TSilentOutput::~TSilentOutput() {
  Stop();
}

void TSilentOutput::Start(TPlayBuffer& buffer, TPlayFormat format) {
  Stop();
  {
    std::lock_guard lock(FLock);
    FStopping = false;
    FPaused = false;
  }
  FFrames = 0;
  FFinished = false;
  FThread = std::thread([this, &buffer, format] { Run(buffer, format); });
}

void TSilentOutput::Pause() {
  std::lock_guard lock(FLock);
  FPaused = true;
}

void TSilentOutput::Resume() {
  {
    std::lock_guard lock(FLock);
    FPaused = false;
  }
  FWake.notify_all();
}

void TSilentOutput::Stop() {
  {
    std::lock_guard lock(FLock);
    FStopping = true;
  }
  FWake.notify_all();
  if (FThread.joinable()) FThread.join();
}

// Every few milliseconds takes as many frames as the time since the last look is worth. What
// the decoder could not deliver in time is not owed later: a device skips on an underrun too.
void TSilentOutput::Run(TPlayBuffer& buffer, TPlayFormat format) {
  using Clock = std::chrono::steady_clock;
  constexpr auto kStep = std::chrono::milliseconds(10);
  auto last = Clock::now();
  double owed = 0;
  std::unique_lock lock(FLock);
  while (true) {
    FWake.wait_for(lock, kStep, [this] { return FStopping; });
    if (FStopping) return;
    const auto now = Clock::now();
    if (FPaused) {
      last = now;
      continue;
    }
    owed += std::chrono::duration<double>(now - last).count() * format.Rate;
    last = now;
    const auto frames = static_cast<int64_t>(owed);
    owed -= static_cast<double>(frames);
    const size_t bytes = buffer.Read(nullptr, static_cast<size_t>(frames) * format.FrameBytes());
    FFrames += static_cast<int64_t>(bytes) / format.FrameBytes();
    if (buffer.Drained()) {
      FFinished = true;
      return;
    }
  }
}

}  // namespace trimora::media
