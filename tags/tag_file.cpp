// SPDX-License-Identifier: GPL-3.0-or-later
#include "tags/tag_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

// Only regular files carry tags. The open does not wait (a FIFO with no writer would block
// it forever), and anything else (FIFO, device, folder) gives an invalid file.
TTagFile TTagFile::Open(const std::filesystem::path& path, TMode mode) {
  const int flags = (mode == TMode::Read ? O_RDONLY : O_RDWR) | O_CLOEXEC;
  TTagFile file(::open(path.c_str(), flags | O_NONBLOCK));
  struct stat st {};
  if (!file.IsValid() || ::fstat(file.Fd(), &st) != 0 || !S_ISREG(st.st_mode) ||
      ::fcntl(file.Fd(), F_SETFL, flags & ~O_CLOEXEC) != 0)
    return TTagFile(-1);
  return file;
}

std::optional<std::int64_t> TTagFile::Position() const {
  if (!IsValid()) {
    return std::nullopt;
  }
  const off_t pos = ::lseek(Fd(), 0, SEEK_CUR);
  return pos < 0 ? std::nullopt : std::optional<std::int64_t>(pos);
}

std::optional<std::int64_t> TTagFile::Size() const {
  if (!IsValid()) {
    return std::nullopt;
  }
  struct stat st {};
  if (::fstat(Fd(), &st) != 0) {
    return std::nullopt;
  }
  return st.st_size;
}

bool TTagFile::SeekTo(std::int64_t position) {
  return IsValid() && position >= 0 && ::lseek(Fd(), position, SEEK_SET) == position;
}

bool TTagFile::SeekFromEnd(std::int64_t offset) {
  return IsValid() && ::lseek(Fd(), offset, SEEK_END) >= 0;
}

std::size_t TTagFile::Read(std::span<std::byte> data) {
  return IsValid() ? ReadAll(Fd(), data.data(), data.size()).Done : 0;
}

std::size_t TTagFile::Write(std::span<const std::byte> data) {
  return IsValid() ? WriteAll(Fd(), data.data(), data.size()).Done : 0;
}

bool TTagFile::Truncate(std::int64_t size) {
  if (!IsValid() || size < 0) {
    return false;
  }
  int rc = 0;
  do {
    rc = ::ftruncate(Fd(), size);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

bool TTagFile::Extend(std::int64_t size) {
  const auto current = Size();
  if (!current || size < *current) {
    return false;
  }
  if (size == *current) {
    return true;
  }
  int rc = 0;
  do {
    rc = ::posix_fallocate(Fd(), *current, size - *current);
  } while (rc == EINTR);
  if (rc != 0) {
    Truncate(*current);  // a failed allocation may have grown the file part of the way
    return false;
  }
  return true;
}
