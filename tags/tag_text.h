// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Text conversions shared by the tag containers. Narrow text is Windows-1252 bytes, wide
// text is UTF-16; characters that have no narrow form become "?".
namespace tag_text {

std::u16string AnsiToWide(std::string_view text);
std::string WideToAnsi(std::u16string_view text);

// Malformed UTF-8 yields U+FFFD for each bad sequence; lone surrogates encode as U+FFFD.
std::u16string Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::u16string_view text);

// Removes leading and trailing characters of code 32 or below (blanks, controls, zeros).
std::string TrimControls(std::string_view text);

// A whole text as a signed 32-bit decimal number (leading blanks and a sign allowed);
// nothing when it does not parse or does not fit.
std::optional<std::int32_t> ParseInt32(std::string_view text);
std::optional<std::int32_t> ParseInt32(std::u16string_view text);

// ASCII-only case folding, which is all the tag keys and genre names need.
int CompareNoCase(std::string_view a, std::string_view b);
bool SameTextNoCase(std::string_view a, std::string_view b);

}  // namespace tag_text
