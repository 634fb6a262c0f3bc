// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/flac/flac_stream.h"

#include <cstring>

#include "formats/flac/flac_crc.h"
#include "pipeline/au_exception.h"

namespace {

uint32_t Be(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

void PutBe(uint8_t* p, uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i, v >>= 8) p[i] = static_cast<uint8_t>(v);
}

void ReadExactly(TAuStream& stream, void* buffer, int64_t count, const char* what) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t got = 0;
  while (got < count) {
    const int64_t n = stream.Read(out + got, count - got);
    if (n <= 0) throw EAuException(std::string("The FLAC file ends inside its ") + what);
    got += n;
  }
}

// The block size a frame header's code gives, 0 for a trailer or the reserved code.
uint32_t CodedBlockSize(uint32_t code) {
  if (code == 1) return 192;
  if (code >= 2 && code <= 5) return 576u << (code - 2);
  if (code >= 8) return 256u << (code - 8);
  return 0;
}

constexpr uint32_t kCodedRates[12] = {0,     88200, 176400, 192000, 8000,  16000,
                                      22050, 24000, 32000,  44100,  48000, 96000};
constexpr uint32_t kCodedBits[8] = {0, 8, 12, 0, 16, 20, 24, 32};

// Reads the coded number at `p` (at most `count` bytes); its length, or 0 when it is no
// number.
size_t ReadNumber(const uint8_t* p, size_t count, uint64_t& number) {
  if (count == 0) return 0;
  const uint8_t first = p[0];
  size_t length = 1;
  if (first < 0x80) {
    number = first;
    return 1;
  }
  if (first == 0xFE)
    length = 7;
  else if ((first & 0xC0) == 0x80 || first == 0xFF)
    return 0;  // a continuation byte cannot start a number
  else
    while (first & (0x80 >> length)) ++length;
  if (length > count) return 0;
  number = length == 7 ? 0 : first & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    number = (number << 6) | (p[i] & 0x3F);
  }
  return length;
}

}  // namespace

std::optional<TFlacStreamInfo> ParseFlacStreamInfo(const uint8_t* body) {
  TFlacStreamInfo info;
  info.MinBlockSize = Be(body, 2);
  info.MaxBlockSize = Be(body + 2, 2);
  info.MinFrameSize = Be(body + 4, 3);
  info.MaxFrameSize = Be(body + 7, 3);
  const uint32_t packed = Be(body + 10, 4);
  info.SampleRate = packed >> 12;
  info.Channels = ((packed >> 9) & 7) + 1;
  info.BitsPerSample = ((packed >> 4) & 31) + 1;
  info.TotalSamples = (static_cast<uint64_t>(packed & 15) << 32) | Be(body + 14, 4);
  std::memcpy(info.Md5.data(), body + 18, 16);
  if (info.SampleRate == 0 || info.BitsPerSample < 4) return std::nullopt;
  return info;
}

std::array<uint8_t, kFlacStreamInfoBytes> FlacStreamInfoBytes(const TFlacStreamInfo& info) {
  std::array<uint8_t, kFlacStreamInfoBytes> body{};
  PutBe(body.data(), info.MinBlockSize, 2);
  PutBe(body.data() + 2, info.MaxBlockSize, 2);
  PutBe(body.data() + 4, info.MinFrameSize, 3);
  PutBe(body.data() + 7, info.MaxFrameSize, 3);
  const uint64_t packed = (static_cast<uint64_t>(info.SampleRate) << 44) |
                          (static_cast<uint64_t>(info.Channels - 1) << 41) |
                          (static_cast<uint64_t>(info.BitsPerSample - 1) << 36) |
                          (info.TotalSamples & 0xFFFFFFFFFull);
  PutBe(body.data() + 10, packed, 8);
  std::memcpy(body.data() + 18, info.Md5.data(), 16);
  return body;
}

