#include "formats/mp3out/tag_frame_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>

namespace {

// Owns a file descriptor for the length of one rewrite.
class TFd {
 public:
  explicit TFd(const std::filesystem::path& path) : Fd(::open(path.c_str(), O_RDWR | O_CLOEXEC)) {}
  ~TFd() {
    if (Fd >= 0) ::close(Fd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int operator*() const { return Fd; }
  explicit operator bool() const { return Fd >= 0; }

 private:
  int Fd;
};

bool ReadAt(int fd, int64_t offset, std::span<uint8_t> bytes) {
  return ::pread(fd, bytes.data(), bytes.size(), offset) == static_cast<ssize_t>(bytes.size());
}

}  // namespace

int64_t AudioStartAfterId3v2(std::span<const uint8_t> head) {
  if (head.size() < 10 || head[0] != 'I' || head[1] != 'D' || head[2] != '3') return 0;
  if (head[3] == 0xFF || head[4] == 0xFF) return 0;
  int64_t size = 0;
  for (int i = 6; i < 10; ++i) {
    if (head[i] & 0x80) return 0;  // not a sync-safe size: no tag after all
    size = (size << 7) | head[i];
  }
  const bool footer = (head[5] & 0x10) != 0;
  return 10 + size + (footer ? 10 : 0);
}

bool WriteTagFrameToFile(const std::filesystem::path& path, std::span<const uint8_t> frame) {
  if (frame.size() < 4) return false;
  const TFd fd(path);
  if (!fd) return false;
  std::array<uint8_t, 10> head{};
  const ssize_t got = ::pread(*fd, head.data(), head.size(), 0);
  if (got < 0) return false;
  const int64_t start = AudioStartAfterId3v2(std::span(head).first(static_cast<size_t>(got)));
  std::array<uint8_t, 3> placeholder{};
  if (!ReadAt(*fd, start, placeholder) ||
      !std::equal(placeholder.begin(), placeholder.end(), frame.begin()))
    return false;
  // The whole placeholder must be there: the frame must not run past the end of the file.
  uint8_t last = 0;
  if (!ReadAt(*fd, start + static_cast<int64_t>(frame.size()) - 1, {&last, 1})) return false;
  return ::pwrite(*fd, frame.data(), frame.size(), start) == static_cast<ssize_t>(frame.size());
}
