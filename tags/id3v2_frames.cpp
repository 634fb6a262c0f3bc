// SPDX-License-Identifier: GPL-3.0-or-later
#include "tags/id3v2_frames.h"

#include <cstring>
#include <string>

#include "tags/tag_text.h"

namespace id3v2_layout {
namespace {

unsigned U8(std::byte b) {
  return std::to_integer<unsigned>(b);
}

std::uint32_t BigEndian(std::span<const std::byte> bytes) {
  std::uint32_t value = 0;
  for (std::byte b : bytes) {
    value = (value << 8) | U8(b);
  }
  return value;
}

std::string NarrowUpToZero(std::span<const std::byte> bytes) {
  std::string text;
  for (std::byte b : bytes) {
    if (b == std::byte{0}) {
      break;
    }
    text.push_back(static_cast<char>(b));
  }
  return text;
}

std::u16string Utf16LeUpToZero(std::span<const std::byte> bytes) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto unit = static_cast<char16_t>(U8(bytes[i]) | (U8(bytes[i + 1]) << 8));
    if (unit == 0) {
      break;
    }
    text.push_back(unit);
  }
  return text;
}

}  // namespace

std::uint32_t ReadSynchsafe(std::span<const std::byte, 4> bytes) {
  std::uint32_t value = 0;
  for (std::byte b : bytes) {
    value = (value << 7) | (U8(b) & 0x7F);
  }
  return value;
}

std::array<std::byte, 4> MakeSynchsafe(std::uint32_t value) {
  return {static_cast<std::byte>((value >> 21) & 0x7F),
          static_cast<std::byte>((value >> 14) & 0x7F), static_cast<std::byte>((value >> 7) & 0x7F),
          static_cast<std::byte>(value & 0x7F)};
}

std::optional<THeader> ParseHeader(std::span<const std::byte, kHeaderSize> bytes) {
  if (std::memcmp(bytes.data(), "ID3", 3) != 0 || U8(bytes[4]) == 0xFF) {
    return std::nullopt;
  }
  const unsigned version = U8(bytes[3]);
  const unsigned flags = U8(bytes[5]);
  // Each version defines only its top flag bits; any other set bit means we cannot
  // know the layout.
  const bool flagsKnown = (version == 2 && (flags & 0x3F) == 0) ||
                          (version == 3 && (flags & 0x1F) == 0) ||
                          (version == 4 && (flags & 0x0F) == 0);
  if (!flagsKnown) {
    return std::nullopt;
  }
  for (std::size_t i = 6; i < kHeaderSize; ++i) {
    if (U8(bytes[i]) >= 0x80) {
      return std::nullopt;
    }
  }
  THeader header;
  header.version = static_cast<int>(version);
  header.footer = (flags & 0x10) != 0;
  header.size = ReadSynchsafe(bytes.subspan<6, 4>());
  return header;
}

std::array<std::byte, kHeaderSize> MakeV4Header(std::uint32_t size) {
  std::array<std::byte, kHeaderSize> header{std::byte{'I'}, std::byte{'D'}, std::byte{'3'},
                                            std::byte{4},   std::byte{0},   std::byte{0}};
  const auto synchsafe = MakeSynchsafe(size);
  std::memcpy(header.data() + 6, synchsafe.data(), synchsafe.size());
  return header;
}

std::size_t FrameHeaderSize(int version) {
  return version == 2 ? 6 : 10;
}

std::uint32_t FrameDataSize(std::span<const std::byte> frameHeader, int version) {
  if (version == 2) {
    return BigEndian(frameHeader.subspan(3, 3));
  }
  const auto field = frameHeader.subspan<4, 4>();
  const bool synchsafe = version == 4 && (BigEndian(field) & 0x80808080u) == 0;
  return synchsafe ? ReadSynchsafe(field) : BigEndian(field);
}

std::optional<TAuTagValue> DecodeTextFrame(std::span<const std::byte> data) {
  if (data.empty()) {
    return std::nullopt;
  }
  const auto text = data.subspan(1);
  switch (U8(data[0])) {
    case 0:
      return TAuTagValue(NarrowUpToZero(text));
    case 1: {
      // Only the little-endian mark is known; a big-endian mark stays in the text.
      const bool leMark = text.size() >= 2 && U8(text[0]) == 0xFF && U8(text[1]) == 0xFE;
      return TAuTagValue(Utf16LeUpToZero(leMark ? text.subspan(2) : text));
    }
    case 3:
      return TAuTagValue(tag_text::Utf8ToWide(NarrowUpToZero(text)));
    default:
      return std::nullopt;
  }
}

void AppendV4TextFrame(std::vector<std::byte>& out, std::string_view id, std::uint8_t encoding,
                       std::string_view text) {
  const auto size = MakeSynchsafe(static_cast<std::uint32_t>(1 + text.size()));
  const auto* idBytes = reinterpret_cast<const std::byte*>(id.data());
  const auto* textBytes = reinterpret_cast<const std::byte*>(text.data());
  out.insert(out.end(), idBytes, idBytes + 4);
  out.insert(out.end(), size.begin(), size.end());
  out.push_back(std::byte{0});
  out.push_back(std::byte{0});
  out.push_back(static_cast<std::byte>(encoding));
  out.insert(out.end(), textBytes, textBytes + text.size());
}

}  // namespace id3v2_layout
