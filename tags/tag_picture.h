// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A picture attached to a tag (an ID3v2 APIC frame): the cover and the like. The bytes are
// kept as the file holds them; nothing here decodes the image.
struct TTagPicture {
  uint8_t Type = 3;      // what it shows, in ID3v2's numbering: 3 is the front cover
  std::string MimeType;  // "image/jpeg", "image/png"
  std::u16string Description;
  std::vector<std::byte> Data;

  bool operator==(const TTagPicture&) const = default;
};

using TTagPictures = std::vector<TTagPicture>;
