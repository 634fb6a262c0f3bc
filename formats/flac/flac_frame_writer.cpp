// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/flac/flac_frame_writer.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "formats/flac/flac_crc.h"
#include "pipeline/au_exception.h"

namespace {

class TBitWriter {
 public:
  explicit TBitWriter(std::vector<uint8_t>& out) : FOut(out) {}
  // The low `n` bits of `value`, n at most 32.
  void Put(uint64_t value, int n) {
    if (n == 0) return;
    FAcc = (FAcc << n) | (value & ((uint64_t{1} << n) - 1));
    FBits += n;
    while (FBits >= 8) {
      FBits -= 8;
      FOut.push_back(static_cast<uint8_t>(FAcc >> FBits));
    }
  }
  void PutUnary(uint64_t zeros) {
    for (; zeros >= 32; zeros -= 32) Put(0, 32);
    Put(1, static_cast<int>(zeros) + 1);
  }
  void Align() {
    if (FBits > 0) Put(0, 8 - FBits);
  }

 private:
  std::vector<uint8_t>& FOut;
  uint64_t FAcc = 0;
  int FBits = 0;
};

uint32_t BlockSizeCode(uint32_t count) {
  if (count == 192) return 1;
  for (uint32_t code = 2; code <= 5; ++code)
    if (count == 576u << (code - 2)) return code;
  for (uint32_t code = 8; code <= 15; ++code)
    if (count == 256u << (code - 8)) return code;
  return count <= 256 ? 6 : 7;
}

uint32_t RateCode(uint32_t rate) {
  constexpr uint32_t kRates[12] = {0,     88200, 176400, 192000, 8000,  16000,
                                   22050, 24000, 32000,  44100,  48000, 96000};
  for (uint32_t code = 1; code < 12; ++code)
    if (kRates[code] == rate) return code;
  if (rate % 1000 == 0 && rate / 1000 <= 255) return 12;
  if (rate <= 65535) return 13;
  if (rate % 10 == 0 && rate / 10 <= 65535) return 14;
  return 0;  // the STREAMINFO's
}

uint32_t BitsCode(uint32_t bits) {
  switch (bits) {
    case 8:
      return 1;
    case 12:
      return 2;
    case 16:
      return 4;
    case 20:
      return 5;
    case 24:
      return 6;
    case 32:
      return 7;
    default:
      return 0;  // the STREAMINFO's
  }
}

void AppendHeader(uint32_t count, const TFlacStreamInfo& info, uint64_t firstSample,
                  std::vector<uint8_t>& out) {
  const size_t start = out.size();
  const uint32_t blockCode = BlockSizeCode(count), rateCode = RateCode(info.SampleRate);
  out.push_back(0xFF);
  out.push_back(0xF9);
  out.push_back(static_cast<uint8_t>(blockCode << 4 | rateCode));
  out.push_back(static_cast<uint8_t>((info.Channels - 1) << 4 | BitsCode(info.BitsPerSample) << 1));
  AppendFlacNumber(out, firstSample);
  if (blockCode == 6) out.push_back(static_cast<uint8_t>(count - 1));
  if (blockCode == 7) out.insert(out.end(), {uint8_t((count - 1) >> 8), uint8_t(count - 1)});
  const uint32_t rate = info.SampleRate;
  if (rateCode == 12) out.push_back(static_cast<uint8_t>(rate / 1000));
  if (rateCode == 13) out.insert(out.end(), {uint8_t(rate >> 8), uint8_t(rate)});
  if (rateCode == 14) out.insert(out.end(), {uint8_t(rate / 10 >> 8), uint8_t(rate / 10)});
  out.push_back(FlacCrc8(out.data() + start, out.size() - start));
}

// One channel's choice of coding: the fixed predictor's order (-1: verbatim, -2: constant),
// its partition order and Rice parameters, and the bits it takes.
struct TChannelPlan {
  int Order = -1;
  int PartitionOrder = 0;
  std::vector<int> Params;
  uint64_t Bits = std::numeric_limits<uint64_t>::max();
};

uint64_t Zigzag(int64_t r) {
  return r >= 0 ? static_cast<uint64_t>(r) << 1 : (static_cast<uint64_t>(-(r + 1)) << 1) | 1;
}

// The residual of the fixed predictor of `order`, or false when one does not fit 32 bits.
bool Residual(const std::vector<int64_t>& x, int order, std::vector<uint64_t>& u) {
  u.clear();
  for (size_t i = static_cast<size_t>(order); i < x.size(); ++i) {
    int64_t r = x[i];
    switch (order) {
      case 1:
        r = x[i] - x[i - 1];
        break;
      case 2:
        r = x[i] - 2 * x[i - 1] + x[i - 2];
        break;
      case 3:
        r = x[i] - 3 * x[i - 1] + 3 * x[i - 2] - x[i - 3];
        break;
      case 4:
        r = x[i] - 4 * x[i - 1] + 6 * x[i - 2] - 4 * x[i - 3] + x[i - 4];
        break;
      default:
        break;
    }
    if (r < std::numeric_limits<int32_t>::min() || r > std::numeric_limits<int32_t>::max())
      return false;
    u.push_back(Zigzag(r));
  }
  return true;
}

// The cheapest Rice parameter for `u` and the bits the partition's values take with it.
int BestParam(const uint64_t* u, size_t n, uint64_t& bits) {
  uint64_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum += u[i];
  const int guess = n == 0 ? 0 : std::bit_width(sum / n);
  int best = 0;
  bits = std::numeric_limits<uint64_t>::max();
  for (int k = std::max(0, guess - 2); k <= std::min(30, guess + 1); ++k) {
    uint64_t cost = n * static_cast<uint64_t>(k + 1);
    for (size_t i = 0; i < n; ++i) cost += u[i] >> k;
    if (cost < bits) {
      bits = cost;
      best = k;
    }
  }
  return best;
}

TChannelPlan PlanChannel(const std::vector<int64_t>& x, uint32_t bps) {
  TChannelPlan best;
  const size_t n = x.size();
  best.Bits = 8 + n * bps;  // verbatim
  if (std::all_of(x.begin(), x.end(), [&](int64_t v) { return v == x[0]; })) {
    best.Order = -2;
    best.Bits = 8 + bps;
    return best;
  }
  std::vector<uint64_t> u;
  for (int order = 0; order <= 4 && static_cast<size_t>(order) < n; ++order) {
    if (!Residual(x, order, u)) continue;
    for (int p = 0; p <= 8; ++p) {
      if (n % (size_t{1} << p) != 0 || (n >> p) <= static_cast<size_t>(order)) break;
      TChannelPlan plan;
      plan.Order = order;
      plan.PartitionOrder = p;
      uint64_t bits = 8 + static_cast<uint64_t>(order) * bps + 6;
      size_t at = 0;
      for (size_t part = 0; part < (size_t{1} << p); ++part) {
        const size_t count = (n >> p) - (part == 0 ? static_cast<size_t>(order) : 0);
        uint64_t partBits = 0;
        plan.Params.push_back(BestParam(u.data() + at, count, partBits));
        bits += partBits;
        at += count;
      }
      const bool wide = *std::max_element(plan.Params.begin(), plan.Params.end()) > 14;
      bits += (size_t{1} << p) * (wide ? 5 : 4);
      plan.Bits = bits;
      if (bits < best.Bits) best = std::move(plan);
    }
  }
  return best;
}

void WriteChannel(TBitWriter& w, const std::vector<int64_t>& x, uint32_t bps,
                  const TChannelPlan& plan) {
  const int b = static_cast<int>(bps);
  if (plan.Order == -2) {
    w.Put(0x00, 8);
    w.Put(static_cast<uint64_t>(x[0]), b);
    return;
  }
  if (plan.Order < 0) {
    w.Put(0x02, 8);
    for (int64_t v : x) w.Put(static_cast<uint64_t>(v), b);
    return;
  }
  w.Put(static_cast<uint64_t>(8 + plan.Order) << 1, 8);
  for (int i = 0; i < plan.Order; ++i) w.Put(static_cast<uint64_t>(x[static_cast<size_t>(i)]), b);
  const bool wide = *std::max_element(plan.Params.begin(), plan.Params.end()) > 14;
  w.Put(wide ? 1 : 0, 2);
  w.Put(static_cast<uint64_t>(plan.PartitionOrder), 4);
  std::vector<uint64_t> u;
  Residual(x, plan.Order, u);
  const size_t n = x.size();
  size_t at = 0;
  for (size_t part = 0; part < plan.Params.size(); ++part) {
    const int k = plan.Params[part];
    w.Put(static_cast<uint64_t>(k), wide ? 5 : 4);
    const size_t count =
        (n >> plan.PartitionOrder) - (part == 0 ? static_cast<size_t>(plan.Order) : 0);
    for (size_t i = at; i < at + count; ++i) {
      w.PutUnary(u[i] >> k);
      w.Put(u[i], k);
    }
    at += count;
  }
}

}  // namespace

