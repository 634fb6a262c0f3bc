#include "formats/wave/wave_header.h"

#include <algorithm>
#include <span>
#include <vector>

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

// The header bytes read ahead in one piece, and how far the scan has consumed them. A take
// that would pass the end of what the stream holds, or kWaveHeaderLimit, fails, so no step of
// the scan can look outside the buffer.
class THeaderBytes {
 public:
  explicit THeaderBytes(TAuStream& stream) : Bytes(kWaveHeaderLimit) {
    const int64_t got = stream.Read(Bytes.data(), kWaveHeaderLimit);
    Bytes.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
  }

  bool Take(uint64_t count) {
    if (Used + count > Bytes.size()) return false;
    Used += static_cast<size_t>(count);
    return true;
  }
  // A chunk body of `size` bytes. RIFF pads odd bodies with a zero byte, which some writers
  // leave out; since no chunk id starts with a zero byte, a zero after an odd body is the pad.
  bool TakeBody(uint32_t size) {
    if (!Take(size)) return false;
    if (size % 2 == 1 && Used < Bytes.size() && Bytes[Used] == 0) ++Used;
    return true;
  }
  // The four bytes taken last; only valid once four have been taken.
  const uint8_t* Last4() const { return Bytes.data() + Used - 4; }
  std::span<const uint8_t> Span(size_t from, size_t count) const {
    return std::span<const uint8_t>(Bytes).subspan(from, count);
  }
  size_t Used = 0;

 private:
  std::vector<uint8_t> Bytes;
};

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

// Decodes a `fmt ` body into `h`. Fields the body is too short to hold stay 0.
void DecodeFormat(std::span<const uint8_t> body, TWaveHeader& h) {
  const auto u16At = [&](size_t offset) -> uint16_t {
    return offset + 2 <= body.size() ? U16(&body[offset]) : 0;
  };
  h.WavType = KindOfTag(u16At(0));
  h.Channels = u16At(2);
  h.SampleRate = body.size() >= 8 ? U32(&body[4]) : 0;
  h.BitsPerSample = u16At(14);
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
    // The subformat is the body's last 16 bytes, whatever the extension's size says.
    const auto guid = body.size() >= 16 ? body.last(16) : std::span<const uint8_t>();
    if (!guid.empty() && std::ranges::equal(guid, kFloatSubformat)) {
      h.WavType = wtExtIEEEFloat;
    } else if (guid.empty() || !std::ranges::equal(guid, kPcmSubformat)) {
      h.WavType = wtUnsupported;
    }
  }
}

bool NeedsFact(TWavType type) {
  return type == wtDVIADPCM || type == wtMSADPCM || type == wtACM;
}

enum class TStep { Riff, Wave, Fmt, Fact, Data };

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

bool MatchChunkId(const uint8_t* bytes, std::string_view id) {
  if (id.size() != 4) return false;
  for (size_t i = 0; i < 4; ++i) {
    const auto expected = static_cast<uint8_t>(id[i]);
    const uint8_t b = bytes[i];
    if (b != expected && static_cast<uint8_t>(b - expected) != 32 &&
        static_cast<uint8_t>(expected - b) != 32) {
      return false;
    }
  }
  return true;
}

TWaveHeader ScanWaveHeader(TAuStream& stream) {
  const int64_t start = stream.Position();
  THeaderBytes in(stream);
  TWaveHeader h;
  const auto fail = [&h] {
    h = TWaveHeader{};
    return h;
  };
  // A chunk the scan does not want: its size, its body, and the next chunk's id.
  const auto skipChunk = [&in]() {
    if (!in.Take(4)) return false;
    return in.TakeBody(U32(in.Last4())) && in.Take(4);
  };
  if (!in.Take(4)) return fail();
  TStep step = TStep::Riff;
  for (;;) {
    switch (step) {
      case TStep::Riff:
      case TStep::Wave: {
        // A sliding search: leading bytes before "RIFF", and the RIFF size, are passed over.
        const bool riff = step == TStep::Riff;
        if (!MatchChunkId(in.Last4(), riff ? "RIFF" : "WAVE")) {
          if (!in.Take(1)) return fail();
        } else {
          if (!in.Take(4)) return fail();
          step = riff ? TStep::Wave : TStep::Fmt;
        }
        break;
      }
      case TStep::Fmt: {
        if (!MatchChunkId(in.Last4(), "fmt ")) {
          if (!skipChunk()) return fail();
          break;
        }
        if (!in.Take(4)) return fail();
        const uint32_t size = U32(in.Last4());
        const size_t bodyStart = in.Used;
        if (!in.TakeBody(size)) return fail();
        DecodeFormat(in.Span(bodyStart, size), h);
        if (h.WavType == wtUnsupported) return fail();
        step = NeedsFact(h.WavType) ? TStep::Fact : TStep::Data;
        if (!in.Take(4)) return fail();
        break;
      }
      case TStep::Fact: {
        if (!MatchChunkId(in.Last4(), "fact")) {
          if (!skipChunk()) return fail();
          break;
        }
        if (!in.Take(4)) return fail();
        const uint32_t size = U32(in.Last4());
        const size_t bodyStart = in.Used;
        if (!in.TakeBody(size)) return fail();
        const uint32_t frames = size >= 4 ? U32(in.Span(bodyStart, 4).data()) : 0;
        (h.WavType == wtDVIADPCM ? h.ImaFormat.TotalFrames : h.MsFormat.TotalFrames) = frames;
        if (!in.Take(4)) return fail();
        step = TStep::Data;
        break;
      }
      case TStep::Data: {
        if (!MatchChunkId(in.Last4(), "data")) {
          if (!skipChunk()) return fail();
          break;
        }
        if (!in.Take(4)) return fail();
        h.DataSize = U32(in.Last4());
        h.HeaderLength = static_cast<uint32_t>(in.Used);
        stream.SetPosition(start + in.Used);
        return h;
      }
    }
  }
}
