// SPDX-License-Identifier: GPL-3.0-or-later
#include "pipeline/au_stream.h"

#include <algorithm>
#include <cstring>

#include "pipeline/au_exception.h"

void TAuStream::ReadBuffer(void* buffer, int64_t count) {
  if (Read(buffer, count) != count) throw EAuException("Stream read error");
}

int64_t TAuMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t available = std::max<int64_t>(0, Size() - Pos);
  const int64_t n = std::clamp<int64_t>(count, 0, available);
  if (n > 0) std::memcpy(buffer, Data.data() + Pos, static_cast<size_t>(n));
  Pos += n;
  return n;
}

int64_t TAuMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (Pos + count > Size()) Data.resize(static_cast<size_t>(Pos + count));
  std::memcpy(Data.data() + Pos, buffer, static_cast<size_t>(count));
  Pos += count;
  return count;
}

int64_t TAuMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? Pos : Size();
  const int64_t target = base + offset;
  if (target < 0) throw EAuException("Stream seek error");
  Pos = target;
  return Pos;
}

void TAuMemoryStream::SetSize(int64_t size) {
  if (size < 0) throw EAuException("Stream size error");
  Data.resize(static_cast<size_t>(size));
  Pos = std::min(Pos, size);
}
