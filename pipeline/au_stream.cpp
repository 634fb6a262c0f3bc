// SPDX-License-Identifier: GPL-3.0-or-later
#include "pipeline/au_stream.h"

#include <algorithm>
#include <cstring>

#include "pipeline/au_exception.h"

void TAuStream::ReadBuffer(void* buffer, int64_t count) {
  if (Read(buffer, count) != count) throw EAuException("Stream read error");
}

int64_t TAuMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t available = std::max<int64_t>(0, Size() - FPos);
  const int64_t n = std::clamp<int64_t>(count, 0, available);
  if (n > 0) std::memcpy(buffer, FData.data() + FPos, static_cast<size_t>(n));
  FPos += n;
  return n;
}

int64_t TAuMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (FPos + count > Size()) FData.resize(static_cast<size_t>(FPos + count));
  std::memcpy(FData.data() + FPos, buffer, static_cast<size_t>(count));
  FPos += count;
  return count;
}

int64_t TAuMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? FPos : Size();
  const int64_t target = base + offset;
  if (target < 0) throw EAuException("Stream seek error");
  FPos = target;
  return FPos;
}

void TAuMemoryStream::SetSize(int64_t size) {
  if (size < 0) throw EAuException("Stream size error");
  FData.resize(static_cast<size_t>(size));
  FPos = std::min(FPos, size);
}
