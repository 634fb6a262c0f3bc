// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tags/tagged_file_in.h"

// The source for files FFmpeg demuxes and decodes whole: FLAC, Ogg Vorbis, Opus and M4A's AAC
// and ALAC. It hands out the samples of FFmpeg's own decode of the file (Opus after its
// pre-skip and at 48 kHz, AAC after its priming), counted from 0: FLAC and ALAC as integers of
// their own depth (16, 24 or 32 bits), the lossy codecs as 16-bit. The length comes from the stream
// (FLAC's STREAMINFO, the last Ogg granule) and, where the stream does not tell, from counting its
// packets. Seeking lands on the exact sample: FLAC frames are independent; the lossy decoders start
// far enough before the sample to have settled by then (80 ms for Opus, two long blocks for Vorbis,
// four packets for AAC).
class TCodedIn : public TAuTaggedFileIn {
 public:
  TCodedIn();
  ~TCodedIn() override;

  // FFmpeg's name of the only codec the source reads ("flac", "opus", "vorbis"); a file of
  // another holds nothing this source reads.
  void SetCodec(const std::string& codec) { FCodecs = {codec}; }
  // The same for a kind whose files hold one of several codecs (M4A: "aac", "alac").
  void SetCodecs(std::vector<std::string> codecs) { FCodecs = std::move(codecs); }
  // FFmpeg's name of the codec the file holds; empty when it did not open.
  std::string CodecName();
  // The depth of the coded samples (FLAC, ALAC), 0 for a lossy codec.
  int CodedBits();
  // The nominal bit rate the stream states (Vorbis), or the average of its packets; bits per
  // second.
  int64_t Bitrate();
  // Whether Bitrate is the stream's own statement rather than an average of the file.
  bool BitrateIsNominal();
  // The rate an Opus stream's encoder was fed, as its header records it; 0 when not told.
  int InputRate();
  // The codec's header data as FFmpeg holds it (an encoder of the same codec may need it).
  std::string Extradata();

 protected:
  void OpenFile() override;
  void CloseFile() override;
  void ReadBlock(uint8_t*& buffer, uint32_t& bytes) override;
  bool DoSeek(int64_t& sampleNum) override;

 private:
  struct TDecoder;
  void Refuse();
  void FillTags();

  std::unique_ptr<TDecoder> FDecoder;
  std::vector<std::string> FCodecs;
  std::string FFoundCodec;
  int64_t FAverageBitrate = -1;  // counted once an open, when asked
};
