// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_byte_reader.h"

#include <algorithm>
#include <cstring>

namespace trimora::media {

TMediaByteReader::TMediaByteReader(IMediaStream& stream) : FStream(stream), FBuffer(kWindow) {
  uint64_t size = 0;
  if (Succeeded(FStream.Stat(size)) && size <= static_cast<uint64_t>(INT64_MAX))
    FStreamSize = static_cast<int64_t>(size);
}

void TMediaByteReader::Fill(int64_t offset) {
  FBufferOffset = offset;
  FBufferLength = 0;
  uint64_t position = 0;
  if (offset < 0 || !Succeeded(FStream.Seek(offset, TMediaSeekOrigin::Begin, position))) return;
  while (FBufferLength < FBuffer.size()) {
    uint32_t got = 0;
    const auto want = static_cast<uint32_t>(FBuffer.size() - FBufferLength);
    if (!Succeeded(FStream.Read(FBuffer.data() + FBufferLength, want, got)) || got == 0) break;
    FBufferLength += std::min<size_t>(got, want);
  }
}

std::span<const uint8_t> TMediaByteReader::Peek(int64_t offset, size_t count) {
  count = std::min(count, kWindow);
  if (offset < 0) return {};
  const bool inside =
      offset >= FBufferOffset &&
      offset + static_cast<int64_t>(count) <= FBufferOffset + static_cast<int64_t>(FBufferLength);
  // Refill unless the window already holds the bytes, or holds everything up to the end.
  const bool atEnd = FStreamSize >= 0 && offset >= FBufferOffset &&
                     FBufferOffset + static_cast<int64_t>(FBufferLength) == FStreamSize;
  if (!inside && !atEnd) Fill(offset);
  if (offset < FBufferOffset) return {};
  const auto skip = static_cast<size_t>(offset - FBufferOffset);
  if (skip >= FBufferLength) return {};
  return {FBuffer.data() + skip, std::min(count, FBufferLength - skip)};
}

size_t TMediaByteReader::ReadAt(int64_t offset, std::span<uint8_t> dest) {
  size_t done = 0;
  while (done < dest.size()) {
    const auto piece = Peek(offset + static_cast<int64_t>(done), dest.size() - done);
    if (piece.empty()) break;
    std::memcpy(dest.data() + done, piece.data(), piece.size());
    done += piece.size();
  }
  return done;
}

}  // namespace trimora::media
