// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "formats/wave/wave_header.h"
#include "pipeline/file_input.h"
#include "pipeline/file_output.h"

// The WAV entry of the kinds table (file_kinds): a cut keeps what the source was wherever the
// writer can write it.

// What a cut of a WAV file writes: the writer's kind, its ADPCM block size, and the same for
// people ("24-bit PCM", "64-bit float", "16-bit PCM (MS ADPCM cannot be written)").
struct TWaveCutPlan {
  TWavType Type = wtPCM;
  uint16_t BlockSize = 512;
  std::string Text;
};
// From the source's header as stored and the bits per sample the source delivers as
// integers (what a kind the writer cannot write becomes).
TWaveCutPlan PlanWaveCut(const TWaveHeader& header, int deliveredBits);

void SetUpWaveSource(TAuFileIn& source);
std::unique_ptr<TAuFileIn> MakeWaveSource();
std::unique_ptr<TAuFileOut> MakeWaveSink();
// PCM, 512-byte blocks, the extensible header for more than two channels or 16 bits, always
// a fresh file, no tags.
void SetUpWaveSink(TAuFileOut& sink);
// The plan's kind and block size, the source's channel mask, its floats as they are where
// the sink reads the source unchanged (straight or through the segment cut's stretches), and
// its INFO texts.
void PrepareWaveCut(TAuFileIn& source, TAuFileOut& sink);
// "WAV, PCM".
std::string DescribeWave(TAuFileIn& source);
// The plan's text.
std::string DescribeWaveCut(TAuFileIn& source);
std::string WaveRefusal(TAuFileIn& source);
