// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/wave/wave_header.h"

#include <algorithm>
#include <span>
#include <vector>

#include "formats/wave/riff_chunks.h"

namespace {

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
  return U16(p) | (static_cast<uint32_t>(U16(p + 2)) << 16);
}

// Subformat GUIDs of the extensible form as stored: the first three groups little-endian.
constexpr std::array<uint8_t, 16> kPcmSubformat = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                   0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr std::array<uint8_t, 16> kFloatSubformat = {
    0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

TWavType KindOfTag(uint16_t tag) {
  switch (tag) {
    case 1:
      return wtPCM;
    case 2:
      return wtMSADPCM;
    case 3:
      return wtIEEEFloat;
    case 0x11:
      return wtDVIADPCM;
    case 0x55:
      return wtACM;
    case 0xFFFE:
      return wtExtPCM;
    default:
      return wtUnsupported;
  }
}

// Decodes a `fmt ` body into `h`. Fields the body is too short to hold stay 0. Gives the
// format tag that decided the kind: the subformat's for the extensible form.
uint16_t DecodeFormat(std::span<const uint8_t> body, TWaveHeader& h) {
  const auto u16At = [&](size_t offset) -> uint16_t {
    return offset + 2 <= body.size() ? U16(&body[offset]) : 0;
  };
  uint16_t tag = u16At(0);
  h.WavType = KindOfTag(tag);
  h.Channels = u16At(2);
  h.SampleRate = body.size() >= 8 ? U32(&body[4]) : 0;
  h.BitsPerSample = u16At(14);
  h.BlockAlign = u16At(12);
  if (h.WavType == wtDVIADPCM) {
    h.ImaFormat.BlockAlign = u16At(12);
    h.ImaFormat.SamplesPerBlock = u16At(18);
  } else {
    h.MsFormat.BlockAlign = u16At(12);
    h.MsFormat.SamplesPerBlock = u16At(18);
  }
  if (h.WavType == wtMSADPCM && body.size() >= 22) {
    const size_t held = (body.size() - 22) / 4;
    const size_t count =
        std::min({static_cast<size_t>(u16At(20)), held, size_t{kMaxMsCoefficientPairs}});
    h.MsFormat.NumCoef = static_cast<uint16_t>(count);
    for (size_t i = 0; i < count; ++i) {
      h.MsFormat.Coefficients[i] = {static_cast<int16_t>(u16At(22 + 4 * i)),
                                    static_cast<int16_t>(u16At(24 + 4 * i))};
    }
  }
  if (h.WavType == wtExtPCM) {
    // The mask follows the valid bits when the extension is long enough to hold it.
    if (u16At(16) >= 6 && body.size() >= 24) {
      h.HasChannelMask = true;
      h.ChannelMask = U32(&body[20]);
    }
    // The subformat is the body's last 16 bytes, whatever the extension's size says.
    const auto guid = body.size() >= 16 ? body.last(16) : std::span<const uint8_t>();
    if (!guid.empty()) tag = U16(guid.data());
    if (!guid.empty() && std::ranges::equal(guid, kFloatSubformat)) {
      h.WavType = wtExtIEEEFloat;
    } else if (guid.empty() || !std::ranges::equal(guid, kPcmSubformat)) {
      h.WavType = wtUnsupported;
    }
  }
  return tag;
}

// The name of a format tag this program does not read, where people may know it.
std::string_view NameOfOtherTag(uint16_t tag) {
  switch (tag) {
    case 6:
      return "A-law";
    case 7:
      return "mu-law";
    case 0x31:
      return "GSM 6.10";
    case 0x50:
      return "MPEG Layer-1 or -2";
    case 0x161:
    case 0x162:
    case 0x163:
      return "Windows Media Audio";
    default:
      return {};
  }
}

std::string FormatRefusal(uint16_t tag) {
  std::string text = "WAV data of format " + std::to_string(tag);
  if (const auto name = NameOfOtherTag(tag); !name.empty()) text += " (" + std::string(name) + ")";
  return text + " is not supported";
}

bool NeedsFact(TWavType type) {
  return type == wtDVIADPCM || type == wtMSADPCM || type == wtACM;
}

// Why the rate, channels or block size cannot be those of a real file; empty when they can.
// The sizes checked are those the kind's reader works from: PCM frames, ADPCM block headers.
std::string ShapeRefusal(const TWaveHeader& h) {
  if (h.SampleRate < kMinWaveRate || h.SampleRate > kMaxWaveRate)
    return "the WAV header's sample rate of " + std::to_string(h.SampleRate) +
           " Hz lies outside 1 Hz to 768 kHz";
  if (h.Channels == 0) return "the WAV header states no channels";
  const std::string align = "the WAV header's block size of " + std::to_string(h.BlockAlign) +
                            " bytes does not fit " + std::to_string(h.Channels) + " channels";
  switch (h.WavType) {
    case wtPCM:
    case wtExtPCM:
    case wtIEEEFloat:
    case wtExtIEEEFloat:
      if (h.BlockAlign != uint32_t{h.Channels} * ((h.BitsPerSample + 7u) / 8u))
        return align + " of " + std::to_string(h.BitsPerSample) + " bits";
      break;
    case wtDVIADPCM:
    case wtMSADPCM:
      // Each block starts with a header per channel: 4 bytes for IMA, 7 for Microsoft ADPCM.
      if (h.BlockAlign <= uint32_t{h.Channels} * (h.WavType == wtDVIADPCM ? 4u : 7u))
        return align + " of " + std::string(WavTypeName(h.WavType));
      break;
    default:
      break;  // MPEG Layer-3 frames vary in size; the converter takes them as they come
  }
  return {};
}

constexpr std::string_view kCutShort =
    "the WAV header is cut short or longer than this program reads (65535 bytes)";

}  // namespace

