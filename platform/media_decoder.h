// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/media_av.h"
#include "platform/media_converter.h"
#include "platform/media_packet_source.h"
#include "platform/media_resampler.h"
#include "platform/media_runtime.h"
#include "platform/media_timeline.h"

namespace trimora::media {

// Decodes one audio stream into the PCM of a straight decode of the file, from any sample
// on. A straight decode is what FFmpeg's own decoding of the file gives: every sample the
// decoder puts out, less those the timeline drops. Positions ("indexes") count the
// samples of that straight decode from 0.
//
// Seeking goes back to a point well before the target (how far is the packet source's
// business), decodes forward and drops everything before the target, so the samples from
// the target on are bit for bit those of the straight decode. A target a little ahead, or
// one that only a decode from the start reaches exactly, is reached by decoding on.
class TMediaDecoder {
 public:
  using TCodecMaker = std::function<TAvCodecPtr()>;

  // `timeline` holds what a straight decode drops beyond the decoder's own start-up, which
  // the decoder measures on its first frame.
  TMediaDecoder(TCodecMaker makeCodec, std::unique_ptr<TMediaPacketSource> source,
                TMediaTimeline timeline, int sampleRate, int channels, int bitsPerSample);

  // False when no decoder could be opened.
  bool Valid() const {
    return FCodec != nullptr && FFrame != nullptr && FDecoded != nullptr && FPacket != nullptr;
  }
  // The next piece of PCM, at most one decoded frame; NoMoreSamples at the end of the data
  // or of the range.
  TMediaResult Next(TMediaSample& sample);
  // Positions at straight-decode sample `index`; `end` (exclusive, -1: none) ends the range.
  TMediaResult Seek(int64_t index, int64_t end);
  // Changes the PCM format of the samples from the next one on.
  void SetFormat(int channels, int bitsPerSample);
  // Where the straight decode's sample 0 lies in the decoder's raw output (after Prime).
  const TMediaTimeline& Timeline() const { return FLine; }

 private:
  void Prime();
  bool Decode();
  bool Accept();
  bool Hold(int64_t raw);
  void TakePiece();

  TCodecMaker FMakeCodec;
  TAvCodecPtr FCodec;
  std::unique_ptr<TMediaPacketSource> FSource;
  TMediaTimeline FLine;
  int FRate;
  std::unique_ptr<TMediaConverter> FConverter;
  TMediaResampler FResampler;  // frames at another rate than the first, converted
  TAvPacketPtr FPacket;
  TAvFramePtr FFrame;
  TAvFramePtr FDecoded;   // the codec's last frame, before any conversion of its rate
  bool FPending = false;  // FDecoded waits for the resampler's stretch to go out

  bool FPrimed = false;
  bool FDraining = false;
  bool FEnded = false;
  bool FHeld = false;  // Frame holds samples not handed out yet
  int64_t FFrameRaw = 0;
  int64_t FNextRaw = 0;
  int FPieceFirst = 0;  // the part of Frame to hand out
  int FPieceCount = 0;
  int64_t FWant = 0;  // first index to deliver
  int64_t FEnd = -1;
  int64_t FExactFrom = 0;  // raw position from which the output is that of a straight decode
};

}  // namespace trimora::media
