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

constexpr std::string_view kCutShort = "the WAV header is cut short: the file ends before its data";

// How Wave64 files begin: "riff" and the rest of its GUID, where RIFF has its 32-bit size.
constexpr std::array<uint8_t, 16> kWave64Riff = {'r',  'i',  'f',  'f',  0x2E, 0x91, 0xCF, 0x11,
                                                 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};

// The chunks after "WAVE", walked in the stream itself: a chunk of any size before the data
// (a JUNK or bext chunk of a megabyte) is passed over by its size without being read, only the
// bodies the scan needs are read, and after kMaxWaveChunks chunks the walk gives up, so that a
// file of many tiny chunks cannot keep it busy. Positions count from where the scan started.
class TStreamChunks {
 public:
  TStreamChunks(TAuStream& stream, int64_t start, int64_t pos)
      : FStream(stream), FStart(start), FEnd(std::max<int64_t>(stream.Size() - start, 0)) {
    Pos = pos;
  }

  int64_t Pos = 0;

  // The chunk header at the position; leaves the position at its body.
  bool Next(std::array<uint8_t, 4>& id, uint32_t& size) {
    if (++FCount > kMaxWaveChunks) {
      FTooMany = true;
      return false;
    }
    std::array<uint8_t, 8> header{};
    if (ReadAt(Pos, header.data(), 8) < 8) return false;
    std::copy_n(header.begin(), 4, id.begin());
    size = U32(&header[4]);
    Pos += 8;
    return true;
  }
  // Up to `count` bytes of the body at the position, fewer where the file ends.
  std::vector<uint8_t> Body(uint32_t count) {
    std::vector<uint8_t> body(static_cast<size_t>(std::min<int64_t>(count, FEnd - Pos)));
    body.resize(static_cast<size_t>(ReadAt(Pos, body.data(), static_cast<int64_t>(body.size()))));
    return body;
  }
  // Passes over a body of `size` bytes and the zero pad byte after an odd size (some writers
  // leave it out; no chunk id starts with a zero byte). False when the file ends first.
  bool Skip(uint32_t size) {
    if (Pos + int64_t{size} > FEnd) return false;
    Pos += size;
    uint8_t pad = 1;
    if (size % 2 == 1 && ReadAt(Pos, &pad, 1) == 1 && pad == 0) ++Pos;
    return true;
  }
  // Moves to the chunk `id`, passing over others and keeping the INFO texts of those that are
  // lists; leaves the position at its body and gives its declared size.
  bool Chunk(std::string_view id, uint32_t& size, TWaveInfo& info) {
    std::array<uint8_t, 4> found{};
    while (Next(found, size)) {
      if (MatchChunkId(found.data(), id)) return true;
      if (MatchChunkId(found.data(), "LIST") && size <= kInfoReadLimit && Pos + size <= FEnd) {
        std::vector<uint8_t> chunk(found.begin(), found.end());
        for (int shift = 0; shift < 32; shift += 8) chunk.push_back(uint8_t(size >> shift));
        const std::vector<uint8_t> body = Body(size);
        chunk.insert(chunk.end(), body.begin(), body.end());
        CollectWaveInfo(chunk, info);
      }
      if (!Skip(size)) return false;
    }
    return false;
  }
  bool TooMany() const { return FTooMany; }

 private:
  int64_t ReadAt(int64_t pos, uint8_t* bytes, int64_t count) {
    if (count <= 0 || pos >= FEnd) return 0;
    FStream.SetPosition(FStart + pos);
    return std::max<int64_t>(FStream.Read(bytes, std::min(count, FEnd - pos)), 0);
  }

  TAuStream& FStream;
  int64_t FStart;
  int64_t FEnd;
  int FCount = 0;
  bool FTooMany = false;
};

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
  // "RIFF" is looked for in the first bytes only.
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
  if (in.Pos + 12 <= bytes.size() &&
      std::equal(kWave64Riff.begin(), kWave64Riff.end(), bytes.begin() + (in.Pos - 4)))
    return fail("W64 is not supported");
  if (!in.Has(4)) return fail("");
  in.Pos += 4;
  if (!in.Find("WAVE")) return fail("");

  TStreamChunks chunks(stream, start, static_cast<int64_t>(in.Pos));
  const auto cutShort = [&] {
    return fail(chunks.TooMany() ? "the WAV file has more than " +
                                       std::to_string(kMaxWaveChunks) + " chunks before its data"
                                 : std::string(kCutShort));
  };
  TWaveInfo info;
  uint32_t size = 0;
  if (!chunks.Chunk("fmt ", size, info)) return cutShort();
  if (size > kWaveHeaderLimit)
    return fail("the WAV file's fmt chunk is longer than this program reads (65535 bytes)");
  const std::vector<uint8_t> format = chunks.Body(size);
  if (format.size() < size) return cutShort();
  const uint16_t tag = DecodeFormat(format, h);
  if (h.WavType == wtUnsupported) return fail(FormatRefusal(tag));
  if (const std::string shape = ShapeRefusal(h); !shape.empty()) return fail(shape);
  if (!chunks.Skip(size)) return cutShort();

  if (NeedsFact(h.WavType)) {
    if (!chunks.Chunk("fact", size, info)) {
      if (chunks.TooMany()) return cutShort();
      return fail("the WAV file's " + std::string(WavTypeName(h.WavType)) +
                  " data has no fact chunk");
    }
    const std::vector<uint8_t> count = chunks.Body(4);
    const uint32_t frames = size >= 4 && count.size() == 4 ? U32(count.data()) : 0;
    if (size >= 4) h.FactOffset = static_cast<uint32_t>(chunks.Pos);
    (h.WavType == wtDVIADPCM ? h.ImaFormat.TotalFrames : h.MsFormat.TotalFrames) = frames;
    if (!chunks.Skip(size)) return cutShort();
  }
  if (!chunks.Chunk("data", size, info)) return cutShort();
  // A RIFF file's sizes are 32-bit: its data cannot start further in.
  if (chunks.Pos > UINT32_MAX) return fail(kCutShort);
  h.Info = std::move(info);
  h.DataSize = size;
  h.HeaderLength = static_cast<uint32_t>(chunks.Pos);
  stream.SetPosition(start + chunks.Pos);
  return h;
}
