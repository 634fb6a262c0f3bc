// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

#include "platform/media_byte_reader.h"

namespace trimora::media {

// What the runtime needs from an ASF (Windows Media) header that FFmpeg does not report:
// whether the content is encrypted, and the play duration and preroll of the file
// properties, from which the file's length is taken.
struct TAsfHeader {
  bool Protected = false;
  bool HasFileProperties = false;
  bool Broadcast = false;     // duration fields are not valid while a file is broadcast
  uint64_t PlayDuration = 0;  // 100 ns, preroll included
  uint64_t Preroll = 0;       // milliseconds
  uint64_t Packets = 0;       // data packets the header announces
  uint32_t PacketSize = 0;    // bytes of each; 0 when they differ in size
  int64_t PacketsStart = -1;  // file offset of the first data packet; -1 when unknown
  // The play time of the content: play duration minus preroll, 0 when unknown.
  uint64_t Duration() const;
  // The play time of the packets a file of `fileSize` bytes holds: a truncated file keeps
  // the header of the whole, so the duration is cut in proportion to the packets missing.
  uint64_t DurationPresent(int64_t fileSize) const;
};

// Nothing when the stream does not start with an ASF header object. Object sizes that
// leave their parent end the walk, so a broken header yields what was read before it.
std::optional<TAsfHeader> ReadAsfHeader(TMediaByteReader& reader);

}  // namespace trimora::media
