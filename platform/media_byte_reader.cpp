// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_byte_reader.h"

#include <algorithm>
#include <cstring>

namespace trimora::media {

TMediaByteReader::TMediaByteReader(IMediaStream& stream) : Stream(stream), Buffer(kWindow) {
  uint64_t size = 0;
  if (Succeeded(Stream.Stat(size)) && size <= static_cast<uint64_t>(INT64_MAX))
    StreamSize = static_cast<int64_t>(size);
}

void TMediaByteReader::Fill(int64_t offset) {
  BufferOffset = offset;
  BufferLength = 0;
  uint64_t position = 0;
  if (offset < 0 || !Succeeded(Stream.Seek(offset, TMediaSeekOrigin::Begin, position))) return;
  while (BufferLength < Buffer.size()) {
    uint32_t got = 0;
    const auto want = static_cast<uint32_t>(Buffer.size() - BufferLength);
    if (!Succeeded(Stream.Read(Buffer.data() + BufferLength, want, got)) || got == 0) break;
    BufferLength += std::min<size_t>(got, want);
  }
}

std::span<const uint8_t> TMediaByteReader::Peek(int64_t offset, size_t count) {
  count = std::min(count, kWindow);
  if (offset < 0) return {};
  const bool inside =
      offset >= BufferOffset &&
      offset + static_cast<int64_t>(count) <= BufferOffset + static_cast<int64_t>(BufferLength);
  // Refill unless the window already holds the bytes, or holds everything up to the end.
  const bool atEnd = StreamSize >= 0 && offset >= BufferOffset &&
                     BufferOffset + static_cast<int64_t>(BufferLength) == StreamSize;
  if (!inside && !atEnd) Fill(offset);
  if (offset < BufferOffset) return {};
  const auto skip = static_cast<size_t>(offset - BufferOffset);
  if (skip >= BufferLength) return {};
  return {Buffer.data() + skip, std::min(count, BufferLength - skip)};
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
