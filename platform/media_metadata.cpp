// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_metadata.h"

#include <array>
#include <cctype>
#include <charconv>

namespace trimora::media {
namespace {

std::optional<std::string> Find(const TMediaMetadata& metadata, std::string_view key) {
  for (const auto& [k, v] : metadata)
    if (SameAttributeName(k, key)) return v;
  return std::nullopt;
}

struct TAlias {
  std::string_view Name;
  std::array<std::string_view, 2> Keys;  // FFmpeg's names for it, first match wins
};

// FFmpeg reads ASF attributes and ID3 frames into the same key names; these are the ones
// the attribute names stand for.
constexpr std::array<TAlias, 10> kAliases = {{
    {"Title", {"title", ""}},
    {"Author", {"artist", "author"}},
    {"WM/AlbumTitle", {"album", ""}},
    {"WM/Genre", {"genre", ""}},
    {"WM/TrackNumber", {"track", ""}},
    {"Copyright", {"copyright", ""}},
    {"Description", {"comment", ""}},
    {"WM/AlbumArtist", {"album_artist", ""}},
    {"WM/Composer", {"composer", ""}},
    {"WM/Publisher", {"publisher", ""}},
}};

// A date such as "2004-05-06" stands for its year.
std::string YearOf(const std::string& date) {
  if (date.size() > 4 && date[4] == '-' && std::isdigit(static_cast<unsigned char>(date[0])) &&
      std::isdigit(static_cast<unsigned char>(date[3])))
    return date.substr(0, 4);
  return date;
}

std::optional<std::string> Lookup(const TMediaMetadata& metadata, std::string_view name) {
  if (SameAttributeName(name, "WM/Year")) {
    if (auto date = Find(metadata, "date")) return YearOf(*date);
    if (auto year = Find(metadata, "WM/Year")) return year;
    return Find(metadata, "year");
  }
  if (SameAttributeName(name, "WM/Track")) {
    if (auto track = Find(metadata, "track")) return track;
    // A file's own "WM/Track" counts from 0; the track number it stands for is one more.
    auto zeroBased = Find(metadata, "WM/Track");
    if (!zeroBased) return std::nullopt;
    unsigned number = 0;
    const auto* end = zeroBased->data() + zeroBased->size();
    const auto parsed = std::from_chars(zeroBased->data(), end, number);
    if (parsed.ec != std::errc() || parsed.ptr != end || number >= 0xFFFF) return zeroBased;
    return std::to_string(number + 1);
  }
  for (const auto& alias : kAliases) {
    if (!SameAttributeName(name, alias.Name)) continue;
    for (auto key : alias.Keys)
      if (!key.empty())
        if (auto value = Find(metadata, key)) return value;
    break;
  }
  return Find(metadata, name);
}

}  // namespace

std::optional<std::u16string> MediaAttributeText(const TMediaMetadata& metadata,
                                                 std::string_view name) {
  auto text = Lookup(metadata, name);
  if (!text) return std::nullopt;
  return TagTextToUtf16(*text);
}

std::u16string TagTextToUtf16(std::string_view text) {
  return IsUtf8(text) ? Utf8ToUtf16(text) : Windows1252ToUtf16(text);
}

bool IsUtf8(std::string_view text) {
  const std::u16string decoded = Utf8ToUtf16(text);
  if (decoded.find(u'\uFFFD') == std::u16string::npos) return true;
  // A replacement character the text spells out itself is no sign of damage.
  return Utf16ToUtf8(decoded) == text;
}

std::u16string Windows1252ToUtf16(std::string_view text) {
  // 0x80 to 0x9F hold printable characters in Windows-1252; the five it leaves undefined
  // keep their own code, as Windows converts them.
  static constexpr std::array<char16_t, 32> kHigh = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::u16string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    out.push_back(byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : char16_t{byte});
  }
  return out;
}

bool SameAttributeName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int extra = 0;
    char32_t code = 0;
    if (lead < 0x80) {
      code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1;
      code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2;
      code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3;
      code = lead & 0x07;
    } else {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    bool good = i + static_cast<size_t>(extra) < text.size();
    for (int k = 1; good && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
      if ((next & 0xC0) != 0x80) good = false;
      code = (code << 6) | (next & 0x3F);
    }
    static constexpr std::array<char32_t, 4> kSmallest = {0, 0x80, 0x800, 0x10000};
    if (!good || code < kSmallest[static_cast<size_t>(extra)] || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF)) {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (code >> 6)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (code >> 12)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (code >> 18)));
      out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return out;
}

}  // namespace trimora::media
