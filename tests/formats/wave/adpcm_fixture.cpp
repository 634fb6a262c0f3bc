// SPDX-License-Identifier: GPL-3.0-or-later
#include "adpcm_fixture.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
int16_t S16(const uint8_t* p) {
  return static_cast<int16_t>(U16(p));
}
uint32_t U32(const uint8_t* p) {
  return U16(p) | (static_cast<uint32_t>(U16(p + 2)) << 16);
}

bool ParseFmt(std::span<const uint8_t> body, AdpcmFixture& f) {
  if (body.size() < 20) return false;
  f.FormatTag = U16(&body[0]);
  f.Channels = U16(&body[2]);
  f.SampleRate = U32(&body[4]);
  f.BlockAlign = U16(&body[12]);
  f.BitsPerSample = U16(&body[14]);
  f.SamplesPerBlock = U16(&body[18]);
  if (f.FormatTag == 2) {
    if (body.size() < 22) return false;
    const std::size_t pairs = std::min<std::size_t>(U16(&body[20]), (body.size() - 22) / 4);
    for (std::size_t i = 0; i < pairs; ++i) {
      f.Coefficients.push_back({S16(&body[22 + 4 * i]), S16(&body[24 + 4 * i])});
    }
  }
  return f.BlockAlign != 0 && (f.Channels == 1 || f.Channels == 2);
}

}  // namespace

std::span<const uint8_t> AdpcmFixture::Block(std::size_t index) const {
  const std::size_t start = index * BlockAlign;
  return std::span<const uint8_t>(Data).subspan(
      start, std::min<std::size_t>(BlockAlign, Data.size() - start));
}

std::optional<AdpcmFixture> ReadAdpcmFixture(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), {}};
  if (file.size() < 12 || !std::equal(file.begin(), file.begin() + 4, "RIFF") ||
      !std::equal(file.begin() + 8, file.begin() + 12, "WAVE")) {
    return std::nullopt;
  }
  AdpcmFixture f;
  bool haveFmt = false;
  for (std::size_t pos = 12; pos + 8 <= file.size();) {
    const uint8_t* id = &file[pos];
    const std::size_t size = std::min<std::size_t>(U32(&file[pos + 4]), file.size() - pos - 8);
    const std::span<const uint8_t> body(&file[pos + 8], size);
    if (std::equal(id, id + 4, "fmt ")) {
      haveFmt = ParseFmt(body, f);
    } else if (std::equal(id, id + 4, "data")) {
      if (!haveFmt) return std::nullopt;
      f.Data.assign(body.begin(), body.end());
      return f;
    }
    pos += 8 + size + (size & 1);
  }
  return std::nullopt;
}

std::vector<int16_t> DecodeBlockWithOurs(const AdpcmFixture& format,
                                         std::span<const uint8_t> block) {
  std::vector<uint8_t> padded(format.BlockAlign, 0);
  std::copy(block.begin(), block.end(), padded.begin());
  const uint8_t* b = padded.data();
  const bool stereo = format.Channels == 2;
  std::vector<int16_t> out;
  if (format.FormatTag == 0x11) {
    TImaChannelState left{S16(b), b[2]};
    TImaChannelState right{S16(b + 4), b[6]};
    const std::size_t header = stereo ? 8 : 4;
    const std::span<const uint8_t> codes(b + header, padded.size() - header);
    out.resize(stereo ? 2 * (codes.size() + 1) : 2 * codes.size() + 1);
    const std::size_t n =
        stereo ? 2 * DecodeImaStereo(left, right, codes, out) : DecodeImaMono(left, codes, out);
    out.resize(n);
  } else {
    const int count = std::max(format.SamplesPerBlock - 2, 0);
    if (stereo) {
      TMsChannelState left{b[0], S16(b + 2), S16(b + 6), S16(b + 10)};
      TMsChannelState right{b[1], S16(b + 4), S16(b + 8), S16(b + 12)};
      out.resize(2 * (count + 2));
      out.resize(DecodeMsStereo(left, right, format.Coefficients, std::span(padded).subspan(14),
                                count, out) /
                 2);
    } else {
      TMsChannelState state{b[0], S16(b + 1), S16(b + 3), S16(b + 5)};
      out.resize(2 + count);
      out.resize(
          DecodeMsMono(state, format.Coefficients, std::span(padded).subspan(7), count, out) / 2);
    }
  }
  return out;
}
