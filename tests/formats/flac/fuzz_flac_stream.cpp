// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes, as a FLAC file, to the metadata walk and the frame index, then
// renumbers, decodes and re-encodes the first frames found, as a cut does with its edges.
// Nothing may crash, hang or read outside a buffer.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/flac/flac_frame_decoder.h"
#include "formats/flac/flac_frame_index.h"
#include "formats/flac/flac_frame_writer.h"
#include "formats/flac/flac_stream.h"
#include "pipeline/au_exception.h"

namespace {

void CutEdges(TFlacFrameIndex& index, const TFlacStreamInfo& info) {
  TFlacFrameDecoder decoder(info);
  std::vector<uint8_t> out;
  std::vector<int32_t> samples;
  for (int64_t k = 0; k < std::min<int64_t>(index.Known(), 4); ++k) {
    const TFlacFrameIndex::TFrame frame = index.Frame(k);
    const uint8_t* bytes = index.FrameBytes(k);
    RenumberFlacFrame(bytes, frame.Bytes, frame.HeaderBytes, 12345, out);
    try {
      const auto decoded = decoder.Decode(bytes, frame.Bytes, frame.BlockSize);
      samples.clear();
      AppendSamples(decoded, info.Channels, 1, frame.BlockSize - 1, samples);
      out.clear();
      if (frame.BlockSize > 1) EncodeFlacFrame(samples.data(), frame.BlockSize - 1, info, 7, out);
    } catch (const EAuException&) {
      // a frame whose CRC holds may still not decode
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  for (size_t at = 0; at < size; ++at) ParseFlacFrameHeader(data + at, size - at);
  TAuMemoryStream stream(bytes);
  try {
    const TFlacStart start = ReadFlacStart(stream);
    TFlacFrameIndex index(stream, start);
    index.FrameAt(static_cast<int64_t>(size % 4099));
    index.ReachEnd();
    CutEdges(index, start.Info);
  } catch (const EAuException&) {
    // not a stream, or one the cut refuses
  }
  return 0;
}
