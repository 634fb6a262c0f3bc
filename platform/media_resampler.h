// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "platform/media_av.h"

namespace trimora::media {

// Converts a stretch of decoded frames at another rate than the stream's first frames
// (frames of a second file joined on) to the first rate, so that the stretch reads on one
// clock with the rest. A stretch comes out as exactly ConvertedSamples of what went in,
// placed from the raw position of its first frame on, whatever libswresample's delay: the
// lengths counted before a decode hold.
class TMediaResampler {
 public:
  explicit TMediaResampler(int rate) : FRate(rate) {}
  ~TMediaResampler();
  TMediaResampler(const TMediaResampler&) = delete;
  TMediaResampler& operator=(const TMediaResampler&) = delete;

  // Whether a stretch is under way (frames went in since the last Finish).
  bool Active() const { return FSwr != nullptr; }
  // Whether `frame` belongs to the stretch under way: the same rate, channels and format.
  bool Continues(const AVFrame& frame) const;
  // Takes `frame` in, starting a stretch at raw position `raw` when none is under way. False
  // when the conversion cannot be set up or fails.
  bool Push(const AVFrame& frame, int64_t raw);
  // Ends the stretch: its last samples come out on the next Pull.
  bool Finish();
  // The converted samples not handed out yet, moved into `out` with their raw position;
  // false when there are none.
  bool Pull(AVFrame& out, int64_t& raw);
  // Drops the stretch and whatever is left of it (a seek).
  void Reset();

 private:
  bool Start(const AVFrame& frame, int64_t raw);
  // Makes FOut hold room for `count` more samples after those it holds.
  bool Reserve(int64_t count);
  // Where FOut's sample `offset` goes, plane by plane.
  uint8_t** Planes(int offset);

  int FRate;
  TSwrPtr FSwr;
  TAvFramePtr FOut;   // converted, not yet handed out
  int FCapacity = 0;  // samples FOut has room for
  AVChannelLayout FLayout{};
  std::vector<uint8_t*> FPlanes;
  int FInRate = 0;
  int FInFormat = -1;
  int FInChannels = 0;
  int64_t FIn = 0;      // samples taken in since the stretch began
  int64_t FOutRaw = 0;  // raw position of FOut's first sample
  int64_t FMade = 0;    // samples converted since the stretch began
};

}  // namespace trimora::media
