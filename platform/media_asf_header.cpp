// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_asf_header.h"

#include <algorithm>
#include <array>
#include <span>

#include "platform/media_asf_guid.h"

namespace trimora::media {
namespace {

constexpr TGuid kFileProperties = MakeGuid(0x8CABDCA1, 0xA947, 0x11CF, 0x8EE400C00C205365);
constexpr TGuid kHeaderExtension = MakeGuid(0x5FBF03B5, 0xA92E, 0x11CF, 0x8EE300C00C205365);
constexpr TGuid kContentEncryption = MakeGuid(0x2211B3FB, 0xBD23, 0x11D2, 0xB4B700A0C955FC6E);
constexpr TGuid kExtendedContentEncryption =
    MakeGuid(0x298AE614, 0x2622, 0x4C17, 0xB935DAE07EE9289C);
// Newer protection puts its object inside the header extension.
constexpr TGuid kAdvancedContentEncryption =
    MakeGuid(0x43058533, 0x6981, 0x49E6, 0x9B74AD12CB86D58C);

constexpr TGuid kDataObject = MakeGuid(0x75B22636, 0x668E, 0x11CF, 0xA6D900AA0062CE6C);

constexpr uint32_t kMaxObjects = 4096;
constexpr int64_t kDataObjectHeader = 50;
constexpr auto kObjectHeader = static_cast<int64_t>(kAsfObjectHeader);

uint64_t Little64(std::span<const uint8_t> b, size_t at) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | b[at + static_cast<size_t>(i)];
  return v;
}

uint32_t Little32(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
         (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

// Walks the objects in [begin, end), calling `visit(guid bytes, offset, size)` for each.
template <typename TVisit>
void WalkObjects(TMediaByteReader& reader, int64_t begin, int64_t end, TVisit visit) {
  int64_t at = begin;
  for (uint32_t n = 0; n < kMaxObjects && at + kObjectHeader <= end; ++n) {
    std::array<uint8_t, kObjectHeader> head{};
    if (reader.ReadAt(at, head) < head.size()) return;
    const uint64_t size = Little64(head, 16);
    if (size < kObjectHeader || size > static_cast<uint64_t>(end - at)) return;
    visit(std::span<const uint8_t>(head), at, static_cast<int64_t>(size));
    at += static_cast<int64_t>(size);
  }
}

}  // namespace

uint64_t TAsfHeader::Duration() const {
  if (!HasFileProperties || Broadcast) return 0;
  const uint64_t preroll = Preroll * 10000;
  return PlayDuration > preroll ? PlayDuration - preroll : 0;
}

uint64_t TAsfHeader::DurationPresent(int64_t fileSize) const {
  const uint64_t whole = Duration();
  if (Packets == 0 || PacketSize == 0 || PacketsStart < 0 || fileSize < 0) return whole;
  const uint64_t present =
      fileSize > PacketsStart ? static_cast<uint64_t>(fileSize - PacketsStart) / PacketSize : 0;
  if (present >= Packets) return whole;
  // Multiplying first keeps the precision; a duration too large for that is divided first.
  if (whole > UINT64_MAX / std::max<uint64_t>(present, 1)) return whole / Packets * present;
  return whole * present / Packets;
}

std::optional<TAsfHeader> ReadAsfHeader(TMediaByteReader& reader) {
  std::array<uint8_t, 30> top{};
  if (reader.ReadAt(0, top) < top.size() || !IsGuid(top, kAsfHeaderObject)) return std::nullopt;
  const uint64_t headerSize = Little64(top, 16);
  int64_t headerEnd = static_cast<int64_t>(std::min<uint64_t>(headerSize, INT64_MAX));
  if (reader.Size() >= 0) headerEnd = std::min(headerEnd, reader.Size());

  TAsfHeader header;
  // The data object follows the header: GUID, size, file ID, packet count and two reserved
  // bytes, then the packets.
  std::array<uint8_t, static_cast<size_t>(kDataObjectHeader)> data{};
  if (headerSize <= static_cast<uint64_t>(INT64_MAX - kDataObjectHeader) &&
      reader.ReadAt(static_cast<int64_t>(headerSize), data) == data.size() &&
      IsGuid(data, kDataObject))
    header.PacketsStart = static_cast<int64_t>(headerSize) + kDataObjectHeader;
  WalkObjects(reader, 30, headerEnd, [&](std::span<const uint8_t> guid, int64_t at, int64_t size) {
    if (IsGuid(guid, kContentEncryption) || IsGuid(guid, kExtendedContentEncryption)) {
      header.Protected = true;
    } else if (IsGuid(guid, kFileProperties) && size >= kObjectHeader + 80) {
      std::array<uint8_t, 80> body{};
      if (reader.ReadAt(at + kObjectHeader, body) < body.size()) return;
      header.HasFileProperties = true;
      header.PlayDuration = Little64(body, 40);
      header.Preroll = Little64(body, 56);
      header.Broadcast = (body[64] & 1) != 0;
      header.Packets = Little64(body, 32);
      const uint32_t minSize = Little32(body, 68), maxSize = Little32(body, 72);
      header.PacketSize = minSize == maxSize ? minSize : 0;
    } else if (IsGuid(guid, kHeaderExtension) && size >= kObjectHeader + 22) {
      // Reserved GUID and 16-bit field, a 32-bit data size, then nested objects.
      WalkObjects(reader, at + kObjectHeader + 22, at + size,
                  [&](std::span<const uint8_t> inner, int64_t, int64_t) {
                    if (IsGuid(inner, kAdvancedContentEncryption)) header.Protected = true;
                  });
    }
  });
  return header;
}

}  // namespace trimora::media
