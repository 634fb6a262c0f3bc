// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One owner for POSIX file descriptors, and the one loop that reads or writes a whole buffer
// through a call a signal may interrupt or the system may cut short.

#include <cstddef>
#include <cstdint>
#include <utility>

class TUniqueFd {
 public:
  TUniqueFd() = default;
  // Takes ownership of `fd`; -1 gives the empty owner.
  explicit TUniqueFd(int fd) : FFd(fd) {}
  ~TUniqueFd() { Reset(); }
  TUniqueFd(TUniqueFd&& other) noexcept : FFd(std::exchange(other.FFd, -1)) {}
  TUniqueFd& operator=(TUniqueFd&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.FFd, -1));
    return *this;
  }
  TUniqueFd(const TUniqueFd&) = delete;
  TUniqueFd& operator=(const TUniqueFd&) = delete;

  int Get() const { return FFd; }
  explicit operator bool() const { return FFd >= 0; }
  // Closes the descriptor held and takes `fd` instead.
  void Reset(int fd = -1);

 private:
  int FFd = -1;
};

// What a whole read or write did: the bytes moved, and the error number when it stopped on
// an error (0 when a read met the end of the file).
struct [[nodiscard]] TIoResult {
  std::size_t Done = 0;
  int Error = 0;
};

// Reads `count` bytes, at the descriptor's position or at `offset` when it is not negative
// (the position is then left alone). Fewer only at the end of the file or on an error.
TIoResult ReadAll(int fd, void* buffer, std::size_t count, std::int64_t offset = -1);
// Writes `count` bytes the same way; fewer only on an error.
TIoResult WriteAll(int fd, const void* buffer, std::size_t count, std::int64_t offset = -1);
