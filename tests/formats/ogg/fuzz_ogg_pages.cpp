// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes, as an Ogg file, to the packet reader (reading on from the start and
// again from its second page) and to the stream index that reads the headers and times the
// packets. Nothing may crash, hang or read outside a buffer.

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "formats/ogg/ogg_packet_reader.h"
#include "formats/ogg/ogg_stream_index.h"
#include "pipeline/au_exception.h"

namespace {

// The page offsets the packets reported, after reading at most 4096 of them.
std::vector<int64_t> ReadPackets(TOggPacketReader& reader) {
  std::vector<int64_t> offsets;
  TOggPacket packet;
  try {
    for (int k = 0; k < 4096 && reader.Next(packet); ++k) offsets.push_back(packet.PageOffset);
  } catch (const EAuException&) {
  }
  return offsets;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    av_log_set_level(AV_LOG_QUIET);  // damaged Vorbis setups are expected here
    return true;
  }();
  (void)quiet;
  const std::vector<uint8_t> bytes(data, data + size);
  TAuMemoryStream stream(bytes);
  TOggPacketReader reader(stream);
  const std::vector<int64_t> offsets = ReadPackets(reader);
  for (int64_t offset : offsets) {
    if (offset == 0) continue;
    TOggPacketReader again(stream);
    again.SeekToPage(offset);
    ReadPackets(again);
    break;
  }
  try {
    const TOggStreamIndex index = IndexOggStream(stream);
    if (index.Length > 1) PlanOggCopy(index, index.Length / 2, -1);
  } catch (const EAuException&) {
  }
  return 0;
}
