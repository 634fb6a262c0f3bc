// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// The text of a cue sheet or label file: read whole, decoded, cut into lines.

// A sheet of more is refused: real ones are a few kilobytes, and a mistaken name (the sound
// file itself) must not be read into memory.
inline constexpr size_t kMostMarkFileBytes = 1 << 20;

// The bytes of `file`; ECutError naming it when it cannot be read or is larger than
// kMostMarkFileBytes.
std::string ReadMarkFile(const std::filesystem::path& file);

// The lines of `bytes` as UTF-8: UTF-8 with or without its byte order mark, else
// Windows-1252; ends of line LF, CRLF or CR. ECutError naming the line when one holds a
// control character other than a tab, as binary data does.
std::vector<std::string> MarkFileLines(std::string_view bytes);

// "line 7: " + `what`, for the messages of the readers.
std::string AtLine(size_t line, const std::string& what);
