// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the header parsers: as one Opus or Vorbis header packet, and split
// into a Vorbis identification header (its first 30 bytes), a setup header and audio packets
// for FFmpeg's Vorbis parser. A header that parses must come out of its writer the same.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "formats/ogg/opus_header.h"
#include "formats/ogg/vorbis_headers.h"
#include "pipeline/au_exception.h"

namespace {

template <typename F>
void Try(F&& f) {
  try {
    f();
  } catch (const EAuException&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    av_log_set_level(AV_LOG_QUIET);
    return true;
  }();
  (void)quiet;
  Try([&] {
    const TOpusHead head = ParseOpusHead(data, size);
    const std::vector<uint8_t> written = MakeOpusHead(head);
    if (!(ParseOpusHead(written.data(), written.size()) == head)) std::abort();
  });
  Try([&] { ParseOpusTagsVendor(data, size); });
  OpusPacketSamples(data, size);
  Try([&] { ParseVorbisId(data, size); });
  Try([&] { ParseVorbisCommentVendor(data, size); });
  Try([&] { CheckVorbisSetup(data, size); });
  if (size < 31) return 0;
  // The identification header, the setup header up to the byte the last byte names from the
  // end, and audio packets of 8 bytes after it.
  const std::vector<uint8_t> id(data, data + 30);
  const size_t tail = std::min<size_t>(data[size - 1], size - 31);
  const std::vector<uint8_t> setup(data + 30, data + size - 1 - tail);
  Try([&] {
    ParseVorbisId(id.data(), id.size());
    TVorbisPacketDurations durations(id, MakeVorbisComment("fuzz"), setup);
    for (size_t at = size - 1 - tail; at < size - 1; at += 8)
      durations.Next(data + at, std::min<size_t>(8, size - 1 - at));
  });
  return 0;
}
