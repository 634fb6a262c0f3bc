// SPDX-License-Identifier: GPL-3.0-or-later
// The CUESHEET block: a 128-byte catalog number, the lead-in (8), a flag byte and 258 reserved
// bytes, the track count (1); each track its offset (8), number (1), ISRC (12), flags and 13
// reserved bytes, its index count (1), and each index its offset (8), number (1) and 3
// reserved bytes. Offsets are big-endian sample counts.
#include "cutting/marks/flac_cuesheet_block.h"

namespace {

constexpr size_t kHeadBytes = 128 + 8 + 259 + 1;
constexpr size_t kTrackBytes = 8 + 1 + 12 + 14 + 1;
constexpr size_t kIndexBytes = 12;
constexpr int kCdLeadOut = 170;
constexpr int kLeadOut = 255;

class TReader {
 public:
  TReader(const uint8_t* data, size_t size) : FData(data), FSize(size) {}
  bool Has(size_t bytes) const { return bytes <= FSize - FAt; }
  uint64_t Big(size_t bytes) {
    uint64_t value = 0;
    for (size_t k = 0; k < bytes; ++k) value = value << 8 | FData[FAt++];
    return value;
  }
  void Skip(size_t bytes) { FAt += bytes; }

 private:
  const uint8_t* FData;
  size_t FSize;
  size_t FAt = 0;
};

}  // namespace

std::optional<TMarkSheet> ParseFlacCueSheetBlock(const uint8_t* body, size_t size, int rate) {
  if (rate <= 0) return std::nullopt;
  TReader in(body, size);
  if (!in.Has(kHeadBytes)) return std::nullopt;
  in.Skip(kHeadBytes - 1);
  const size_t tracks = in.Big(1);
  TMarkSheet sheet;
  // Offsets past any sound a file can hold would overflow the frames.
  constexpr uint64_t kMostOffset = uint64_t{1} << 48;
  for (size_t t = 0; t < tracks; ++t) {
    if (!in.Has(kTrackBytes)) return std::nullopt;
    const uint64_t offset = in.Big(8);
    const int number = static_cast<int>(in.Big(1));
    in.Skip(12 + 14);
    const size_t indexes = in.Big(1);
    std::optional<uint64_t> start;
    for (size_t i = 0; i < indexes; ++i) {
      if (!in.Has(kIndexBytes)) return std::nullopt;
      const uint64_t at = in.Big(8);
      const int indexNumber = static_cast<int>(in.Big(1));
      in.Skip(3);
      if (indexNumber == 1 || (!start && i + 1 == indexes)) start = at;
    }
    if (number == kCdLeadOut || number == kLeadOut || offset > kMostOffset) continue;
    const uint64_t first = offset + std::min<uint64_t>(start.value_or(0), kMostOffset);
    TMark mark;
    mark.Start = {static_cast<int64_t>(first), rate};
    mark.Line = number;
    sheet.Marks.push_back(mark);
  }
  if (sheet.Marks.empty()) return std::nullopt;
  return sheet;
}
