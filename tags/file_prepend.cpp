// SPDX-License-Identifier: GPL-3.0-or-later
#include "tags/file_prepend.h"

#include <sys/mman.h>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

class TUnmapper {
 public:
  explicit TUnmapper(std::size_t length) : FLength(length) {}
  void operator()(std::byte* base) const { ::munmap(base, FLength); }

 private:
  std::size_t FLength;
};

using TMapping = std::unique_ptr<std::byte, TUnmapper>;

TMapping MapForWriting(int fd, std::size_t length) {
  void* base = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (base == MAP_FAILED) {
    return TMapping(nullptr, TUnmapper(length));
  }
  return TMapping(static_cast<std::byte*>(base), TUnmapper(length));
}

}  // namespace

bool PrependToFile(TTagFile& file, std::span<const std::byte> block) {
  // Sizes of this operation are 32-bit; larger files are out of its range.
  constexpr std::int64_t kLimit = std::int64_t{1} << 32;
  const auto oldSize = file.Size();
  if (!oldSize) {
    return false;
  }
  const std::int64_t newSize = *oldSize + static_cast<std::int64_t>(block.size());
  if (newSize >= kLimit || block.empty()) {
    return false;
  }
  if (!file.Extend(newSize)) {
    return false;
  }
  const auto length = static_cast<std::size_t>(newSize);
  TMapping view = MapForWriting(file.Fd(), length);
  if (!view) {
    file.Truncate(*oldSize);
    return false;
  }
  std::byte* base = view.get();
  std::memmove(base + block.size(), base, static_cast<std::size_t>(*oldSize));
  std::memcpy(base, block.data(), block.size());
  const bool flushed = ::msync(base, length, MS_SYNC) == 0;
  view.reset();
  file.SeekTo(newSize);
  return flushed;
}
