// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/ogg/vorbis_headers.h"

#include <climits>
#include <cstring>

extern "C" {
#include <libavcodec/vorbis_parser.h>
}

#include "formats/ogg/xiph_comment_header.h"
#include "pipeline/au_exception.h"

namespace {

bool IsHeader(const uint8_t* data, size_t size, uint8_t type) {
  return size >= 7 && data[0] == type && std::memcmp(data + 1, "vorbis", 6) == 0;
}

void PutLacing(std::vector<uint8_t>& out, size_t size) {
  for (; size >= 255; size -= 255) out.push_back(255);
  out.push_back(static_cast<uint8_t>(size));
}

}  // namespace

TVorbisId ParseVorbisId(const uint8_t* data, size_t size) {
  if (size < 30 || !IsHeader(data, size, 1))
    throw EAuException("The Vorbis stream lacks its identification header");
  if (data[7] | data[8] | data[9] | data[10])
    throw EAuException("The Vorbis stream is of an unknown version");
  TVorbisId id;
  id.Channels = data[11];
  id.Rate = uint32_t(data[12]) | uint32_t(data[13]) << 8 | uint32_t(data[14]) << 16 |
            uint32_t(data[15]) << 24;
  const int exp0 = data[28] & 15, exp1 = data[28] >> 4;
  if (id.Channels == 0 || id.Rate == 0 || id.Rate > INT_MAX || exp0 < 6 || exp1 > 13 ||
      exp0 > exp1 || !(data[29] & 1))
    throw EAuException("The Vorbis identification header is damaged");
  id.Blocksize0 = 1 << exp0;
  id.Blocksize1 = 1 << exp1;
  return id;
}

std::string ParseVorbisCommentVendor(const uint8_t* data, size_t size) {
  if (!IsHeader(data, size, 3)) throw EAuException("The Vorbis stream lacks its comment header");
  return CommentHeaderVendor(data + 7, size - 7);
}

void CheckVorbisSetup(const uint8_t* data, size_t size) {
  if (!IsHeader(data, size, 5)) throw EAuException("The Vorbis stream lacks its setup header");
}

std::vector<uint8_t> MakeVorbisComment(const std::string& vendor, const TXiphTags& tags) {
  std::vector<uint8_t> out{3, 'v', 'o', 'r', 'b', 'i', 's'};
  AppendComments(out, vendor, tags);
  out.push_back(1);  // the framing bit
  return out;
}

void TVorbisPacketDurations::TFree::operator()(AVVorbisParseContext* context) const {
  av_vorbis_parse_free(&context);
}

TVorbisPacketDurations::TVorbisPacketDurations(const std::vector<uint8_t>& id,
                                               const std::vector<uint8_t>& comment,
                                               const std::vector<uint8_t>& setup) {
  // The three headers as codec extradata in Xiph lacing: a count of two, the first two
  // sizes, then the headers.
  std::vector<uint8_t> extradata{2};
  PutLacing(extradata, id.size());
  PutLacing(extradata, comment.size());
  extradata.insert(extradata.end(), id.begin(), id.end());
  extradata.insert(extradata.end(), comment.begin(), comment.end());
  extradata.insert(extradata.end(), setup.begin(), setup.end());
  if (extradata.size() > INT_MAX) throw EAuException("The Vorbis headers are too large");
  FParser.reset(av_vorbis_parse_init(extradata.data(), static_cast<int>(extradata.size())));
  if (!FParser) throw EAuException("The Vorbis setup header cannot be read");
  av_vorbis_parse_reset(FParser.get());
}

TVorbisPacketDurations::~TVorbisPacketDurations() = default;

int TVorbisPacketDurations::Next(const uint8_t* data, size_t size) {
  if (size == 0 || size > INT_MAX) return -1;
  int flags = 0;
  const int samples =
      av_vorbis_parse_frame_flags(FParser.get(), data, static_cast<int>(size), &flags);
  return flags != 0 ? -1 : samples;
}
