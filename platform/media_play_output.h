// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/media_play_decoder.h"

namespace trimora::media {

// Where the player's PCM goes: a sound device, or a clock that consumes it in silence. The
// player calls these from its own (the application's) thread.
class IPlayOutput {
 public:
  virtual ~IPlayOutput() = default;
  // The format the output plays `wanted` as: the same, or the nearest the device accepts.
  virtual TPlayFormat Accept(TPlayFormat wanted) = 0;
  // Starts consuming `buffer`, which outlives the output's use of it. EMediaPlayerError when
  // the device cannot start.
  virtual void Start(TPlayBuffer& buffer, TPlayFormat format) = 0;
  virtual void Pause() = 0;
  virtual void Resume() = 0;
  // Stops consuming for good; the buffer is not touched afterwards.
  virtual void Stop() = 0;
  // Frames the output has consumed since Start.
  virtual int64_t FramesPlayed() const = 0;
  // Everything the decoder delivered has been played (or the device gave up).
  virtual bool Finished() const = 0;
};

// Consumes the PCM at real-time pace on a thread of its own, so that positions, ranges and
// pausing behave as with sound when there is no device to hear it on.
class TSilentOutput final : public IPlayOutput {
 public:
  ~TSilentOutput() override;
  TPlayFormat Accept(TPlayFormat wanted) override { return wanted; }
  void Start(TPlayBuffer& buffer, TPlayFormat format) override;
  void Pause() override;
  void Resume() override;
  void Stop() override;
  int64_t FramesPlayed() const override { return FFrames; }
  bool Finished() const override { return FFinished; }

 private:
  void Run(TPlayBuffer& buffer, TPlayFormat format);

  std::mutex FLock;
  std::condition_variable FWake;
  bool FStopping = false;  // under FLock
  bool FPaused = false;    // under FLock
  std::atomic<int64_t> FFrames{0};
  std::atomic<bool> FFinished{false};
  std::thread FThread;
};

// The default sound device of the system; null, with the reason in `whyNot`, when there is
// none (or the environment variable TRIMORA_SILENT_AUDIO is 1). Needs a running Qt
// application on the calling thread.
std::unique_ptr<IPlayOutput> MakeDeviceOutput(std::string& whyNot);

}  // namespace trimora::media
