// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

#include "pipeline/unique_fd.h"

// The open file the tag operations work on: an owned POSIX descriptor with its own file
// position. A default-constructed or failed-to-open object is the invalid handle, on which
// every tag operation fails.
class TTagFile {
 public:
  enum class TMode { Read, ReadWrite };

  TTagFile() = default;
  // Takes ownership of an open descriptor (-1 gives the invalid handle).
  explicit TTagFile(int fd) : FFd(fd) {}
  static TTagFile Open(const std::filesystem::path& path, TMode mode);

  bool IsValid() const { return static_cast<bool>(FFd); }
  int Fd() const { return FFd.Get(); }

  std::optional<std::int64_t> Position() const;
  std::optional<std::int64_t> Size() const;
  bool SeekTo(std::int64_t position);
  // Moves to `offset` bytes from the end (offset is usually negative).
  bool SeekFromEnd(std::int64_t offset);
  // Reads up to data.size() bytes; fewer only at the end of the file or on an error.
  std::size_t Read(std::span<std::byte> data);
  // Writes all of data or as much as the system takes before failing.
  std::size_t Write(std::span<const std::byte> data);
  bool Truncate(std::int64_t size);
  // Grows the file to `size` with its blocks allocated, so that writing the new part through
  // a memory mapping cannot fail for want of disk space.
  bool Extend(std::int64_t size);

 private:
  TUniqueFd FFd;
};
