// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the WAV writer needs to know of a file it appends to: its kind and format and where
// the size fields it must patch lie.

#include <cstdint>

#include "formats/wave/wave_header.h"
#include "pipeline/au_stream.h"

struct TExistingWave {
  TWavType Kind = wtUnsupported;  // wtPCM, wtDVIADPCM or wtUnsupported
  uint32_t SampleRate = 0;
  uint16_t Channels = 0;
  uint16_t Bits = 0;
  uint16_t BlockAlign = 0;
  int64_t FactOffset = 0;      // file offset of the `fact` frame count (ADPCM)
  int64_t DataSizeOffset = 0;  // file offset of the `data` size field
  int64_t HeaderLength = 0;    // file offset of the first data byte
  uint32_t DataSize = 0;       // the `data` size as declared
};

// Scans the header from the start of `stream` with the reader's ScanWaveHeader. Format tags
// other than PCM and IMA ADPCM, an ADPCM file without a 4-byte `fact` count, and any header
// the reader refuses give wtUnsupported.
TExistingWave ReadExistingWave(TAuStream& stream);

// Whether new data may go at the end of the file without damaging it: the format is one the
// writer produces, and the `data` chunk is the file's last chunk and holds whole frames
// (PCM) or blocks (ADPCM, whose short last block the writer fills up first), so that what is
// appended lines up and nothing that follows the data is taken into it.
bool CanAppendTo(const TExistingWave& existing, int64_t fileLength);
