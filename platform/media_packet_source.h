// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "platform/media_av.h"

namespace trimora::media {

// Where a decoder's compressed packets come from. Every packet carries a time stamp from
// which RawPosition gives the sample position of its first sample in the undecimated
// decode, that is counting every sample the decoder puts out from the first packet on.
class TMediaPacketSource {
 public:
  virtual ~TMediaPacketSource() = default;

  // The time base of the packets' time stamps.
  virtual AVRational TimeBase() const = 0;
  // The next packet into `packet` (which it replaces); false at the end of the data.
  virtual bool Next(AVPacket& packet) = 0;
  virtual int64_t RawPosition(int64_t pts) const = 0;
  // The sample rate of the packet stamped `pts`, where the source knows it better than the
  // decoder's frame does (an MP3 decoder labels the first frame after a change of rate with
  // the rate before it); 0 otherwise.
  virtual int PacketRate(int64_t) const { return 0; }
  // Whether SeekBefore gives the exact samples of an undisturbed decode. When it cannot,
  // the only exact way to a sample is to decode from the start.
  virtual bool SeeksExactly() const = 0;
  // Moves back far enough before `raw` that a decoder flushed here delivers the exact
  // samples of an undisturbed decode from `raw` on. False when that means the start (or the
  // seek failed): the caller then rewinds.
  virtual bool SeekBefore(int64_t raw) = 0;
  // Back to the first packet. False when the source cannot go back.
  virtual bool Rewind() = 0;
};

}  // namespace trimora::media
