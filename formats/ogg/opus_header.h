// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tags/xiph_tags.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The identification header of an Ogg Opus stream (RFC 7845, 5.1).
struct TOpusHead {
  uint8_t Version = 1;
  uint8_t Channels = 2;
  uint16_t PreSkip = 0;    // samples at 48 kHz a decoder drops from the start
  uint32_t InputRate = 0;  // of what the encoder was given; for information only
  int16_t OutputGain = 0;  // Q7.8 dB
  uint8_t MappingFamily = 0;
  // Family 0 has one stream, coupled when stereo, and no table.
  uint8_t StreamCount = 1;
  uint8_t CoupledCount = 1;
  std::vector<uint8_t> Mapping;  // one entry a channel

  bool operator==(const TOpusHead&) const = default;
};

// Raises EAuException saying what is wrong when `packet` is no identification header this
// reader understands (its major version is not 0).
TOpusHead ParseOpusHead(const uint8_t* data, size_t size);
std::vector<uint8_t> MakeOpusHead(const TOpusHead& head);

// The vendor string of an "OpusTags" comment header; EAuException when it is none.
std::string ParseOpusTagsVendor(const uint8_t* data, size_t size);
// A comment header with the vendor string and no fields.
std::vector<uint8_t> MakeOpusTags(const std::string& vendor, const TXiphTags& tags = {});

// The samples at 48 kHz an Opus packet decodes to, from its TOC byte and, for code 3, its
// frame count (RFC 6716, 3.1); -1 for a packet that is empty, lacks its count, or lasts
// longer than the 120 ms a packet may.
int OpusPacketSamples(const uint8_t* data, size_t size);
