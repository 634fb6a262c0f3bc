// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tags/xiph_tags.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVVorbisParseContext;

// What a Vorbis identification header says (Vorbis I, 4.2.2).
struct TVorbisId {
  uint8_t Channels = 0;
  uint32_t Rate = 0;
  int Blocksize0 = 0, Blocksize1 = 0;  // in samples
};

// Each raises EAuException saying what is wrong when the packet is not the header it parses.
TVorbisId ParseVorbisId(const uint8_t* data, size_t size);
std::string ParseVorbisCommentVendor(const uint8_t* data, size_t size);
void CheckVorbisSetup(const uint8_t* data, size_t size);

// A comment header with the vendor string and no fields.
std::vector<uint8_t> MakeVorbisComment(const std::string& vendor, const TXiphTags& tags = {});

// The samples each audio packet adds to FFmpeg's count, in stream order, from FFmpeg's own
// parser of the block sizes the setup header's modes give: (previous + current block) / 4,
// which for the first packet after the headers counts a previous block that never was.
class TVorbisPacketDurations {
 public:
  TVorbisPacketDurations(const std::vector<uint8_t>& id, const std::vector<uint8_t>& comment,
                         const std::vector<uint8_t>& setup);
  ~TVorbisPacketDurations();
  // -1 for a packet that is no audio packet of this stream.
  int Next(const uint8_t* data, size_t size);

 private:
  struct TFree {
    void operator()(AVVorbisParseContext* context) const;
  };
  std::unique_ptr<AVVorbisParseContext, TFree> FParser;
};
