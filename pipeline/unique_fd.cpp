// SPDX-License-Identifier: GPL-3.0-or-later
#include "pipeline/unique_fd.h"

#include <unistd.h>

#include <cerrno>

void TUniqueFd::Reset(int fd) {
  if (FFd >= 0) ::close(FFd);
  FFd = fd;
}

namespace {

// `step` moves up to n bytes at a given offset into the buffer and answers as read or write.
template <class TStep>
TIoResult Transfer(std::size_t count, TStep step) {
  TIoResult result;
  while (result.Done < count) {
    const ssize_t n = step(result.Done, count - result.Done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result.Error = errno;
      break;
    }
    if (n == 0) break;
    result.Done += static_cast<std::size_t>(n);
  }
  return result;
}

}  // namespace

TIoResult ReadAll(int fd, void* buffer, std::size_t count, std::int64_t offset) {
  auto* bytes = static_cast<char*>(buffer);
  return Transfer(count, [&](std::size_t done, std::size_t n) {
    return offset < 0 ? ::read(fd, bytes + done, n)
                      : ::pread(fd, bytes + done, n, offset + static_cast<off_t>(done));
  });
}

TIoResult WriteAll(int fd, const void* buffer, std::size_t count, std::int64_t offset) {
  const auto* bytes = static_cast<const char*>(buffer);
  TIoResult result = Transfer(count, [&](std::size_t done, std::size_t n) {
    return offset < 0 ? ::write(fd, bytes + done, n)
                      : ::pwrite(fd, bytes + done, n, offset + static_cast<off_t>(done));
  });
  // A write that moves nothing without an error would never finish.
  if (result.Done < count && result.Error == 0) result.Error = EIO;
  return result;
}