TFlacStart ReadFlacStart(TAuStream& stream) {
  const int64_t size = stream.Size();
  stream.SetPosition(0);
  uint8_t head[10];
  ReadExactly(stream, head, 4, "stream marker");
  int64_t offset = 0;
  if (std::memcmp(head, "ID3", 3) == 0) {
    ReadExactly(stream, head + 4, 6, "ID3v2 tag");
    int64_t tagBytes = 10 + ((head[6] & 0x7F) << 21 | (head[7] & 0x7F) << 14 |
                             (head[8] & 0x7F) << 7 | (head[9] & 0x7F));
    if (head[5] & 0x10) tagBytes += 10;  // a footer
    offset = tagBytes;
    if (offset + 4 > size) throw EAuException("The file holds no FLAC stream");
    stream.SetPosition(offset);
    ReadExactly(stream, head, 4, "stream marker");
  }
  if (std::memcmp(head, "fLaC", 4) != 0) throw EAuException("The file holds no FLAC stream");
  offset += 4;

  TFlacStart start;
  bool first = true;
  bool last = false;
  while (!last) {
    uint8_t block[4];
    ReadExactly(stream, block, 4, "metadata");
    last = (block[0] & 0x80) != 0;
    const uint32_t type = block[0] & 0x7F;
    const uint32_t length = Be(block + 1, 3);
    offset += 4;
    if (offset + length > size) throw EAuException("The FLAC file ends inside its metadata");
    if (first) {
      if (type != 0 || length < kFlacStreamInfoBytes)
        throw EAuException("The FLAC stream does not begin with its STREAMINFO block");
      ReadExactly(stream, start.InfoBytes.data(), kFlacStreamInfoBytes, "metadata");
      const auto info = ParseFlacStreamInfo(start.InfoBytes.data());
      if (!info) throw EAuException("The FLAC stream's STREAMINFO block holds no usable stream");
      start.Info = *info;
      first = false;
    } else if (type == 127) {
      throw EAuException("The FLAC file's metadata is damaged");
    }
    offset += length;
    stream.SetPosition(offset);
  }
  start.AudioOffset = offset;
  return start;
}

std::optional<TFlacFrameHeader> ParseFlacFrameHeader(const uint8_t* data, size_t count) {
  if (count < 6 || data[0] != 0xFF || (data[1] & 0xFE) != 0xF8) return std::nullopt;
  TFlacFrameHeader h;
  h.VariableBlockSize = (data[1] & 1) != 0;
  const uint32_t blockCode = data[2] >> 4, rateCode = data[2] & 15;
  const uint32_t channelCode = data[3] >> 4, bitsCode = (data[3] >> 1) & 7;
  if (blockCode == 0 || rateCode == 15 || channelCode > 10 || bitsCode == 3 || (data[3] & 1))
    return std::nullopt;
  h.NumberOffset = 4;
  h.NumberBytes = ReadNumber(data + 4, count - 4, h.Number);
  if (h.NumberBytes == 0 || (!h.VariableBlockSize && h.NumberBytes > 6)) return std::nullopt;
  size_t at = 4 + h.NumberBytes;
  const size_t blockTrailer = blockCode == 6 ? 1 : blockCode == 7 ? 2 : 0;
  const size_t rateTrailer = rateCode == 12 ? 1 : rateCode >= 13 ? 2 : 0;
  if (at + blockTrailer + rateTrailer + 1 > count) return std::nullopt;
  h.BlockSize = blockTrailer != 0 ? Be(data + at, static_cast<int>(blockTrailer)) + 1
                                  : CodedBlockSize(blockCode);
  at += blockTrailer;
  if (rateTrailer != 0) {
    const uint32_t v = Be(data + at, static_cast<int>(rateTrailer));
    h.SampleRate = rateCode == 12 ? v * 1000 : rateCode == 13 ? v : v * 10;
    if (h.SampleRate == 0) return std::nullopt;
  } else {
    h.SampleRate = kCodedRates[rateCode];
  }
  at += rateTrailer;
  h.BitsPerSample = kCodedBits[bitsCode];
  h.Channels = channelCode < 8 ? channelCode + 1 : 2;
  h.Assignment =
      channelCode < 8 ? TFlacChannels::Independent : static_cast<TFlacChannels>(channelCode - 7);
  if (FlacCrc8(data, at) != data[at]) return std::nullopt;
  h.Bytes = at + 1;
  return h;
}

void AppendFlacNumber(std::vector<uint8_t>& out, uint64_t number) {
  if (number < 0x80) {
    out.push_back(static_cast<uint8_t>(number));
    return;
  }
  // Each byte after the first holds 6 bits; the first holds 7 - length bits (none for 7).
  size_t length = 2;
  while (length < 7 && number >= (uint64_t{1} << (5 * length + 1))) ++length;
  const auto lead = static_cast<uint8_t>(0xFF00 >> length);
  out.push_back(static_cast<uint8_t>(lead | (number >> (6 * (length - 1)))));
  for (size_t i = length - 1; i-- > 0;)
    out.push_back(static_cast<uint8_t>(0x80 | ((number >> (6 * i)) & 0x3F)));
}

size_t FlacFrameBytesLimit(uint32_t blockSize, uint32_t channels, uint32_t bitsPerSample) {
  const size_t bits = static_cast<size_t>(blockSize) * (channels * bitsPerSample + 1);
  return kFlacMaxHeaderBytes + channels + bits / 8 + 1 + 2;
}
