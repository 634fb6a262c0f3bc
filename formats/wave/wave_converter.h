// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Converts the data of a WAV file that the reader does not decode itself (MPEG Layer-3,
// format tag 0x55) into PCM through the compression manager, in one pass over the whole data
// held in memory, and writes the result as a PCM WAV image for the reader to parse. The
// converter is itself a memory stream: it holds first the compressed data, then the PCM.
//
// Use: LoadFile, set TargetFormat's tag to PCM and have acmFormatSuggest fill it in, Convert,
// SaveWave.

#include <array>
#include <cstdint>

#include "pipeline/au_stream.h"
#include "platform/acm.h"

class TWaveConverter : public TAuMemoryStream {
 public:
  static constexpr uint32_t kFormatBufferSize = 129;
  // SaveWave's result when writing the image failed.
  static constexpr trimora::acm::MMRESULT kSaveWaveFailed = 286;

  TWaveConverter();

  // Loads the `fmt ` body into SourceFormat and the `data` body as the converter's contents
  // from a WAV file starting at the stream's position, walking its chunks with the reader's
  // TChunkCursor; the first `data` chunk ends the walk. A file that is not RIFF WAVE loads
  // nothing.
  void LoadFile(TAuStream& stream);

  // Converts the contents from SourceFormat to TargetFormat. 0 on success, with the PCM as
  // the contents and its format in SourceFormat; otherwise the first failing call's result.
  trimora::acm::MMRESULT Convert();

  // Writes a PCM WAV image (44-byte header and the contents) at the target's position.
  trimora::acm::MMRESULT SaveWave(TAuStream& target);

  uint32_t MaxFormatSize = 0;  // the largest format description of any driver
  // Format descriptions in their stored layout (see platform/acm.h); both start zero-filled.
  std::array<uint8_t, kFormatBufferSize> SourceFormat{};
  std::array<uint8_t, kFormatBufferSize> TargetFormat{};
};
