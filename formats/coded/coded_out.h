// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "tags/tagged_file_out.h"

// What a coded sink writes: the codec and container, and the encoder's settings.
struct TCodedFormat {
  std::string Encoder;       // FFmpeg's encoder: "flac", "libvorbis", "libopus", "aac", "alac"
  std::string Muxer;         // FFmpeg's container: "flac", "ogg", "opus", "ipod" (M4A)
  int BitsPerSample = 16;    // FLAC and ALAC: the depth written (16, 24 or 32)
  int CompressionLevel = 5;  // FLAC
  double Quality = 3;        // Vorbis: -1 to 10
  int64_t BitRate = 0;       // Opus and AAC: bits per second; 0 for the encoder's choice
  int InputRate = 0;         // Opus: the rate recorded as the one the encoder was fed
  int MappingFamily = -1;    // Opus: the channel mapping family; -1 for the encoder's choice

  // An MP4 container: its moov goes first and its tags are iTunes items (Mp4Tags).
  bool IsMp4() const { return Muxer == "ipod" || Muxer == "mp4"; }
};

// The sink for FLAC, Ogg Vorbis, Opus and M4A: FFmpeg's encoder and muxer, fed the input's PCM
// (8 to 32-bit integers, any rate the codec takes; Opus input at another rate is resampled to
// 48 kHz). When the file is complete its comment fields and pictures are written from
// XiphTags, or for M4A its items from Mp4Tags; an M4A's moov box is moved before its data. A
// stopped run keeps what it encoded as a finished file; a failed one removes the file.
class TCodedOut : public TAuTaggedFileOut {
 public:
  TCodedOut();
  ~TCodedOut() override;

  TCodedFormat Format;

  // The rate the file is written at for `inputRate` (Opus takes only some rates).
  int WrittenRate(int inputRate) const;

 protected:
  void PrepareOutput() override;
  bool WriteBlock(bool Abort) override;
  void FinishOutput() override;

 private:
  struct TRunState;
  void Complete(TRunState& run);
  void Discard(TRunState& run);

  std::unique_ptr<TRunState> FRun;
};
