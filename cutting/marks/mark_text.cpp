// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/marks/mark_text.h"

#include <fstream>

#include "cutting/cut_error.h"
#include "tags/tag_text.h"

namespace {

// The length of the UTF-8 sequence at `at`, or 0 when it is malformed.
size_t Utf8Sequence(std::string_view text, size_t at) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint32_t least = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    least = 0x10000;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  uint32_t code = lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if ((byte(at + k) & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte(at + k) & 0x3F);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return code < least || code > 0x10FFFF || surrogate ? 0 : length;
}

bool IsUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const size_t length = Utf8Sequence(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

}  // namespace

std::string AtLine(size_t line, const std::string& what) {
  return "line " + std::to_string(line) + ": " + what;
}

std::string ReadMarkFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw ECutError("cannot read '" + file.string() + "'");
  std::string bytes(kMostMarkFileBytes + 1, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (in.bad()) throw ECutError("cannot read '" + file.string() + "'");
  bytes.resize(static_cast<size_t>(in.gcount()));
  if (bytes.size() > kMostMarkFileBytes)
    throw ECutError("'" + file.string() + "' is larger than a sheet of marks can be (" +
                    std::to_string(kMostMarkFileBytes >> 20) + " MiB)");
  return bytes;
}

std::vector<std::string> MarkFileLines(std::string_view bytes) {
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (bytes.substr(0, kBom.size()) == kBom) bytes.remove_prefix(kBom.size());
  const std::string text =
      IsUtf8(bytes) ? std::string(bytes) : tag_text::WideToUtf8(tag_text::AnsiToWide(bytes));
  std::vector<std::string> lines(1);
  for (size_t at = 0; at < text.size(); ++at) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c == '\r' || c == '\n') {
      if (c == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
      lines.emplace_back();
    } else if (c < 0x20 && c != '\t') {
      throw ECutError(AtLine(lines.size(), "holds binary data; this is not a text file"));
    } else {
      lines.back() += static_cast<char>(c);
    }
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}
