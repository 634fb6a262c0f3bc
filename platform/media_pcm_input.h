// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/media_av.h"
#include "platform/media_runtime.h"

extern "C" {
#include <libavutil/audio_fifo.h>
}

namespace trimora::media {

struct TAvAudioFifoFreer {
  void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};
using TAvAudioFifoPtr = std::unique_ptr<AVAudioFifo, TAvAudioFifoFreer>;

// Turns a writer's declared PCM (interleaved 8-bit unsigned, 16-, 24- or 32-bit signed
// integers) into the encoder's planar float at the stream's rate and channel count, through
// libswresample, and queues the result. Fewer channels than the input means a downmix by
// libswresample's default matrix.
class TMediaPcmInput {
 public:
  // Null when the conversion cannot be set up.
  static std::unique_ptr<TMediaPcmInput> Make(const TWaveFormat& input, int rate, int channels);
  TMediaPcmInput() = default;  // use Make

  // Converts whole frames of `bytes` (a trailing partial frame is kept for the next call)
  // and queues them. False when the conversion or the queue fails.
  bool Add(const uint8_t* bytes, uint32_t size);
  // Converts what the resampler still holds.
  bool Flush();
  // Queues `count` frames of silence.
  bool AddSilence(int count);

  AVAudioFifo& Queue() { return *FFifo; }
  // Frames queued by Add and Flush (silence not counted), at the stream's rate.
  int64_t Converted() const { return FFrames; }

 private:
  bool Convert(const uint8_t** in, int frames);  // null `in` flushes

  TSwrPtr FSwr;
  TAvAudioFifoPtr FFifo;
  int FInBits = 16;
  int FInChannels = 0;
  int FOutChannels = 0;
  std::vector<uint8_t> FPartial;  // bytes of a frame split between two calls
  std::vector<int32_t> FWidened;  // 24-bit samples as 32-bit, which libswresample takes
  std::vector<std::vector<float>> FPlanes;
  std::vector<uint8_t*> FPlanePointers;
  int64_t FFrames = 0;
};

}  // namespace trimora::media
