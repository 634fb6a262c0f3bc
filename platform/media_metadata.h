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

// Malformed sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace trimora::media
