// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp3out/tag_frame_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "pipeline/unique_fd.h"
#include "tags/id3v2_frames.h"

namespace {

bool ReadAt(int fd, int64_t offset, std::span<uint8_t> bytes) {
  return ReadAll(fd, bytes.data(), bytes.size(), offset).Done == bytes.size();
}

}  // namespace

int64_t AudioStartAfterId3v2(std::span<const uint8_t> head) {
  if (head.size() < id3v2_layout::kHeaderSize) return 0;
  const auto header =
      id3v2_layout::ParseHeader(std::as_bytes(head.first<id3v2_layout::kHeaderSize>()));
  return header ? header->TotalLength() : 0;
}

bool WriteTagFrameToFile(const std::filesystem::path& path, std::span<const uint8_t> frame) {
  if (frame.size() < 4) return false;
  const TUniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
  if (!fd) return false;
  std::array<uint8_t, 10> head{};
  const TIoResult got = ReadAll(fd.Get(), head.data(), head.size(), 0);
  if (got.Error != 0) return false;
  const int64_t start = AudioStartAfterId3v2(std::span(head).first(got.Done));
  std::array<uint8_t, 3> placeholder{};
  if (!ReadAt(fd.Get(), start, placeholder) ||
      !std::equal(placeholder.begin(), placeholder.end(), frame.begin()))
    return false;
  // The whole placeholder must be there: the frame must not run past the end of the file.
  uint8_t last = 0;
  if (!ReadAt(fd.Get(), start + static_cast<int64_t>(frame.size()) - 1, {&last, 1})) return false;
  return WriteAll(fd.Get(), frame.data(), frame.size(), start).Done == frame.size();
}
