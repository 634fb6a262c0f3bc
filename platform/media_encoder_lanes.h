// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "platform/media_av.h"

extern "C" {
#include <libavutil/audio_fifo.h>
}

namespace trimora::media {

struct TEncoderSetup;

// Runs FFmpeg's WMA encoder over chunks of frames, on two encoders at once when it has two
// lanes. A frame's packet depends only on that frame and the one before it (the encoders
// keep nothing else between frames: fixed block length, no bit reservoir), so an encoder
// that is first given the frame before a chunk encodes the chunk exactly as one encoder
// going through the whole stream would; the packet of that leading frame is dropped.
// Packets come out in stream order, byte for byte the same with one lane or two.
class TEncoderLanes {
 public:
  using TMux = std::function<bool(AVPacket&)>;

  // Null when an encoder cannot be opened.
  static std::unique_ptr<TEncoderLanes> Make(const TEncoderSetup& setup, bool globalHeader,
                                             int lanes);
  TEncoderLanes() = default;  // use Make
  ~TEncoderLanes();
  TEncoderLanes(const TEncoderLanes&) = delete;
  TEncoderLanes& operator=(const TEncoderLanes&) = delete;

  const AVCodecContext& Codec() const { return *FLanes[0].Codec; }
  int FrameSize() const { return FFrame; }
  // Encodes the whole frames queued in `fifo` (with `all`, the rest too, the last frame
  // padded with silence, and every chunk still in hand) and hands the packets finished so
  // far to `mux` in order.
  bool Take(AVAudioFifo& fifo, bool all, const TMux& mux);

 private:
  struct TLane {
    TAvCodecPtr Codec;
    TAvFramePtr Input;
    TAvPacketPtr Packet;
  };
  struct TChunk {
    std::vector<std::vector<float>> Planes;  // per channel: the leading frame, then Frames
    int Frames = 0;
    std::vector<TAvPacketPtr> Packets;
  };

  bool Submit(const TMux& mux);
  bool Encode(TLane& lane, TChunk& chunk);
  static bool MuxAll(TChunk& chunk, const TMux& mux);
  void StartChunk();

  std::vector<TLane> FLanes;
  int FFrame = 0;
  int FChannels = 0;
  int FChunkFrames = 1;
  TChunk FCurrent;
  TChunk FPending;                        // encoded on the second lane while Current fills
  std::vector<std::vector<float>> FLast;  // the last frame of the chunk before Current
  std::future<bool> FPendingDone;         // declared last: waited for before the chunks go
};

}  // namespace trimora::media
