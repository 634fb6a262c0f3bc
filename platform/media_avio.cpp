// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_avio.h"

#include <cstdio>
#include <mutex>

namespace trimora::media {

void QuietFfmpeg() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}
namespace {

constexpr int kBufferSize = 64 * 1024;

// The callbacks run inside FFmpeg's C code, which an exception must never cross.
int ReadPacket(void* opaque, uint8_t* buffer, int size) noexcept try {
  auto* stream = static_cast<IMediaStream*>(opaque);
  if (size <= 0) return AVERROR_EOF;
  uint32_t got = 0;
  if (!Succeeded(stream->Read(buffer, static_cast<uint32_t>(size), got)) || got == 0)
    return AVERROR_EOF;
  return static_cast<int>(got > static_cast<uint32_t>(size) ? static_cast<uint32_t>(size) : got);
} catch (...) {
  return AVERROR(EIO);
}

int64_t SeekStream(void* opaque, int64_t offset, int whence) noexcept try {
  auto* stream = static_cast<IMediaStream*>(opaque);
  if (whence & AVSEEK_SIZE) {
    uint64_t size = 0;
    if (!Succeeded(stream->Stat(size))) return AVERROR(ENOSYS);
    return static_cast<int64_t>(size);
  }
  TMediaSeekOrigin origin = TMediaSeekOrigin::Begin;
  if (!MediaSeekOrigin(whence, origin)) return AVERROR(EINVAL);
  uint64_t position = 0;
  if (!Succeeded(stream->Seek(offset, origin, position))) return AVERROR(EIO);
  return static_cast<int64_t>(position);
} catch (...) {
  return AVERROR(EIO);
}

}  // namespace

bool MediaSeekOrigin(int whence, TMediaSeekOrigin& origin) {
  switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET:
      origin = TMediaSeekOrigin::Begin;
      return true;
    case SEEK_CUR:
      origin = TMediaSeekOrigin::Current;
      return true;
    case SEEK_END:
      origin = TMediaSeekOrigin::End;
      return true;
    default:
      return false;
  }
}

TAvioPtr MakeMediaAvio(IMediaStream& stream) {
  auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
  if (buffer == nullptr) return nullptr;
  AVIOContext* context =
      avio_alloc_context(buffer, kBufferSize, 0, &stream, ReadPacket, nullptr, SeekStream);
  if (context == nullptr) {
    av_free(buffer);
    return nullptr;
  }
  return TAvioPtr(context);
}

}  // namespace trimora::media
