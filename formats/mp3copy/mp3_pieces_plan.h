// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "formats/mp3copy/mp3_bridge.h"
#include "platform/media_mp3_frames.h"

// The bridged copy: pieces of one or two MP3 files one after another, their frames copied as
// they are except for a bridge of fresh frames at each join (see TMp3BridgeRequest).
//
// A copied frame keeps its 1152 samples (576 for MPEG-2 and 2.5), so each piece after a join
// is shifted against the output by whole frames: the sound removed at a join (or, between two
// files, the gap between them) is rounded to whole frames, and the next piece starts up to
// half a frame earlier or later than asked. The first piece starts and the last ends exactly,
// as in a cut: the tag frame's delay and padding say them.

// One file the pieces come from.
struct TMp3PieceSource {
  trimora::media::TMediaByteReader* Reader = nullptr;
  trimora::media::TMp3Start Start;
  trimora::media::TMp3FrameIndex* Index = nullptr;
};

// A piece: samples StartSample to EndSample (inclusive; -1: to the end) of a source's
// decode, as a cut counts them.
struct TMp3Piece {
  int Source = 0;
  int64_t StartSample = 0;
  int64_t EndSample = -1;
};

// A stretch of the output's frames: source frames copied, or a bridge.
struct TMp3PiecesRun {
  bool Bridge = false;
  int Source = 0;    // the copied frames' source
  int64_t From = 0;  // copied: source frames From..To; bridge: the request's frames
  int64_t To = -1;
  TMp3BridgeRequest Request;
};

struct TMp3PiecesPlan {
  std::vector<TMp3PiecesRun> Runs;
  // Per piece: its source, and the offset of its source's raw samples (the decoder's output
  // from the first audio frame on) from the output's: a whole number of frames.
  std::vector<int> Sources;
  std::vector<int64_t> Offsets;
  // Per join: the output sample (of the kept sound, from 0) where the next piece starts, and
  // how many samples later than asked it starts there (negative: earlier).
  std::vector<int64_t> Joins;
  std::vector<int64_t> Shifts;
  std::vector<uint8_t> LeadIn;  // the silent frame before the output's first, as in a cut
  uint32_t AudioHeader = 0;     // of the output's first audio frame after the lead-in
  int Delay = 0;
  int Padding = 0;
  int64_t Samples = 0;  // what a gapless decode of the output gives
  bool Vbr = false;
  int64_t FirstOut = 0;  // the output frame (on the first source's grid) after the lead-in
  int64_t JoinRaw0 = 0;  // the output raw sample the kept sound starts at
};

// The fades of a bridged copy, in samples: out before each join, in after it.
struct TMp3JoinFades {
  int64_t Out = 0;
  int64_t In = 0;
};

// Plans the output. EAuException with the reason when the frames cannot be kept: a source
// PlanMp3Copy refuses, sources of other rates or channel counts, a piece too short.
TMp3PiecesPlan PlanMp3Pieces(std::vector<TMp3PieceSource>& sources,
                             const std::vector<TMp3Piece>& pieces, const TMp3JoinFades& fades = {});

// The joined sound a bridge encodes, for the output's raw samples [from, to): each sample from
// the piece it lies in, faded as asked; interleaved 16-bit.
std::vector<int16_t> Mp3JoinedSound(std::vector<TMp3PieceSource>& sources,
                                    const TMp3PiecesPlan& plan, int64_t from, int64_t to,
                                    const TMp3JoinFades& fades = {});
