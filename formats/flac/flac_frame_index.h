// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/flac/flac_stream.h"
#include "pipeline/au_stream.h"

// The frames of a FLAC stream, found one after the other as far as a caller asks: a frame
// ends where the next good header begins and the frame's CRC-16 checks. Samples count from
// the first frame's first sample as 0, by the frames' block sizes, so that a stream whose
// numbers start elsewhere or skip still counts as a decoder plays it.
//
// The walk stops at the end of the data, before trailing bytes that are no frame (a tag), or
// at a frame that is damaged or disagrees with the STREAMINFO block; Problem() then says
// which. Only a window of the file is held in memory (about a MiB, more only for a frame
// that is larger), and 32 bytes per frame.
class TFlacFrameIndex {
 public:
  struct TFrame {
    int64_t Offset = 0;
    int64_t FirstSample = 0;
    uint32_t Bytes = 0;
    uint32_t BlockSize = 0;
    uint8_t HeaderBytes = 0;
  };

  TFlacFrameIndex(TAuStream& stream, const TFlacStart& start);

  // Finds frames until frame `k` is known; false when the stream has fewer.
  bool Reach(int64_t k);
  void ReachEnd();
  int64_t Known() const { return static_cast<int64_t>(FFrames.size()); }
  bool Ended() const { return FEnded; }
  const TFrame& Frame(int64_t k) const { return FFrames[static_cast<size_t>(k)]; }
  // The frame holding `sample`, found as far as needed; -1 when the stream ends before it.
  int64_t FrameAt(int64_t sample);
  // The samples of the frames known so far.
  int64_t Samples() const;
  // Why the walk ended before the data did ("" when it has not, or ended at the data's end).
  const std::string& Problem() const { return FProblem; }
  // The bytes that have been walked over, for progress.
  int64_t Walked() const { return FNext; }

  // The bytes of frame `k` (a known frame), valid until the next call.
  const uint8_t* FrameBytes(int64_t k);

 private:
  bool FindNext();
  bool FindEnd(int64_t offset, const TFlacFrameHeader& header, int64_t& end);
  bool Matches(const TFlacFrameHeader& header) const;
  bool FramesFollow(int64_t offset);
  void Stop(const std::string& problem, int64_t offset);
  // Makes bytes [offset, offset + count) readable (fewer at the end of the stream); their
  // address, with the count readable in `available`.
  const uint8_t* Window(int64_t offset, size_t count, size_t& available);

  TAuStream& FStream;
  TFlacStreamInfo FInfo;
  int64_t FSize = 0;
  int64_t FNext = 0;  // where the next frame begins
  bool FEnded = false;
  bool FVariable = false;  // the first frame's blocking strategy, which every frame keeps
  std::string FProblem;
  std::vector<TFrame> FFrames;
  std::vector<uint8_t> FBuffer;
  int64_t FBufferStart = 0;
  size_t FBufferBytes = 0;
};
