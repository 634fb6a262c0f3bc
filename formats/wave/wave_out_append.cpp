// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/wave/wave_out_append.h"

#include "formats/wave/wave_out_headers.h"

TExistingWave ReadExistingWave(TAuStream& stream) {
  TExistingWave result;
  // The reader's own scan, so that every file it reads is walked the same way here.
  stream.SetPosition(0);
  const TWaveHeader h = ScanWaveHeader(stream);
  if (h.WavType != wtPCM && h.WavType != wtDVIADPCM) return result;
  const bool adpcm = h.WavType == wtDVIADPCM;
  // The frame count is patched in place, so it must be there and 4 bytes long.
  if (adpcm && h.FactOffset == 0) return result;
  result.Channels = h.Channels;
  result.SampleRate = h.SampleRate;
  result.Bits = h.BitsPerSample;
  result.BlockAlign = adpcm ? h.ImaFormat.BlockAlign : h.MsFormat.BlockAlign;
  result.FactOffset = h.FactOffset;
  result.DataSizeOffset = int64_t{h.HeaderLength} - 4;
  result.HeaderLength = h.HeaderLength;
  result.DataSize = h.DataSize;
  result.Kind = h.WavType;
  return result;
}

bool CanAppendTo(const TExistingWave& existing, int64_t fileLength) {
  if (existing.Kind != wtPCM && existing.Kind != wtDVIADPCM) return false;
  if (existing.Channels == 0 || existing.BlockAlign == 0) return false;
  int64_t held = fileLength - existing.HeaderLength;
  if (held < 0) return false;
  // The pad byte after a data chunk of odd size is not data; the writer drops it.
  if (existing.DataSize % 2 == 1 && held == int64_t{existing.DataSize} + 1) --held;
  // A declared size that ends before the file does means another chunk (or a pad byte)
  // follows the data; a larger one is a header that was never finished.
  if (int64_t{existing.DataSize} < held) return false;
  if (existing.Kind == wtPCM) {
    if (existing.BlockAlign != existing.Channels * existing.Bits / 8) return false;
  } else {
    // A short last block (the writer ends its files so) is filled up before the append.
    return existing.Bits == 4 && ImaBlockSizeFits(existing.BlockAlign, existing.Channels);
  }
  return held % existing.BlockAlign == 0;
}
