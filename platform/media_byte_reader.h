// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/media_runtime.h"

namespace trimora::media {

// Reads a media stream at absolute offsets through one window of buffered bytes, for the
// header walks (ASF objects, MP3 frame headers) and for the MP3 frames themselves. It moves
// the stream's position, so it is never used while FFmpeg reads the same stream.
class TMediaByteReader {
 public:
  static constexpr size_t kWindow = 64 * 1024;

  explicit TMediaByteReader(IMediaStream& stream);

  // The stream's size, or -1 when the stream cannot tell.
  int64_t Size() const { return FStreamSize; }
  // Up to `count` (at most kWindow) bytes at `offset`; shorter at the end of the stream or
  // on a read error. Valid until the next call.
  std::span<const uint8_t> Peek(int64_t offset, size_t count);
  // Copies the bytes at `offset` into `dest`; returns how many there were.
  size_t ReadAt(int64_t offset, std::span<uint8_t> dest);

 private:
  void Fill(int64_t offset);

  IMediaStream& FStream;
  int64_t FStreamSize = -1;
  std::vector<uint8_t> FBuffer;
  int64_t FBufferOffset = 0;
  size_t FBufferLength = 0;
};

}  // namespace trimora::media
