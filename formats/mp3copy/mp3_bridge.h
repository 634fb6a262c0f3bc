// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The bridge of a bridged copy: a few frames at a join, encoded afresh from the joined sound,
// between frames copied as they are on either side.
//
// The bridge lies on the copied frames' grid: its encoder is fed the sound from some frames
// before the bridge on (those frames are dropped), shifted by the encoder's and decoder's
// delay, so that bridge frame j decodes to the samples of output frame First + j. The
// transform's overlap at each end then adds up as between the source's own frames: the
// first bridge frame continues the frame copied before it, and the frame copied after the
// bridge finds in the last bridge frame's overlap the sound it continues. The bit reservoir is
// off, so each bridge frame holds its own main data; the last one also carries, at the end of
// its data area, the reservoir bytes the frame copied after it reaches back for, and takes a
// larger bit-rate index when they do not fit beside its own data (as the silent lead-in
// frame of a cut does).
struct TMp3BridgeRequest {
  uint32_t Header = 0;  // a source frame's header: MPEG version, sample rate, channel mode
  int Kbps = 0;         // the bit rate of the bridge frames
  int64_t First = 0;    // the output frame the bridge starts at
  int Frames = 0;       // bridge frames
  // The bytes the frame after the bridge reaches back for; empty when none follows.
  std::vector<uint8_t> Reservoir;
};

// The stretch of output samples (raw, the decoder's delay included, from output frame 0 on)
// the encoder of `request` is fed: Pcm of EncodeMp3Bridge covers [From, To).
struct TMp3BridgeInput {
  int64_t From = 0;
  int64_t To = 0;
};
TMp3BridgeInput Mp3BridgeInput(const TMp3BridgeRequest& request, int samplesPerFrame);

// The bridge's frames, each a whole MPEG frame. `pcm` holds interleaved 16-bit samples of
// the header's channels for Mp3BridgeInput. EAuException when the encoder refuses the format
// or the reservoir fits in no frame.
std::vector<std::vector<uint8_t>> EncodeMp3Bridge(const TMp3BridgeRequest& request,
                                                  const std::vector<int16_t>& pcm);

// Whether a frame at the highest bit rate of `header`'s kind holds the main data of a frame at
// `kbps` and `reservoir` bytes besides: where it does not, the bridge must grow by a frame so
// that another frame follows it.
bool Mp3BridgeHoldsReservoir(uint32_t header, int kbps, size_t reservoir);
