// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/media/audio_stream.h"

#include <exception>
#include <limits>

using trimora::media::TMediaResult;
using trimora::media::TMediaSeekOrigin;

// The stream classes raise EAuException on failure; the runtime takes results instead.

TMediaResult TAudioStream::Read(void* buffer, uint32_t count, uint32_t& read) {
  read = 0;
  try {
    const int64_t got = Stream.Read(buffer, count);
    read = static_cast<uint32_t>(got > 0 ? got : 0);
  } catch (const std::exception&) {
    return TMediaResult::Fail;
  }
  return read > 0 ? TMediaResult::Ok : TMediaResult::Fail;
}

TMediaResult TAudioStream::Write(const void* buffer, uint32_t count, uint32_t& written) {
  written = 0;
  try {
    const int64_t put = Stream.Write(buffer, count);
    written = static_cast<uint32_t>(put > 0 ? put : 0);
  } catch (const std::exception& e) {
    FWriteError = e.what();
    return TMediaResult::Fail;
  }
  return written > 0 ? TMediaResult::Ok : TMediaResult::Fail;
}

TMediaResult TAudioStream::Seek(int64_t offset, TMediaSeekOrigin origin, uint64_t& newPosition) {
  const TSeekOrigin from = origin == TMediaSeekOrigin::Begin     ? soBeginning
                           : origin == TMediaSeekOrigin::Current ? soCurrent
                                                                 : soEnd;
  try {
    const int64_t position = Stream.Seek(offset, from);
    if (position < 0) return TMediaResult::Fail;
    newPosition = static_cast<uint64_t>(position);
  } catch (const std::exception&) {
    return TMediaResult::Fail;
  }
  return TMediaResult::Ok;
}

TMediaResult TAudioStream::SetSize(uint64_t size) {
  uint64_t position = 0;
  if (size > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
    return TMediaResult::InvalidArgument;
  return Seek(static_cast<int64_t>(size), TMediaSeekOrigin::Begin, position);
}

TMediaResult TAudioStream::Stat(uint64_t& size) {
  try {
    const int64_t bytes = Stream.Size();
    if (bytes < 0) return TMediaResult::Fail;
    size = static_cast<uint64_t>(bytes);
  } catch (const std::exception&) {
    return TMediaResult::Fail;
  }
  return TMediaResult::Ok;
}
