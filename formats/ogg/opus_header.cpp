// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/ogg/opus_header.h"

#include <cstring>

#include "formats/ogg/xiph_comment_header.h"
#include "pipeline/au_exception.h"

namespace {

constexpr size_t kFixedBytes = 19;

void Put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

TOpusHead ParseOpusHead(const uint8_t* data, size_t size) {
  if (size < kFixedBytes || std::memcmp(data, "OpusHead", 8) != 0)
    throw EAuException("The Opus stream lacks its identification header");
  TOpusHead head;
  head.Version = data[8];
  if (head.Version >> 4 != 0) throw EAuException("The Opus stream is of an unknown version");
  head.Channels = data[9];
  head.PreSkip = static_cast<uint16_t>(data[10] | data[11] << 8);
  head.InputRate = uint32_t(data[12]) | uint32_t(data[13]) << 8 | uint32_t(data[14]) << 16 |
                   uint32_t(data[15]) << 24;
  head.OutputGain = static_cast<int16_t>(data[16] | data[17] << 8);
  head.MappingFamily = data[18];
  if (head.Channels == 0) throw EAuException("The Opus header names no channels");
  if (head.MappingFamily == 0) {
    if (head.Channels > 2) throw EAuException("The Opus header maps more than two channels");
    head.StreamCount = 1;
    head.CoupledCount = head.Channels == 2 ? 1 : 0;
    return head;
  }
  if (size < kFixedBytes + 2 + head.Channels)
    throw EAuException("The Opus header's channel table is cut short");
  head.StreamCount = data[19];
  head.CoupledCount = data[20];
  if (head.StreamCount == 0 || head.CoupledCount > head.StreamCount ||
      head.StreamCount + head.CoupledCount > 255)
    throw EAuException("The Opus header's stream counts are impossible");
  head.Mapping.assign(data + 21, data + 21 + head.Channels);
  for (uint8_t entry : head.Mapping)
    if (entry != 255 && entry >= head.StreamCount + head.CoupledCount)
      throw EAuException("The Opus header maps a channel to no stream");
  return head;
}

std::vector<uint8_t> MakeOpusHead(const TOpusHead& head) {
  std::vector<uint8_t> out{'O', 'p', 'u', 's', 'H', 'e', 'a', 'd', head.Version, head.Channels};
  Put(out, head.PreSkip, 2);
  Put(out, head.InputRate, 4);
  Put(out, static_cast<uint16_t>(head.OutputGain), 2);
  out.push_back(head.MappingFamily);
  if (head.MappingFamily != 0) {
    out.push_back(head.StreamCount);
    out.push_back(head.CoupledCount);
    out.insert(out.end(), head.Mapping.begin(), head.Mapping.end());
  }
  return out;
}

std::string ParseOpusTagsVendor(const uint8_t* data, size_t size) {
  if (size < 8 || std::memcmp(data, "OpusTags", 8) != 0)
    throw EAuException("The Opus stream lacks its comment header");
  return CommentHeaderVendor(data + 8, size - 8);
}

std::vector<uint8_t> MakeOpusTags(const std::string& vendor, const TXiphTags& tags) {
  std::vector<uint8_t> out{'O', 'p', 'u', 's', 'T', 'a', 'g', 's'};
  AppendComments(out, vendor, tags);
  return out;
}

int OpusPacketSamples(const uint8_t* data, size_t size) {
  if (size == 0) return -1;
  const int config = data[0] >> 3;
  // Frame lengths at 48 kHz: SILK 10/20/40/60 ms, hybrid 10/20 ms, CELT 2.5/5/10/20 ms.
  static constexpr int kSilk[] = {480, 960, 1920, 2880};
  static constexpr int kCelt[] = {120, 240, 480, 960};
  const int frame = config < 12   ? kSilk[config & 3]
                    : config < 16 ? kSilk[config & 1]
                                  : kCelt[config & 3];
  int frames = 1;
  switch (data[0] & 3) {
    case 0:
      break;
    case 1:
    case 2:
      frames = 2;
      break;
    default:
      if (size < 2) return -1;
      frames = data[1] & 63;
      if (frames == 0) return -1;
  }
  const int samples = frame * frames;
  return samples > 5760 ? -1 : samples;
}
