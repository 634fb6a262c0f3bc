// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "platform/media_mp3_frames.h"

class TAuStream;

// The lossless MP3 cut: the source's frames are copied byte for byte, and a new tag frame
// ("Info" or "Xing" with LAME's extension) tells a gapless decoder how many samples to drop
// at the start and the end, so that it gives exactly the chosen samples.
//
// A frame decodes exactly only after the frame before it (MPEG-1) or the two before it
// (MPEG-2 and 2.5, whose frames hold one granule): the overlap of the transform and the
// synthesis filter's memory come from them. So the copy starts that many frames early. Those
// frames must decode right themselves, and their main data may reach back (main_data_begin)
// into frames before them, up to 511 bytes at a low bit rate, which is several frames. Rather
// than copy all of those, whose samples would push the delay past the 12 bits the header
// holds, the copy starts with one silent lead-in frame of our own whose ancillary bytes are
// exactly the reservoir the first copied frame reaches back into. A silent frame leaves the
// decoder in the state it starts in, so a copy from the file's first frame stays exact too,
// however early the range starts.
//
// The output is: the tag frame, the lead-in frame, then source frames First..Last unchanged.
struct TMp3CopyPlan {
  int64_t First = 0;  // the first and last source frame copied (indices of the frame index)
  int64_t Last = -1;
  std::vector<uint8_t> LeadIn;
  uint32_t AudioHeader = 0;  // the first copied frame's header, for the tag frame
  int Delay = 0;             // what the tag frame says: samples to drop at the start
  int Padding = 0;           // and at the end, the decoder's delay included as LAME counts it
  int64_t Samples = 0;       // what a gapless decode of the output gives
  bool Vbr = false;          // the frames' bit rates vary
};

// Plans the copy of the sound from `startSample` to `endSample` (inclusive; -1: to the end),
// counted as a decode of the file gives it (its encoder delay dropped when a LAME tag says
// it). `index` walks the frames of `start`. Raises EAuException with the reason when the
// frames cannot be kept: no layer III, mixed layers, free format, nothing in the range.
TMp3CopyPlan PlanMp3Copy(trimora::media::TMediaByteReader& reader,
                         const trimora::media::TMp3Start& start,
                         trimora::media::TMp3FrameIndex& index, int64_t startSample,
                         int64_t endSample);

// Finds the audio of the MP3 file in `reader`; EAuException with the reason when there is
// none that can be kept (free-format frames among them).
trimora::media::TMp3Start LocateCopyableAudio(trimora::media::TMediaByteReader& reader);

// The seek table of a variable-bit-rate copy (see TInfoTagFacts::Toc) whose tag frame takes
// `tagBytes`.
std::vector<uint8_t> CopySeekTable(const TMp3CopyPlan& plan, trimora::media::TMp3FrameIndex& index,
                                   uint64_t tagBytes);

// What the copy and the bridged copy of several pieces share.
// Frames that must decode before a frame for it to come out exactly (see above).
int64_t Mp3PrimingFrames(const trimora::media::TMpegHeader& header);
// The bytes of frame `frame` as the index found it.
std::vector<uint8_t> ReadMp3Frame(trimora::media::TMediaByteReader& reader,
                                  const trimora::media::TMp3FrameIndex::TFrame& frame);
// Where a layer III frame's data area starts: after the header, the CRC and the side
// information.
size_t Mp3DataStart(const trimora::media::TMpegHeader& header);
// The `count` bytes before the main data of frame `frame` in the stream of the frames' data
// areas: what its main_data_begin reaches back into (zeros where the frames before hold
// fewer).
std::vector<uint8_t> Mp3ReservoirBefore(trimora::media::TMediaByteReader& reader,
                                        trimora::media::TMp3FrameIndex& index, int64_t frame,
                                        size_t count);

// Reads the frames from `from` on, at most up to `last`, that lie back to back in the file, at
// most `maxBytes` of them but at least one, into `buffer`; gives the number of the frame after
// them. A damaged stretch between frames ends the run, so that it is left out as a decoder
// passes over it.
int64_t ReadAdjoiningFrames(const trimora::media::TMp3FrameIndex& index, TAuStream& stream,
                            int64_t from, int64_t last, int64_t maxBytes,
                            std::vector<uint8_t>& buffer);
