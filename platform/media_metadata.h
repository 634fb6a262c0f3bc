// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace trimora::media {

// A file's descriptive texts as FFmpeg reports them: its own key names ("artist",
// "album", "track", "date", ...) with UTF-8 values.
using TMediaMetadata = std::vector<std::pair<std::string, std::string>>;

// The text of the attribute `name` in Windows Media terms ("Author", "WM/AlbumTitle",
// "WM/Year", ...), found under the key FFmpeg renamed it to, or under the name itself.
// Nothing when the file does not have it.
std::optional<std::u16string> MediaAttributeText(const TMediaMetadata& metadata,
                                                 std::string_view name);

// Attribute and key names compare without regard to ASCII case, as the runtime's do.
bool SameAttributeName(std::string_view a, std::string_view b);

// A tag text as FFmpeg hands it over: UTF-8, except the bytes of an ID3v1 record, which it
// passes on as they stand. Text that is not valid UTF-8 is taken as Windows-1252, the
// single-byte text of those records.
std::u16string TagTextToUtf16(std::string_view text);
bool IsUtf8(std::string_view text);
std::u16string Windows1252ToUtf16(std::string_view text);

// Malformed sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace trimora::media
