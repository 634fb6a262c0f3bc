// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "cutting/kinds/kind.h"
#include "formats/wave/wave_header.h"

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

// WAV files: a cut keeps what the source was wherever the writer can write it, and is
// lossless anyway, so keeping the frames is its usual cut.
class TWaveKind : public TKind {
 public:
  std::string Name() const override { return "WAV"; }
  std::vector<std::string> Extensions() const override { return {".wav"}; }
  // No looping, the whole file, floats delivered as integers unless a cut keeps them.
  std::unique_ptr<TAuFileIn> MakeSource() const override;
  // PCM, 512-byte blocks, the extensible header for more than two channels or 16 bits,
  // always a fresh file, no tags.
  std::unique_ptr<TAuFileOut> MakeSink() const override;
  // The plan's kind and block size, the source's channel mask, its floats as they are where
  // the sink reads the source unchanged (straight or through the segment cut's stretches),
  // and its INFO texts.
  void PrepareCut(TAuFileIn& source, TAuFileOut& sink) const override;
  std::string Describe(TAuFileIn& source) const override;
  std::string DescribeCut(TAuFileIn& source) const override;
  std::string Refusal(TAuFileIn& source) const override;
  void ReadTags(const std::filesystem::path& file, TAuFileIn& source,
                TId3v2Tags& tags) const override;
};