std::string_view WavTypeName(TWavType type) {
  switch (type) {
    case wtPCM:
      return "PCM";
    case wtDVIADPCM:
      return "IMA ADPCM";
    case wtMSADPCM:
      return "MS ADPCM";
    case wtACM:
      return "MP3 (converted)";
    case wtIEEEFloat:
      return "IEEE float";
    case wtExtPCM:
      return "PCM (extensible)";
    case wtExtIEEEFloat:
      return "IEEE float (extensible)";
    case wtUnsupported:
      break;
  }
  return "unsupported";
}

TWaveHeader ScanWaveHeader(TAuStream& stream) {
  const int64_t start = stream.Position();
  std::vector<uint8_t> bytes(kWaveHeaderLimit);
  bytes.resize(
      static_cast<size_t>(std::max<int64_t>(stream.Read(bytes.data(), kWaveHeaderLimit), 0)));
  TChunkCursor in(bytes);
  TWaveHeader h;
  const auto fail = [&h](std::string_view reason) {
    h = TWaveHeader{};
    h.Refusal = reason;
    return h;
  };
  // Bytes before "RIFF" and the RIFF size are passed over.
  if (!in.Find("RIFF")) {
    const bool rf64 = bytes.size() >= 4 && MatchChunkId(bytes.data(), "RF64");
    return fail(rf64 ? "RF64 WAV files (the form for over 4 GB) are not supported" : "");
  }
  if (!in.Has(4)) return fail("");
  in.Pos += 4;
  if (!in.Find("WAVE")) return fail("");

  const size_t firstChunk = in.Pos;
  uint32_t size = 0;
  if (!in.Chunk("fmt ", size) || !in.Has(size)) return fail(kCutShort);
  const uint16_t tag = DecodeFormat(std::span<const uint8_t>(in.At(), size), h);
  if (h.WavType == wtUnsupported) return fail(FormatRefusal(tag));
  if (const std::string shape = ShapeRefusal(h); !shape.empty()) return fail(shape);
  if (!in.Skip(size)) return fail(kCutShort);

  if (NeedsFact(h.WavType)) {
    if (!in.Chunk("fact", size))
      return fail("the WAV file's " + std::string(WavTypeName(h.WavType)) +
                  " data has no fact chunk");
    const uint32_t frames = size >= 4 && in.Has(4) ? U32(in.At()) : 0;
    if (size >= 4) h.FactOffset = static_cast<uint32_t>(in.Pos);
    (h.WavType == wtDVIADPCM ? h.ImaFormat.TotalFrames : h.MsFormat.TotalFrames) = frames;
    if (!in.Skip(size)) return fail(kCutShort);
  }
  if (!in.Chunk("data", size)) return fail(kCutShort);
  CollectWaveInfo(std::span<const uint8_t>(bytes).subspan(firstChunk, in.Pos - 8 - firstChunk),
                  h.Info);
  h.DataSize = size;
  h.HeaderLength = static_cast<uint32_t>(in.Pos);
  stream.SetPosition(start + static_cast<int64_t>(in.Pos));
  return h;
}
