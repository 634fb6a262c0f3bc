// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_asf_description.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/media_asf_guid.h"

namespace trimora::media {
namespace {

constexpr TGuid kContentDescription = MakeGuid(0x75B22633, 0x668E, 0x11CF, 0xA6D900AA0062CE6C);
constexpr TGuid kExtendedContentDescription =
    MakeGuid(0xD2D0A440, 0xE307, 0x11D2, 0x97F000A0C95EA850);
constexpr TGuid kPadding = MakeGuid(0x1806D474, 0xCADF, 0x4509, 0xA4BA9AABCB96AAE8);

constexpr size_t kHeaderObjectStart = 30;  // GUID, size, object count, two reserved bytes
constexpr size_t kMaxObjects = 4096;
constexpr std::u16string_view kDescription = u"Description";

using TBytes = std::span<const uint8_t>;

uint64_t Little(TBytes b, size_t at, size_t bytes) {
  uint64_t v = 0;
  for (size_t i = bytes; i-- > 0;) v = (v << 8) | b[at + i];
  return v;
}

void Put(std::vector<uint8_t>& out, uint64_t v, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Put(std::vector<uint8_t>& out, TBytes bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

// A descriptor's name, UTF-16LE with or without its terminator, is "Description" in any case.
bool NamesDescription(TBytes name) {
  if (name.size() >= 2 && name[name.size() - 1] == 0 && name[name.size() - 2] == 0)
    name = name.first(name.size() - 2);
  if (name.size() != kDescription.size() * 2) return false;
  for (size_t i = 0; i < kDescription.size(); ++i) {
    const auto unit = static_cast<char16_t>(Little(name, 2 * i, 2));
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? c + 32 : c; };
    if (lower(unit) != lower(kDescription[i])) return false;
  }
  return true;
}

struct TObject {
  size_t At = 0, Size = 0;
};

struct TDescriptor {
  size_t At = 0, Size = 0;  // within the extended content description object
  TBytes Value;
};

// The string descriptor "Description" of an extended content description object: a count,
// then per descriptor name length, name, value type, value length and value.
std::optional<TDescriptor> FindDescription(TBytes object) {
  if (object.size() < kAsfObjectHeader + 2) return std::nullopt;
  const auto count = Little(object, kAsfObjectHeader, 2);
  std::optional<TDescriptor> found;
  size_t at = kAsfObjectHeader + 2;
  for (uint64_t i = 0; i < count; ++i) {
    if (object.size() - at < 2) return std::nullopt;
    const size_t nameSize = Little(object, at, 2);
    if (object.size() - at - 2 < nameSize + 4) return std::nullopt;
    const size_t type = Little(object, at + 2 + nameSize, 2);
    const size_t valueSize = Little(object, at + 4 + nameSize, 2);
    const size_t size = 6 + nameSize + valueSize;
    if (object.size() - at < size) return std::nullopt;
    if (!found && type == 0 && NamesDescription(object.subspan(at + 2, nameSize)))
      found = TDescriptor{at, size, object.subspan(at + 6 + nameSize, valueSize)};
    at += size;
  }
  if (at != object.size()) return std::nullopt;
  return found;
}

// The content description object with `description` as its description: five lengths
// (title, author, copyright, description, rating), then the texts in that order.
std::optional<std::vector<uint8_t>> WithDescription(TBytes object, TBytes description) {
  if (object.size() < kAsfObjectHeader + 10) return std::nullopt;
  std::array<size_t, 5> sizes{};
  size_t total = 0;
  for (size_t i = 0; i < sizes.size(); ++i)
    total += sizes[i] = Little(object, kAsfObjectHeader + 2 * i, 2);
  if (kAsfObjectHeader + 10 + total != object.size() || sizes[3] != 0) return std::nullopt;
  std::vector<uint8_t> out(object.begin(), object.begin() + 16);
  Put(out, object.size() + description.size(), 8);
  for (size_t i = 0; i < sizes.size(); ++i) Put(out, i == 3 ? description.size() : sizes[i], 2);
  const TBytes texts = object.subspan(kAsfObjectHeader + 10);
  const size_t beforeRating = sizes[0] + sizes[1] + sizes[2];
  Put(out, texts.first(beforeRating));
  Put(out, description);
  Put(out, texts.subspan(beforeRating));
  return out;
}

}  // namespace

bool MoveDescriptionIntoContentDescription(std::span<uint8_t> bytes) {
  if (bytes.size() < kHeaderObjectStart || !IsGuid(bytes, kAsfHeaderObject)) return false;
  const uint64_t headerSize = Little(bytes, 16, 8);
  if (headerSize < kHeaderObjectStart || headerSize > bytes.size()) return false;
  const std::span<uint8_t> header = bytes.first(static_cast<size_t>(headerSize));
  std::vector<TObject> objects;
  std::optional<size_t> content, extended;
  size_t at = kHeaderObjectStart;
  while (header.size() - at >= kAsfObjectHeader && objects.size() < kMaxObjects) {
    const uint64_t size = Little(header, at + 16, 8);
    if (size < kAsfObjectHeader || size > header.size() - at) return false;
    if (IsGuid(header.subspan(at), kContentDescription)) content = objects.size();
    if (IsGuid(header.subspan(at), kExtendedContentDescription)) extended = objects.size();
    objects.push_back({at, static_cast<size_t>(size)});
    at += static_cast<size_t>(size);
  }
  if (at != header.size() || Little(header, 24, 4) != objects.size() || !content || !extended)
    return false;
  const TObject ecd = objects[*extended];
  const TBytes ecdBytes = TBytes(header).subspan(ecd.At, ecd.Size);
  const auto descriptor = FindDescription(ecdBytes);
  if (!descriptor) return false;
  const TObject cdo = objects[*content];
  const auto newCdo = WithDescription(TBytes(header).subspan(cdo.At, cdo.Size), descriptor->Value);
  // The descriptor's name and its three fields are freed; they must hold a padding object.
  const size_t freed = descriptor->Size - descriptor->Value.size();
  if (!newCdo || freed < kAsfObjectHeader) return false;

  std::vector<uint8_t> out(header.begin(), header.begin() + kHeaderObjectStart);
  for (size_t i = 0; i < objects.size(); ++i) {
    const TBytes object = TBytes(header).subspan(objects[i].At, objects[i].Size);
    if (i == *content) {
      Put(out, *newCdo);
    } else if (i == *extended) {
      Put(out, object.first(16));
      Put(out, object.size() - descriptor->Size, 8);
      Put(out, Little(object, kAsfObjectHeader, 2) - 1, 2);
      Put(out, object.subspan(kAsfObjectHeader + 2, descriptor->At - kAsfObjectHeader - 2));
      Put(out, object.subspan(descriptor->At + descriptor->Size));
    } else {
      Put(out, object);
    }
  }
  Put(out, kPadding);
  Put(out, freed, 8);
  out.resize(header.size(), 0);
  const uint64_t count = Little(header, 24, 4) + 1;
  std::copy(out.begin(), out.end(), header.begin());
  for (size_t i = 0; i < 4; ++i) header[24 + i] = static_cast<uint8_t>(count >> (8 * i));
  return true;
}

}  // namespace trimora::media