void RenumberFlacFrame(const uint8_t* frame, size_t bytes, size_t headerBytes, uint64_t firstSample,
                       std::vector<uint8_t>& out) {
  const auto header = ParseFlacFrameHeader(frame, headerBytes);
  if (!header || header->Bytes != headerBytes || bytes < headerBytes + 2)
    throw EAuException("A FLAC frame's header cannot be read again");
  const size_t start = out.size();
  out.insert(out.end(), {0xFF, 0xF9, frame[2], frame[3]});
  AppendFlacNumber(out, firstSample);
  const size_t trailers = header->NumberOffset + header->NumberBytes;
  out.insert(out.end(), frame + trailers, frame + headerBytes - 1);
  out.push_back(FlacCrc8(out.data() + start, out.size() - start));
  const size_t newHeader = out.size() - start;
  out.insert(out.end(), frame + headerBytes, frame + bytes);
  // The old CRC covers the old header and the audio; the new one differs by what the change
  // of header makes of it once carried over the audio.
  const auto old = static_cast<uint16_t>(frame[bytes - 2] << 8 | frame[bytes - 1]);
  const uint16_t change = FlacCrc16(frame, headerBytes) ^ FlacCrc16(out.data() + start, newHeader);
  const uint16_t crc = old ^ FlacCrc16Zeros(change, bytes - headerBytes - 2);
  out[out.size() - 2] = static_cast<uint8_t>(crc >> 8);
  out[out.size() - 1] = static_cast<uint8_t>(crc);
}

void EncodeFlacFrame(const int32_t* samples, uint32_t count, const TFlacStreamInfo& info,
                     uint64_t firstSample, std::vector<uint8_t>& out) {
  const size_t start = out.size();
  AppendHeader(count, info, firstSample, out);
  TBitWriter w(out);
  std::vector<int64_t> x(count);
  for (uint32_t c = 0; c < info.Channels; ++c) {
    for (uint32_t i = 0; i < count; ++i) x[i] = samples[static_cast<size_t>(i) * info.Channels + c];
    WriteChannel(w, x, info.BitsPerSample, PlanChannel(x, info.BitsPerSample));
  }
  w.Align();
  const uint16_t crc = FlacCrc16(out.data() + start, out.size() - start);
  out.insert(out.end(), {static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc)});
}
