#include "formats/wave/wave_out_append.h"

#include <vector>

#include "formats/wave/wave_out_headers.h"

namespace {

// A cursor over the bytes read for the walk; any read past them ends the walk.
class TScan {
 public:
  explicit TScan(std::vector<uint8_t> bytes) : Bytes(std::move(bytes)) {}

  bool Has(uint64_t count) const { return Pos + count <= Bytes.size(); }
  const uint8_t* At() const { return Bytes.data() + Pos; }
  uint64_t Pos = 0;

  // Slides one byte at a time until `id` matches; leaves Pos after it.
  bool Find(std::string_view id) {
    for (; Has(4); ++Pos) {
      if (MatchChunkId(At(), id)) {
        Pos += 4;
        return true;
      }
    }
    return false;
  }
  // Moves to the chunk `id`, skipping others by their size; leaves Pos at its body and
  // gives its size.
  bool Chunk(std::string_view id, uint32_t& size) {
    while (Has(8)) {
      size = GetUInt32(At() + 4);
      const bool match = MatchChunkId(At(), id);
      Pos += 8;
      if (match) return true;
      Pos += size;
    }
    return false;
  }

 private:
  std::vector<uint8_t> Bytes;
};

}  // namespace

TExistingWave ReadExistingWave(TAuStream& stream) {
  TExistingWave result;
  std::vector<uint8_t> bytes(kAppendScanLimit);
  stream.SetPosition(0);
  bytes.resize(static_cast<size_t>(stream.Read(bytes.data(), kAppendScanLimit)));
  TScan scan(std::move(bytes));

  uint32_t size = 0;
  if (!scan.Find("RIFF") || !scan.Has(4)) return result;
  scan.Pos += 4;  // the RIFF size, which the search for WAVE passes over like the reader
  if (!scan.Find("WAVE") || !scan.Chunk("fmt ", size)) return result;
  if (size < 16 || !scan.Has(16)) return result;
  const uint8_t* fmt = scan.At();
  const uint16_t tag = GetUInt16(fmt);
  TWavType kind = tag == 1 ? wtPCM : tag == 0x11 ? wtDVIADPCM : wtUnsupported;
  if (kind == wtUnsupported) return result;
  result.Channels = GetUInt16(fmt + 2);
  result.SampleRate = GetUInt32(fmt + 4);
  result.BlockAlign = GetUInt16(fmt + 12);
  result.Bits = GetUInt16(fmt + 14);
  scan.Pos += size;

  if (kind == wtDVIADPCM) {
    if (!scan.Chunk("fact", size) || size < 4 || !scan.Has(4)) return result;
    result.FactOffset = static_cast<int64_t>(scan.Pos);
    scan.Pos += size;
  }
  if (!scan.Chunk("data", size)) return result;
  result.DataSizeOffset = static_cast<int64_t>(scan.Pos) - 4;
  result.HeaderLength = static_cast<int64_t>(scan.Pos);
  result.DataSize = size;
  result.Kind = kind;
  return result;
}

bool CanAppendTo(const TExistingWave& existing, int64_t fileLength) {
  if (existing.Kind != wtPCM && existing.Kind != wtDVIADPCM) return false;
  if (existing.Channels == 0 || existing.BlockAlign == 0) return false;
  int64_t held = fileLength - existing.HeaderLength;
  if (held < 0) return false;
  // The pad byte after a data chunk of odd size is not data; the writer drops it.
  if (existing.DataSize % 2 == 1 && held == int64_t{existing.DataSize} + 1) --held;
  // A declared size that ends before the file does means another chunk (or a pad byte)
  // follows the data; a larger one is a header that was never finished.
  if (int64_t{existing.DataSize} < held) return false;
  if (existing.Kind == wtPCM) {
    if (existing.BlockAlign != existing.Channels * existing.Bits / 8) return false;
  } else {
    if (existing.Bits != 4 || !ImaBlockSizeFits(existing.BlockAlign, existing.Channels))
      return false;
  }
  return held % existing.BlockAlign == 0;
}
