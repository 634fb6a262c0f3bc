// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes, as a file, to the ID3v2 and ID3v1 readers (and as a tag to the
// readers of pictures, multi-valued frames and APEv2 items), and writes what was read
// back in front of the same bytes, so a hostile file can neither crash nor hang them.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <span>

#include "tags/id3v1_tags.h"
#include "tags/id3v2_tags.h"
#include "tags/mp3_file_tags.h"

namespace {

TTagFile MemoryFile(const std::uint8_t* data, std::size_t size) {
  TTagFile file(::memfd_create("fuzz_id3_tags", MFD_CLOEXEC));
  if (file.IsValid()) {
    file.Write(std::as_bytes(std::span(data, size)));
    file.SeekTo(0);
  }
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto bytes = std::as_bytes(std::span(data, size));
  TMP3FileTags extras;
  ReadId3v2Extras(bytes, extras);
  TAPEv2Tags ape;
  ReadAPEv2(bytes, ape);
  TTagFile file = MemoryFile(data, size);
  if (!file.IsValid()) {
    return 0;
  }
  TId3v2Tags v2;
  v2.IsTagPresent(file);
  // Some files carry several tags one after the other.
  for (int i = 0; i < 3 && v2.ReadTag(file); ++i) {
    v2.Title();
    v2.Track();
  }
  TId3v1Tags v1;
  v1.IsTagPresent(file);
  if (v1.ReadTag(file)) {
    v1.Genre();
    v1.Artist();
  }
  if (size < 4096) {
    file.SeekTo(0);
    v2.WriteTag(file, (size & 1) != 0);
    file.SeekTo(0);
    v2.ReadTag(file);
    v1.WriteTag(file, false);
  }
  return 0;
}
