// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "pipeline/au_stream.h"
#include "platform/media_runtime.h"
#include <string>

#include "platform/media_writer.h"

// Lets the media runtime read or write a file through our own stream instead of opening
// the file by name. It refers to the stream without owning it; the reader or writer keeps
// the adapter alive for as long as it uses it.
class TAudioStream final : public trimora::media::IMediaStream,
                           public trimora::media::IMediaWriteStream {
 public:
  explicit TAudioStream(TAuStream& stream) : Stream(stream) {}

  // Fail when nothing was read (the end of the stream, or a read error).
  trimora::media::TMediaResult Read(void* buffer, uint32_t count, uint32_t& read) override;
  trimora::media::TMediaResult Seek(int64_t offset, trimora::media::TMediaSeekOrigin origin,
                                    uint64_t& newPosition) override;
  trimora::media::TMediaResult Stat(uint64_t& size) override;
  // Fail when nothing was written; WriteError then says why.
  trimora::media::TMediaResult Write(const void* buffer, uint32_t count,
                                     uint32_t& written) override;
  // The system's reason for the last failed write ("No space left on device"), or empty.
  const std::string& WriteError() const { return FWriteError; }
  // Positions the stream at `size` bytes from its start.
  trimora::media::TMediaResult SetSize(uint64_t size);

 private:
  TAuStream& Stream;
  std::string FWriteError;
};
